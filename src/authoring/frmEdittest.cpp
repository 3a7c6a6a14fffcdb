#include "authoring/frmEdittest.h"

#include "authoring/frmScore.h"
#include "authoring/goingback.h"
#include "authoring/keyfilter.h"
#include "base/currentbank.h"
#include "binding/Data.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

void frmEdittest::Form_Load()
{
    const std::optional<QString> test = HandOff::readTestName();
    if (!test) {
        closeSoon(QStringLiteral("读不到要编辑的测试名称（%1）。").arg(HandOff::nameFile()));
        return;
    }
    if (!openTable(*test, *test, Label6))
        return;
    chkBack->setTest(currentBank(), *test);
    if (Text1->toPlainText().isEmpty())
        stops(Data1->recordset().AddNew());
}

// 添加
void frmEdittest::Command1_Click()
{
    addQuestion();
}

bool frmEdittest::addQuestion()
{
    if (stops(Data1->recordset().AddNew()))
        return false;
    if (!newAtEnd())
        return false;
    Text1->setFocus();
    return true;
}

// 删除
void frmEdittest::Command2_Click()
{
    deleteRecord(QStringLiteral("您确定删除当前题目吗？"));
}

// 完成
void frmEdittest::Command3_Click()
{
    finish();
}

// 首题
void frmEdittest::Command4_Click()
{
    firstRecord();
}

// 上一题
void frmEdittest::Command5_Click()
{
    moveQuestion(-1);
}

// 下一题
void frmEdittest::Command6_Click()
{
    moveQuestion(1);
}

bool frmEdittest::moveQuestion(int step)
{
    Recordset &rs = Data1->recordset();
    const auto move
        = [&rs](int direction) { return direction < 0 ? rs.MovePrevious() : rs.MoveNext(); };
    // Only 上一题 stores the question first; 下一题 leaves that to the move.
    if (step < 0 && stops(rs.Update()))
        return false;
    if (stops(move(step)))
        return false;
    const int position = rs.AbsolutePosition();
    showNumber(position + 1);
    if (position != -1)
        return true;
    if (stops(move(-step)))
        return false;
    if (!showPositionOrNew())
        return false;
    msgBox(step < 0 ? QStringLiteral("已经是第一题了！") : QStringLiteral("已经是最后一题了！"));
    return true;
}

// 评分: the question shown is not committed first; this editor stays open.
void frmEdittest::Command7_Click()
{
    Forms::show<frmScore>();
}

// 末题
void frmEdittest::Command8_Click()
{
    lastRecord();
}

// 求助
void frmEdittest::cmmHelp_Click()
{
    openHelp(1);
}

bool frmEdittest::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return Form::eventFilter(watched, event);
    const std::optional<int> code = typedCode(static_cast<QKeyEvent *>(event));
    if (!code)
        return false;
    int keyAscii = *code;
    KeyPress(static_cast<QWidget *>(watched), keyAscii);
    return keyAscii == 0 && *code != 0;
}

void frmEdittest::KeyPress(QWidget *box, int &keyAscii)
{
    const auto options = optionBoxes();
    const auto scores = scoreBoxes();
    const int option = int(std::find(options.begin(), options.end(), box) - options.begin());
    const int score = int(std::find(scores.begin(), scores.end(), box) - scores.begin());
    const bool inText = box == Text1 || option < 6;
    const bool inScore = score < 6;

    if (keyAscii == 13) {
        if (option < 5)
            options[option + 1]->setFocus();
        else if (option == 5)
            Text8->setFocus();
        else if (score < 5)
            scores[score + 1]->setFocus();
    }
    if (inText && keyAscii == 27) {
        if (moveQuestion(-1))
            Text1->setFocus();
    }
    if (inText && keyAscii == 29) {
        if (moveQuestion(1))
            Text1->setFocus();
    }
    if (inText && keyAscii == 14) {
        Text1->setFocus();
        addQuestion();
    }
    if (inScore && keyAscii == '+') {
        keyAscii = 0;
        Command6->setFocus();
        if (moveQuestion(1))
            Text8->setFocus();
    }
}

void frmEdittest::showNumber(int n)
{
    Label4->setText(QString::number(n));
}
