#include "bank/frmFL.h"

#include "bank/bankui.h"
#include "base/fonts.h"
#include "base/valuerules.h"
#include "binding/DBList.h"
#include "binding/Data.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/catalogue.h"

#include <QLabel>
#include <QLineEdit>

namespace {
const QString kNew = QStringLiteral("new");
const QString kChange = QStringLiteral("change");
const QString kTaken = QStringLiteral("该名称已经存在，可能是分类，也可能是测试！");
} // namespace

frmFL::frmFL()
    : Form(QStringLiteral("Qelvi——测试分类编辑器"), 5820, 4812)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label2 = new QLabel(QStringLiteral("选择已有的类："), this);
    Label2->setGeometry(twipsRect(120, 240, 2412, 252));
    DBList1 = new DBList(this);
    DBList1->setGeometry(twipsRect(120, 600, 5292, 2496));
    Label1 = new QLabel(QStringLiteral("请输入名称:"), this);
    Label1->setGeometry(twipsRect(120, 3240, 1212, 372));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Text1 = nameBox(this);
    Text1->setGeometry(twipsRect(1440, 3240, 3972, 372));
    Text1->setAccessibleName(Label1->text());
    Text1->setEnabled(false);

    Command2 = bankButton(QStringLiteral("新建"), QStringLiteral(":/images/btn-new.svg"),
        twipsRect(240, 3840, 852, 732), this);
    Command5 = bankButton(QStringLiteral("改名"), QStringLiteral(":/images/btn-rename.svg"),
        twipsRect(1320, 3840, 852, 732), this);
    Command1 = bankButton(QStringLiteral("名称确定"), QStringLiteral(":/images/btn-ok.svg"),
        twipsRect(2400, 3840, 852, 732), this);
    Command1->setEnabled(false);
    Command3 = bankButton(QStringLiteral("删除"), QStringLiteral(":/images/btn-delete.svg"),
        twipsRect(3480, 3840, 852, 732), this);
    Command4 = bankButton(QStringLiteral("退出"), QStringLiteral(":/images/btn-exit.svg"),
        twipsRect(4560, 3840, 852, 732), this);

    // The window's state, kept in hidden controls.
    Text3 = new QLineEdit(this);
    Text3->hide();
    Text4 = new QLineEdit(QStringLiteral("Text4"), this);
    Text4->hide();
    Label3 = new QLabel(QStringLiteral("Label3"), this);
    Label3->hide();
    Text2 = new QLineEdit(this);
    Text2->hide();
    Data2 = new Data(this);
    Data2->hide();
    Data2->bind(Text2, BankNames::categoryField());
    Data1 = new Data(this);
    Data1->hide();
    DBList1->setRowSource(Data2, BankNames::categoryField());

    chainTabOrder({ DBList1, Text1, Command2, Command5, Command1, Command3, Command4 });

    connect(DBList1, &DBList::Click, this, &frmFL::DBList1_Click);
    connect(Command1, &QToolButton::clicked, this, &frmFL::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmFL::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmFL::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmFL::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmFL::Command5_Click);
}

void frmFL::Form_Load()
{
    Text1->clear();
    Text3->clear();
    openBank(Data2, Data1);
}

void frmFL::Form_Unload()
{
    Data::UnloadAll(this);
}

// Choosing a category: remember it and count its tests.
void frmFL::DBList1_Click()
{
    Text3->setText(DBList1->Text());
    Data1->setRecordSource(Text3->text());
    // A category whose table is missing counts no tests, so that 删除 can still
    // remove its row.
    const StoreError opened = Data1->Refresh();
    Recordset &rs = Data1->recordset();
    rs.MoveLast(); // fails on an empty table; the count is exact either way
    Text4->setText(QString::number(opened ? 0 : rs.RecordCount()));
}

// 新建
void frmFL::Command2_Click()
{
    Label3->setText(kNew);
    Text1->setEnabled(true);
    Command1->setEnabled(true);
    Command2->setEnabled(false);
    Text1->setFocus();
}

// 改名
void frmFL::Command5_Click()
{
    if (Text3->text().isEmpty()) {
        msgBox(QStringLiteral("请选择要改名的测试类！"));
        return;
    }
    Label3->setText(kChange);
    Text1->setEnabled(true);
    Command1->setEnabled(true);
    Command5->setEnabled(false);
    Text1->setText(Text3->text());
    Text1->setFocus();
}

// 名称确定: create or rename, by the pending operation. The name is passed as typed;
// the store refuses an empty name, a name it cannot hold, and a name that is taken.
void frmFL::Command1_Click()
{
    if (Label3->text() == kNew) {
        const QString name = Text1->text();
        if (const StoreError e = Catalogue::createCategory(bankPath(), name)) {
            reportNameRefused(e, kTaken, Text1);
            return;
        }
        Data2->Refresh();
        Text1->clear();
    } else {
        releaseChosenTable();
        // The category chosen now, which need not be the one chosen at 改名.
        const QString oldName = Text3->text();
        const QString newName = Text1->text();
        if (const StoreError e = Catalogue::renameCategory(bankPath(), oldName, newName)) {
            if (reportGone(e, oldName))
                showBankNow();
            else
                reportNameRefused(e, kTaken, Text1);
            return;
        }
        Data2->Refresh();
        Text1->clear();
        Text3->clear();
    }
    Text1->setEnabled(false);
    Command1->setEnabled(false);
    Command2->setEnabled(true);
    Command5->setEnabled(true);
    Text3->clear();
    Label3->clear();
}

// 删除: only a category that lists no tests, and without asking.
void frmFL::Command3_Click()
{
    if (Text3->text().isEmpty()) {
        msgBox(QStringLiteral("请选择要删除的测试类！"));
        return;
    }
    const QString notEmpty = QStringLiteral("该测试类里有测试内容，不能删除！");
    if (val(Text4->text()) > 0) {
        msgBox(notEmpty);
        return;
    }
    releaseChosenTable();
    const QString name = Text3->text();
    if (const StoreError e = Catalogue::deleteCategory(bankPath(), name)) {
        // The store counts the tests again; the count shown may be out of date.
        if (e.number() == StoreError::CategoryNotEmpty)
            msgBox(notEmpty);
        else if (reportGone(e, name))
            showBankNow();
        else
            reportBankFault(e);
        return;
    }
    msgBox(QStringLiteral("该测试类已经删除！"));
    Data2->Refresh();
    Text3->clear();
}

// 退出: a pending operation is dropped.
void frmFL::Command4_Click()
{
    Unload();
}

// After another window changed the bank: the list as it holds it now, nothing chosen.
void frmFL::showBankNow()
{
    Data2->Refresh();
    Text3->clear();
}

// The counting binding lets go of the category table before it is renamed or dropped.
void frmFL::releaseChosenTable()
{
    Data1->setRecordSource(QString());
    Data1->Refresh();
}
