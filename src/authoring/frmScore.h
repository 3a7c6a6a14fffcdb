#pragma once

#include "forms/forms.h"

#include "authoring/recordeditor.h"
#include "scoring/bandcheck.h"

class BandCheckRun;
class HotLabel;
class QLabel;
class QTimer;
class QLineEdit;
class QTextEdit;
class QToolButton;

// The score-band editor: one band of a test at a time (lower bound, upper bound,
// evaluation), bound to the test's scoring table. It is opened from the question
// editor and takes the test name from that editor's Label6.
//
// The band label (Label3, "第 N 档") is the window's own: only the handlers set it.
//
// As in the question editor: a bound that is no number is never stored (the handler
// stops with a message naming the box and its text, the band stays as typed); an
// empty bound is stored empty; every way of leaving commits the band shown first and
// the window stays open when the bank refuses it; a band stored into an empty table
// stays current; 删除 while a new band is pending discards only that band.
class frmScore : public RecordEditor
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 4116, 5964, Forms::Base::Outer, 2 };
    frmScore();

    // The band label for band n: "第", the number with its sign position (a blank, or
    // the minus sign), a blank, "档" ("第 1 档", "第 12 档", "第-1 档").
    static QString bandLabel(int n);

    void Form_Load() override;
    void Form_Unload() override;

    QLabel *Label2; // the test name
    QLabel *Label3; // the band label
    QLineEdit *Text1; // lower bound
    QLabel *Label1; // "to"
    QLineEdit *Text2; // upper bound
    QLabel *Label4; // "分"
    QTextEdit *Text3; // evaluation
    QToolButton *cmmHelp;
    QToolButton *Command6; // 首档
    QToolButton *Command1; // 上一档
    QToolButton *Command2; // 下一档
    QToolButton *Command8; // 末档
    QToolButton *Command3; // 添加
    QToolButton *Command5; // 删除
    QToolButton *Command4; // 完成
    HotLabel *Label5; // the band check

    // The last check that ended, and whether a newer one runs.
    const BandCheck::Check &bandCheck() const { return m_check; }
    bool checking() const;

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command8_Click();
    void cmmHelp_Click();
    void Label5_Click();
    // Reads the test's questions and stored bands again and checks them off the
    // window's thread; the indicator says "检查中…" until the check ends.
    void updateCheck();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void setTabOrder();
    void connectHandlers();

    // 上一档 (step -1) and 下一档 (step 1), which differ only in direction and message.
    void moveBand(int step);
    void showNumber(int n) override;
    void showCheck(const BandCheck::Check &check);
    void showIndicator(const QString &text, const QString &tip, const QColor &colour);

    QString m_test;
    BandCheck::Check m_check;
    QTimer *m_checkTimer; // one check for the changes of one handler
    BandCheckRun *m_checkRun;
};
