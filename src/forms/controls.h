#pragma once

// The controls the windows share beyond Qt's own.

#include <QColor>
#include <QCursor>
#include <QLabel>
#include <QToolButton>
#include <initializer_list>

// The pointing hand over links and clickable labels (our own picture, hot spot on the
// fingertip).
QCursor handCursor();

// A button with its picture above its caption, or the picture alone when the caption
// is empty. It takes the focus on a click, and Enter or Return clicks it while it has
// the focus, as Space does, so that every window can be worked from the keyboard.
class PictureButton : public QToolButton
{
    Q_OBJECT

public:
    // `pictureSize` is the side of the square picture in logical pixels.
    PictureButton(const QString &caption, const QString &picture, int pictureSize, QWidget *parent);

    // Takes a smaller size of the face until the whole caption fits the button's width;
    // called once the button has its size and its window's font.
    void fitCaption();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // The second press of a double click is no second click.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    // A button with its picture alone goes by its tool tip on the accessibility bus.
    bool event(QEvent *event) override;
};

// A label that answers the mouse itself, under the hand cursor: it reports every move
// over it and a click (press and release on it) and keeps both from reaching the window
// below. The second press of a double click is no second click. A disabled label
// reports nothing. Screen readers see it as a push button named by its text, with a
// press action. A window that lets it take the focus (Qt::TabFocus) gets it drawn
// with a focus frame and clicked by Enter, Return or Space.
class HotLabel : public QLabel
{
    Q_OBJECT

public:
    explicit HotLabel(const QString &text, QWidget *parent = nullptr);

    // The text colour while enabled; a disabled label keeps the greyed look.
    QColor ForeColor() const;
    void setForeColor(const QColor &colour);

    // Clicks the label as the mouse does, when it is shown and enabled; false when not.
    bool press();

signals:
    void MouseMove();
    void Click();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_pressed = false;
};

// Drops the mouse press that is moving the focus now, for a handler of that focus
// change that has shown a message box and put the focus back: the press the message
// interrupted then does not half-happen (an entry highlighted, a button left drawn
// down with its release gone to the box).
void dropInterruptedPress();

// Sets the keyboard focus order of the controls, one after the other.
void chainTabOrder(std::initializer_list<QWidget *> order);

// A decorative picture drawn at the size of its box.
QLabel *stretchedPicture(const QString &resource, const QRect &box, QWidget *parent);

// A background picture scaled to cover `size`, cut at the right or bottom, read at that
// size: the full-size picture is never held beside it. Null when it cannot be read.
QPixmap coverPicture(const QString &resource, const QSize &size);
