#include "bank/frmBFEdit.h"

#include "bank/bankui.h"
#include "base/fonts.h"
#include "binding/DBCombo.h"
#include "binding/DBList.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/catalogue.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>

frmBFEdit::frmBFEdit()
    : Form(QStringLiteral("Qelvi——选择测试项目"), 6168, 4848)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label2 = new QLabel(QStringLiteral("测试项目分类："), this);
    Label2->setGeometry(twipsRect(240, 120, 2292, 252));
    DBCombo1 = new DBCombo(this);
    DBCombo1->setGeometry(twipsRect(2040, 120, 3852, 300));
    DBCombo1->setAccessibleName(Label2->text());
    DBList1 = new DBList(this);
    DBList1->setGeometry(twipsRect(240, 480, 5652, 2904));
    Label3 = new QLabel(QStringLiteral("输入新名称："), this);
    Label3->setGeometry(twipsRect(240, 3600, 1332, 252));
    Label3->hide();
    Text1 = nameBox(this);
    Text1->setGeometry(twipsRect(1680, 3480, 4212, 372));
    Text1->setAccessibleName(Label3->text());
    Text1->hide();
    Text1->installEventFilter(this);

    // Two button sets share one row: 确定 and 取消 for choosing, the other four for
    // managing (mode 3).
    const auto button = [this](const char *caption, const char *icon, double left) {
        return bankButton(QString::fromUtf8(caption),
            QStringLiteral(":/images/%1.svg").arg(QLatin1String(icon)),
            twipsRect(left, 3960, 852, 732), this);
    };
    Command5 = button("更名", "btn-rename", 960);
    Command5->hide();
    Command6 = button("确定更名", "btn-done", 2160);
    Command6->hide();
    Command6->setEnabled(false);
    Command1 = button("确定", "btn-ok", 3240);
    Command3 = button("删除", "btn-delete", 3360);
    Command3->hide();
    Command2 = button("取消", "btn-cancel", 4440);
    Command4 = button("退出", "btn-exit", 4560);
    Command4->hide();

    Label1 = new QLabel(this);
    Label1->setGeometry(twipsRect(5400, 3960, 1212, 252));
    Label1->hide();
    Text2 = new QLineEdit(this);
    Text2->setGeometry(twipsRect(5400, 4320, 1212, 264));
    Text2->hide();
    Data2 = new Data(this);
    Data2->setGeometry(twipsRect(120, 4080, 1140, 300));
    Data2->hide();
    Data1 = new Data(this);
    Data1->setGeometry(twipsRect(120, 4440, 1140, 300));
    Data1->hide();
    Data1->bind(Text2, BankNames::testField());
    DBCombo1->setRowSource(Data2, BankNames::categoryField());
    DBList1->setRowSource(Data1, BankNames::testField());

    chainTabOrder(
        { DBList1, Command1, Command2, Command3, Command4, Text1, Command5, Command6, DBCombo1 });

    connect(DBCombo1, &DBCombo::Change, this, &frmBFEdit::DBCombo1_Change);
    connect(DBList1, &DBList::Click, this, &frmBFEdit::DBList1_Click);
    connect(DBList1, &DBList::DblClick, this, &frmBFEdit::DBList1_DblClick);
    connect(Command1, &QToolButton::clicked, this, &frmBFEdit::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmBFEdit::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmBFEdit::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmBFEdit::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmBFEdit::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &frmBFEdit::Command6_Click);
}

void frmBFEdit::Form_Load()
{
    openBank(Data2, Data1);

    if (HandOff::readModeCode() == HandOff::ManageMode) {
        Command1->hide();
        Command2->hide();
        Command3->show();
        Command4->show();
        Command5->show();
        Command6->show();
        setCaption(QStringLiteral("Qelvi——测试项目编辑器"));
    }
    DBList1->setFocus();
}

void frmBFEdit::Form_Unload()
{
    Data::UnloadAll(this);
}

// A category picked: list its tests.
void frmBFEdit::DBCombo1_Change()
{
    Data1->setRecordSource(DBCombo1->Text());
    Data1->Refresh();
}

void frmBFEdit::DBList1_Click()
{
    Label1->setText(DBList1->Text());
    Text1->setText(DBList1->Text());
    clickedCategory = Data1->RecordSource();
}

