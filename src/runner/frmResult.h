#pragma once

#include "app/form.h"

class QLabel;
class QTextEdit;
class QToolButton;

// The outcome of a finished test: the runner writes the total and the evaluation into
// Text1, places the window and shows it. Command1 closes it. Text1 never keeps the
// focus: it passes it on to Command1, so the keyboard always reaches the button.
class frmResult : public Form
{
    Q_OBJECT

public:
    frmResult();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    QTextEdit *Text1; // the result text, read-only
    QToolButton *Command1; // 谢谢Tovik！
    QLabel *Image1; // decoration

public slots:
    void Command1_Click();
    void Text1_GotFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
