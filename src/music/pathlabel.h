#pragma once

#include <QLabel>

// A label for a file path that may be longer than its window: its text stays the whole
// path, but it grows no wider than its parent leaves it (the same margin on the right
// as on the left) and shows the end of the path, where the file name is, with "…" in
// front of the part that does not fit. The whole path is its tool tip.
class PathLabel : public QLabel
{
    Q_OBJECT

public:
    PathLabel(const QString &text, QWidget *parent);

    void setPath(const QString &path);
    // What the label shows of its text at its present width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // Fits the label again when its parent changes size.
    bool eventFilter(QObject *watched, QEvent *event) override;
};
