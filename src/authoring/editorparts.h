#pragma once

// Parts the question editor and the score-band editor share: their controls, the
// placeholder of their option and evaluation boxes, and how their handlers treat a
// step that fails.

#include <QString>
#include <initializer_list>

class Data;
class QFont;
class QLabel;
class QLineEdit;
class QRect;
class QTextEdit;
class QToolButton;
class QWidget;
class StoreError;

// A label of plain text at its place.
QLabel *editorLabel(const QString &text, const QRect &place, QWidget *parent);
// A one-line box as low as one line of its font.
QLineEdit *lineBox(const QRect &place, QWidget *parent);
// The question or evaluation box: several lines, Tab moving on to the next control.
QTextEdit *textBox(const QRect &place, const QFont &font, QWidget *parent);
// 求助 in the top right corner.
QToolButton *helpButton(double left, QWidget *parent);

// The row of buttons along the bottom, each 732 x 612 twips.
struct EditorButtonDef
{
    QToolButton **button;
    const char16_t *caption;
    const char *picture; // btn-<picture>.svg
    double left;
};
void createButtonRow(std::initializer_list<EditorButtonDef> buttons, double top, QWidget *parent);

// The placeholder of an option or evaluation box (a QLineEdit or a QTextEdit): a box
// that gets the focus holding exactly one space is emptied; one that loses the focus
// empty is set to one space. So an option left empty is stored as one space. Focus
// that leaves with the whole window (another program, a message box, a menu) does
// not count.
void installPlaceholder(QWidget *box);

// How a handler treats the failure of one of its steps. The failures the handlers
// expect (a move past either end or in an empty table, an update with nothing
// pending, a table that could not be opened) are passed over silently and the
// handler goes on. Anything else, above all a record that the bank refuses to store
// because a score is no number, stops the handler: the user is told which box holds
// what, the focus goes to that box, and the record stays as typed. Returns true when
// the handler must stop. `record` names what was not stored ("这道题").
bool stopsHandler(const StoreError &error, Data *data, const QString &record);

// The message for a refused record, naming the box by what it holds and its text.
QString refusedMessage(const StoreError &error, const QString &record);
