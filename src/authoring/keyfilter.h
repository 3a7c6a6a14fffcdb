#pragma once

#include <QObject>
#include <optional>

class QKeyEvent;
class QLineEdit;

// The character code a key press types, as the editors' key handling sees it: Enter
// 13, Backspace 8, Esc 27, Ctrl with @ A..Z [ \ ] ^ _ gives 0..31 (Ctrl+] is 29 on a
// US keyboard), any other key the code of the character it types. Keys that type no
// character (arrows, Delete, function keys, a lone modifier) give nothing.
std::optional<int> typedCode(const QKeyEvent *event);

// The numeric key filter of the score and bound boxes: control codes 0..26 (Enter,
// Backspace, Ctrl+C/V/X/Z, ...) and the twelve characters "0123456789.-" pass as they
// are; every other code is discarded and gives 0.
int numericKeyFilter(int code);

// Installs the numeric key filter on a box: a key it discards never reaches the box.
// Input methods are switched off for the box, since they would type past the filter.
// A window with key handling of its own on the same box installs its own event filter
// after this one, so that its handling runs first and the numeric filter last.
void installNumericKeyFilter(QLineEdit *box);

class NumericKeyFilter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
