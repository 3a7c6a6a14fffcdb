#pragma once

// What a user does with the mouse and the keyboard, as the window tests do it.

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

namespace userinput {

inline void press(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// Types text key by key into a widget (QTest::keyClicks drops characters outside
// Latin-1, so other characters go as key events with their text).
inline void typeKeys(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces a box's text by typing, the focus in the box.
template<class Box>
void type(Box *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    typeKeys(box, text);
}

// Where the keyboard is.
inline QWidget *focused()
{
    return QApplication::focusWidget();
}

// A key as the user presses it: to whichever widget has the focus now.
inline void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(focused(), k, mods);
}

inline void keys(const QString &text)
{
    for (const QChar c : text)
        typeKeys(focused(), QString(c));
}

} // namespace userinput
