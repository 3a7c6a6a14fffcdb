#pragma once

#include <QColor>
#include <QCursor>
#include <QLabel>

class QToolButton;

// The pointing hand shown over links (our own picture, hot spot on the fingertip).
QCursor handCursor();

// A label that acts as a link: it reports every mouse move over it and a click
// (press and release on it) instead of passing them to the window below. Its text
// colour is the window's to set.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

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

// A button with a picture above its caption.
QToolButton *pictureButton(const QString &caption, const QString &iconResource, QWidget *parent);
// Takes a smaller size of the button's face until its whole caption fits its width;
// called once the button has its size and its window's font.
void fitCaption(QToolButton *button);

// A decorative picture stretched over its box; the geometry is set by the caller.
QLabel *stretchedPicture(const QString &resource, const QRect &box, QWidget *parent);
