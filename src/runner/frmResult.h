#pragma once

#include "forms/forms.h"
#include "store/results/history.h"

class QAction;
class QLabel;
class QMenu;
class QTextEdit;
class QToolButton;

// The outcome of a finished test: the runner writes the total and the evaluation into
// Text1, places the window and shows it. Command1 closes it. Text1 never keeps the
// focus: it passes it on to Command1, so the keyboard always reaches the button.
//
// The result can be printed (Ctrl+P) and saved as a PDF file (Ctrl+S), also from the
// text's context menu; the page holds the test, its date, the text as shown and the
// answers of the record the runner hands over.
class frmResult : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 4584, 4500, Forms::Base::Inner, 2 };
    frmResult();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    // The finished test the text belongs to.
    void setRecord(const Results::Record &record);
    const Results::Record &record() const { return m_record; }
    // The text's context menu: the usual entries, then printing and saving.
    QMenu *textMenu();

    QTextEdit *Text1; // the result text, read-only
    QToolButton *Command1; // 谢谢Tovik！
    QLabel *Image1; // decoration
    QAction *mnuPrint; // 打印, Ctrl+P
    QAction *mnuSavePdf; // 存为PDF, Ctrl+S

public slots:
    void Command1_Click();
    void Text1_GotFocus();
    void mnuPrint_Click();
    void mnuSavePdf_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The record with the text as the window shows it now.
    Results::Record shownRecord() const;

    Results::Record m_record;
};
