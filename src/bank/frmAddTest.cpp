#include "bank/frmAddTest.h"

#include "bank/bankui.h"
#include "base/fonts.h"
#include "binding/DBCombo.h"
#include "binding/Data.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/catalogue.h"

#include <QLabel>
#include <QLineEdit>

frmAddTest::frmAddTest()
    : Form(QStringLiteral("Qelvi——添加测试项目"), 3744, 3420)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label2 = new QLabel(QStringLiteral("添加到的测试类："), this);
    Label2->setGeometry(twipsRect(120, 360, 2892, 252));
    DBCombo1 = new DBCombo(this);
    DBCombo1->setGeometry(twipsRect(120, 840, 3252, 348));
    DBCombo1->setAccessibleName(Label2->text());
    Label1 = new QLabel(QStringLiteral("测试名称："), this);
    Label1->setGeometry(twipsRect(120, 1440, 1212, 372));
    Text1 = nameBox(this);
    Text1->setGeometry(twipsRect(1320, 1440, 2052, 372));
    Text1->setAccessibleName(Label1->text());
    Command1 = bankButton(QStringLiteral("确定"), QStringLiteral(":/images/btn-ok.svg"),
        twipsRect(1080, 2280, 732, 732), this);
    Command2 = bankButton(QStringLiteral("取消"), QStringLiteral(":/images/btn-cancel.svg"),
        twipsRect(2400, 2280, 732, 732), this);

    Text2 = new QLineEdit(this);
    Text2->hide();
    Data2 = new Data(this);
    Data2->hide();
    Data1 = new Data(this);
    Data1->hide();
    Data1->bind(Text2, BankNames::testField());
    DBCombo1->setRowSource(Data2, BankNames::categoryField());

    chainTabOrder({ Text1, Command1, Command2, DBCombo1 });

    connect(DBCombo1, &DBCombo::Change, this, &frmAddTest::DBCombo1_Change);
    connect(Command1, &QToolButton::clicked, this, &frmAddTest::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmAddTest::Command2_Click);
}

void frmAddTest::Form_Load()
{
    openBank(Data2, Data1);
    Text1->setFocus();
}

void frmAddTest::Form_Unload()
{
    Data::UnloadAll(this);
}

// A category picked: the name comes next.
void frmAddTest::DBCombo1_Change()
{
    Text1->setFocus();
}

void frmAddTest::Command2_Click()
{
    Unload();
}

// 确定: creates the test's two tables and its row in the category in one step, so a
// refused name leaves the bank as it was.
void frmAddTest::Command1_Click()
{
    const QString category = DBCombo1->Text();
    const QString test = Text1->text(); // as typed: no trimming
    if (category.isEmpty()) {
        msgBox(QStringLiteral("请选择要添加到的测试类！"));
        return;
    }
    if (test.isEmpty()) {
        msgBox(QStringLiteral("请输入测试名称！"));
        return;
    }
    if (const StoreError e = Catalogue::createTest(bankPath(), test, category)) {
        // A category renamed or deleted in another window leaves the box.
        if (reportGone(e, category))
            Data2->Refresh();
        else
            reportNameRefused(e, QStringLiteral("测试名称已经存在！"), Text1);
        return;
    }
    // The category, now listing the new test at its end.
    Data1->setRecordSource(category);
    Data1->Refresh();

    const bool editNow = msgBox(QStringLiteral("新的测试项目已经建立，但还需要您编辑具体测试"
                                               "题目。您想立即编辑测试题目吗?"),
                             MsgStyle::Question)
        == MsgAnswer::Yes;
    if (!editNow) {
        Unload();
        return;
    }
    const bool handedOff = HandOff::writeTestName(test);
    Unload();
    if (!handedOff)
        return;
    Forms::show("frmEdittest");
}
