#pragma once

// What a user does with the mouse and the keyboard, as the window tests do it.

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

// Where a test called a helper, for its failure message: the compilers' own builtins,
// as std::source_location is missing where clang 14 meets this standard library.
struct CallSite
{
    const char *file;
    int line;
    static CallSite current(const char *file = __builtin_FILE(), int line = __builtin_LINE())
    {
        return { file, line };
    }
};

class QComboBox;
class QLineEdit;

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

// Replaces a box's text by pasting, as a text copied from elsewhere arrives: all
// selected, then Ctrl+V.
void paste(QLineEdit *box, const QString &text);

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

// Controls found the way a user finds them, by what they are called: a button's or a
// hot label's caption (without its & mark), a button's tip, and what a screen reader
// says, its accessible name (its own, or that of the label it is the buddy of).
// Only the controls shown under `window` count. When none, or more than one, is called
// that, the test fails there, with the caption, the window and the captions it shows;
// a press or typing that found nothing does nothing more.

enum class Kind {
    Pressable, // buttons, check boxes, hot labels
    Editable, // line, text and spin boxes, combos
};

// Every shown control of that kind under window called caption.
QList<QWidget *> controlsCalled(QWidget *window, QStringView caption, Kind kind);

// The one shown control called caption; null, the test failed, when not exactly one.
QWidget *control(QWidget *window, QStringView caption, Kind kind = Kind::Pressable,
    CallSite where = CallSite::current());

// Clicks the one control called caption, as the mouse does (a disabled one ignores
// the click, as it would the user's); false when it was not found.
bool press(QWidget *window, QStringView caption, CallSite where = CallSite::current());

// Replaces the text of the box called caption by typing into it.
bool type(QWidget *window, QStringView caption, const QString &text,
    CallSite where = CallSite::current());

// Replaces the text of the box called caption by pasting.
bool paste(QWidget *window, QStringView caption, const QString &text,
    CallSite where = CallSite::current());

// Picks the entry of the combo called caption with the arrow keys; the test fails when
// the combo does not list it.
bool pick(QWidget *window, QStringView caption, const QString &entry,
    CallSite where = CallSite::current());

// Picks a combo entry with the arrow keys, as a user can; false when it is not listed.
bool pickEntry(QComboBox *combo, const QString &text);

} // namespace userinput
