#include "authoring/frmEdittest.h"

#include "app/forms.h"
#include "app/handoff.h"
#include "authoring/editorparts.h"
#include "authoring/frmScore.h"
#include "authoring/keyfilter.h"
#include "bank/Data.h"
#include "info/frmHelp.h"
#include "platform/msgbox.h"
#include "platform/programfolder.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace {
const QString kRecord = QStringLiteral("这道题");
}

void frmEdittest::Form_Load()
{
    Data1->setDatabaseName(programFile(QStringLiteral("test.mdb")));
    const std::optional<QString> test = HandOff::readTestName();
    if (!test) {
        msgBox(QStringLiteral("读不到要编辑的测试名称（%1）。").arg(HandOff::nameFile()));
        closeSoon();
        return;
    }
    Data1->setRecordSource(*test);
    Label6->setText(*test);
    Label6->setToolTip(*test);
    if (const StoreError e = Data1->Refresh()) {
        msgBox(e.message());
        closeSoon();
        return;
    }
    if (Text1->toPlainText().isEmpty())
        stops(Data1->recordset().AddNew());
}

// Leaving commits the question shown. A question the bank refuses keeps the window
// open on it, so that nothing typed is lost.
bool frmEdittest::Form_QueryUnload()
{
    return !stops(Data1->recordset().commit());
}

void frmEdittest::Form_Unload()
{
    // Form_QueryUnload has committed already; what fails here is the bank itself.
    if (const StoreError e = Data::UnloadAll(this))
        msgBox(refusedMessage(e, kRecord));
}

// 添加
void frmEdittest::Command1_Click()
{
    addQuestion();
}

bool frmEdittest::addQuestion()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.AddNew()))
        return false;
    if (stops(rs.MoveLast()))
        return false;
    showNumber(rs.RecordCount() + 1);
    if (stops(rs.AddNew()))
        return false;
    Text1->setFocus();
    return true;
}

// 删除
void frmEdittest::Command2_Click()
{
    if (msgBox(QStringLiteral("您确定删除当前题目吗？"), MsgStyle::Question) != MsgAnswer::Yes)
        return;
    Recordset &rs = Data1->recordset();
    if (stops(rs.Delete()))
        return;
    if (stops(rs.MovePrevious()))
        return;
    const int n = rs.AbsolutePosition() + 1;
    showNumber(n);
    if (n == 0) {
        if (stops(rs.AddNew()))
            return;
        showNumber(1);
    }
}

// 完成
void frmEdittest::Command3_Click()
{
    if (stops(Data1->recordset().AddNew()))
        return;
    Unload();
}

// 首题
void frmEdittest::Command4_Click()
{
    if (stops(Data1->recordset().MoveFirst()))
        return;
    showNumber(1);
}

// 上一题
void frmEdittest::Command5_Click()
{
    previousQuestion();
}

bool frmEdittest::previousQuestion()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.Update()))
        return false;
    if (stops(rs.MovePrevious()))
        return false;
    const int position = rs.AbsolutePosition();
    showNumber(position + 1);
    if (position != -1)
        return true;
    if (stops(rs.MoveNext()))
        return false;
    const int n = rs.AbsolutePosition() + 1;
    showNumber(n);
    if (n == 0) {
        if (stops(rs.AddNew()))
            return false;
        showNumber(1);
    }
    msgBox(QStringLiteral("已经是第一题了！"));
    return true;
}

// 下一题
void frmEdittest::Command6_Click()
{
    nextQuestion();
}

bool frmEdittest::nextQuestion()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.MoveNext()))
        return false;
    const int position = rs.AbsolutePosition();
    showNumber(position + 1);
    if (position != -1)
        return true;
    if (stops(rs.MovePrevious()))
        return false;
    const int n = rs.AbsolutePosition() + 1;
    showNumber(n);
    if (n == 0) {
        if (stops(rs.AddNew()))
            return false;
        showNumber(1);
    }
    msgBox(QStringLiteral("已经是最后一题了！"));
    return true;
}

// 评分: the question shown is not committed first; this editor stays open.
void frmEdittest::Command7_Click()
{
    frmScore *score = Forms::load<frmScore>();
    Forms::place(score, 4116, 5964, Forms::Base::Outer, 2);
    score->Show();
}

// 末题
void frmEdittest::Command8_Click()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.MoveLast()))
        return;
    showNumber(rs.RecordCount());
}

// 求助
void frmEdittest::cmmHelp_Click()
{
    if (!HandOff::writeModeCode(1))
        return;
    frmHelp *help = Forms::load<frmHelp>();
    Forms::place(help, 4860, 5196, Forms::Base::Outer, 2);
    help->Show();
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
        if (previousQuestion())
            Text1->setFocus();
    }
    if (inText && keyAscii == 29) {
        if (nextQuestion())
            Text1->setFocus();
    }
    if (inText && keyAscii == 14) {
        Text1->setFocus();
        addQuestion();
    }
    if (inScore && keyAscii == '+') {
        keyAscii = 0;
        Command6->setFocus();
        if (nextQuestion())
            Text8->setFocus();
    }
}

bool frmEdittest::stops(const StoreError &error)
{
    return stopsHandler(error, Data1, kRecord);
}

void frmEdittest::showNumber(int n)
{
    Label4->setText(QString::number(n));
}

void frmEdittest::closeSoon()
{
    // The opener still places and shows the window after loading it.
    QTimer::singleShot(0, this, &Form::Unload);
}