void frmBFEdit::DBList1_DblClick()
{
    if (HandOff::readModeCode() == HandOff::ManageMode)
        return;
    confirmChoice();
}

// 确定
void frmBFEdit::Command1_Click()
{
    confirmChoice();
}

// Opens the chosen test in the window of the mode read now; in any other mode the
// chooser stays open.
void frmBFEdit::confirmChoice()
{
    const QString test = DBList1->Text();
    if (test.isEmpty()) {
        msgBox(QStringLiteral("请选择已经有测试项目！"));
        return;
    }
    const std::optional<qint16> mode = HandOff::readModeCode();
    if (!HandOff::writeTestName(test))
        return;
    if (mode == HandOff::EditMode) {
        Forms::show("frmEdittest");
        Unload();
    } else if (mode == HandOff::TakeMode) {
        // The list shows Data1's rows, so the test is listed in Data1's category.
        HandOff::setChosenCategory(test, Data1->RecordSource());
        Forms::show("frmTest");
        Unload();
    }
}

// 取消
void frmBFEdit::Command2_Click()
{
    Unload();
}

// 退出
void frmBFEdit::Command4_Click()
{
    Unload();
}

// 删除: drops the test's two tables and its row in the listed category in one step.
void frmBFEdit::Command3_Click()
{
    const QString test = DBList1->Text();
    if (test.isEmpty()) {
        msgBox(QStringLiteral("请选择要删除的测试项目！"));
        return;
    }
    if (msgBox(QStringLiteral("真的要删除这项测试吗？"), MsgStyle::Question) != MsgAnswer::Yes)
        return;
    // The list shows Data1's rows, so the test is listed in Data1's table.
    const QString category = Data1->RecordSource();
    if (const StoreError e = Catalogue::deleteTest(bankPath(), test, category)) {
        if (reportGone(e, category))
            showBankNow();
        else
            reportBankFault(e);
        return;
    }
    msgBox(QStringLiteral("该项测试已经删除！"));
    Data1->Refresh();
    // The deleted test can be neither renamed nor deleted again.
    clearChoice();
}

// 更名: opens the name box on the clicked test's name.
void frmBFEdit::Command5_Click()
{
    if (Text1->text().isEmpty()) {
        msgBox(QStringLiteral("请选择要更名的测试项目！"));
        return;
    }
    Text1->show();
    Label3->show();
    Command6->setEnabled(true);
    Command5->setEnabled(false);
    Text1->setFocus();
}

// 确定更名: renames both tables and the row of the category that listed the test, in
// one step; a refused name leaves the bank as it was and the window renaming.
void frmBFEdit::Command6_Click()
{
    const QString oldName = Label1->text();
    const QString newName = Text1->text();
    if (const StoreError e = Catalogue::renameTest(bankPath(), oldName, newName, clickedCategory)) {
        if (reportGone(e, clickedCategory))
            showBankNow();
        else
            reportNameRefused(e, QStringLiteral("测试名称已经存在！"), Text1);
        return;
    }
    Data1->Refresh();
    // The clicked test goes by its new name now, so a second rename starts from it.
    Label1->setText(newName);
    Text1->hide();
    Label3->hide();
    Command5->setEnabled(true);
    Command6->setEnabled(false);
}

// Nothing chosen, and the name box closed.
void frmBFEdit::clearChoice()
{
    Text1->hide();
    Label3->hide();
    Command5->setEnabled(true);
    Command6->setEnabled(false);
    Label1->clear();
    Text1->clear();
    clickedCategory.clear();
}

// After another window changed the bank under the lists: both lists as the bank holds
// them now (a category that is gone leaves the box, and its tests the list).
void frmBFEdit::showBankNow()
{
    Data2->Refresh();
    if (!Data1->RecordSource().isEmpty())
        Data1->Refresh();
    clearChoice();
}

void frmBFEdit::Text1_LostFocus()
{
    if (!Text1->text().isEmpty())
        return;
    msgBox(QStringLiteral("请输入新的测试名称！"));
    Text1->setFocus();
}

bool frmBFEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::FocusOut && Text1->isVisible()) {
        // Leaving the box for another control, not for another program or a menu.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            Text1_LostFocus();
            // The message took the place of the press that left the box.
            if (reason == Qt::MouseFocusReason && Text1->hasFocus())
                dropInterruptedPress();
        }
    }
    return Form::eventFilter(watched, event);
}
