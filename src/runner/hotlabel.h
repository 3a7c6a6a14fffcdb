#pragma once

#include <QColor>
#include <QLabel>

// A label that answers the mouse itself: it reports every move over it and a click
// (press and release on it) and keeps both from reaching the window below. While it
// is disabled it reports nothing.
class HotLabel : public QLabel
{
    Q_OBJECT

public:
    explicit HotLabel(const QString &text, QWidget *parent = nullptr);

    // The text colour (while enabled; a disabled label keeps the greyed look).
    QColor ForeColor() const;
    void setForeColor(const QColor &colour);

signals:
    void MouseMove();
    void Click();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

// The pointing hand over the runner's options and its exit label (our own picture,
// hot spot on the fingertip).
QCursor pointingHand();
