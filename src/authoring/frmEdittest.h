#pragma once

#include "forms/forms.h"

#include "authoring/recordeditor.h"

#include <array>

class GoingBackBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QToolButton;

// The question editor: one question of a test at a time (the question text, six
// options A..F and a score for each), bound to the test's question table, whose name
// it reads from temp.txt. It moves through the table, adds and deletes questions, and
// opens the score-band editor and the help page. Label6 holds the test name; the
// score-band editor reads it from there.
//
// The position number (Label4) is the window's own: only the handlers set it, so
// moving with Data1's bar leaves it as it was.
//
// Choices where the table's behaviour is ours to make:
//  - 上一题 right after 添加 stores nothing: the blank question is dropped.
//  - 删除 while a new question is pending discards that question; the stored ones stay.
//  - A question stored into an empty table (or after the first was deleted) becomes
//    the current one, so the editor stays on it.
//  - A score that is no number ("1.2.3", "-", ".") is never stored: the handler stops
//    with a message naming the box and its text, and the question stays as typed. An
//    empty score is stored empty.
//  - Every way of leaving (完成, the close box, the main window closing it) commits
//    the question shown first; when the bank refuses it the window stays open.
//  - A test whose name cannot be read, or whose table is missing, is reported and the
//    window closes again.
class frmEdittest : public RecordEditor
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 5892, 7740, Forms::Base::Outer, 1.5 };
    frmEdittest();

    void Form_Load() override;

    QLabel *Label6; // the test name
    QLabel *Label1; // "第"
    QLabel *Label4; // the position number
    QLabel *Label5; // "题"
    QToolButton *cmmHelp;
    QTextEdit *Text1; // the question
    std::array<QLabel *, 6> Label2; // "选项A" .. "选项F"
    QLineEdit *Text2, *Text3, *Text4, *Text5, *Text6, *Text7; // options A..F
    std::array<QLabel *, 6> Label3; // "得分:"
    QLineEdit *Text8, *Text9, *Text10, *Text11, *Text12, *Text13; // scores A..F
    QToolButton *Command4; // 首题
    QToolButton *Command5; // 上一题
    QToolButton *Command6; // 下一题
    QToolButton *Command8; // 末题
    QToolButton *Command1; // 添加
    QToolButton *Command2; // 删除
    QToolButton *Command7; // 评分
    QToolButton *Command3; // 完成
    GoingBackBox *chkBack; // 允许返回上一题, a setting of the test

    // The option boxes Text2..Text7 and the score boxes Text8..Text13 by option.
    std::array<QLineEdit *, 6> optionBoxes() const;
    std::array<QLineEdit *, 6> scoreBoxes() const;

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void cmmHelp_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void setTabOrder();
    void connectHandlers();

    // The handlers' steps; false when a step stopped the handler.
    bool addQuestion();
    // 上一题 (step -1) and 下一题 (step 1).
    bool moveQuestion(int step);
    // The key table of the boxes; sets keyAscii to 0 to keep the key from the box.
    void KeyPress(QWidget *box, int &keyAscii);

    void showNumber(int n) override;
};
