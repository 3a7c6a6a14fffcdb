#include "bank/frmExport.h"

#include "bank/bankui.h"
#include "base/fonts.h"
#include "base/programfolder.h"
#include "formats/files.h"
#include "formats/importer.h"
#include "forms/controls.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QShortcut>

using namespace Exchange;

frmExport::frmExport()
    : Form(QStringLiteral("Qelvi——导出测试"), 4800, 3480)
{
    setFont(designFont(QStringLiteral("宋体"), 9));
    auto *label = new QLabel(QStringLiteral("导出的内容："), this);
    label->setGeometry(twipsRect(120, 120, 2400, 300));
    Option1 = new QRadioButton(QStringLiteral("整个题库"), this);
    Option1->setGeometry(twipsRect(240, 480, 4200, 300));
    Option2 = new QRadioButton(QStringLiteral("一个测试类："), this);
    Option2->setGeometry(twipsRect(240, 900, 1500, 300));
    Combo1 = new QComboBox(this);
    Combo1->setGeometry(twipsRect(1800, 860, 2880, 372));
    Option3 = new QRadioButton(QStringLiteral("一个测试："), this);
    Option3->setGeometry(twipsRect(240, 1380, 1500, 300));
    Combo2 = new QComboBox(this);
    Combo2->setGeometry(twipsRect(1800, 1340, 2880, 372));
    Option3->setChecked(true);
    Command1 = bankButton(QStringLiteral("导出"), QStringLiteral(":/images/btn-ok.svg"),
        twipsRect(1200, 2040, 852, 780), this);
    Command2 = bankButton(QStringLiteral("取消"), QStringLiteral(":/images/btn-cancel.svg"),
        twipsRect(2760, 2040, 852, 780), this);

    chainTabOrder({ Option1, Option2, Combo1, Option3, Combo2, Command1, Command2 });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &frmExport::Command2_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmExport::Combo1_Click);
    connect(Command1, &QToolButton::clicked, this, &frmExport::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmExport::Command2_Click);
}

void frmExport::Form_Load()
{
    StoreError error;
    Combo1->addItems(categoryNames(bankPath(), &error));
    reportBankFault(error);
    Combo1_Click();
    Command1->setFocus();
}

// A category chosen: its tests are the ones to choose from.
void frmExport::Combo1_Click()
{
    Combo2->clear();
    QString error;
    const Package bank = readBank(bankPath(), &error);
    for (const Category &c : bank.categories)
        if (c.name == Combo1->currentText())
            for (const Test &t : c.tests)
                Combo2->addItem(t.name);
}

void frmExport::Command2_Click()
{
    Unload();
}

// 导出: reads what is chosen from the bank and writes it to the file the user names.
void frmExport::Command1_Click()
{
    QString error;
    const Package bank = readBank(bankPath(), &error);
    if (!error.isEmpty()) {
        msgBox(error);
        return;
    }
    Package package = bank;
    QString name = QStringLiteral("题库");
    if (Option2->isChecked()) {
        name = Combo1->currentText();
        package = onlyCategory(bank, name);
    } else if (Option3->isChecked()) {
        name = Combo2->currentText();
        package = onlyTest(bank, name);
    }
    if (package.isEmpty()) {
        msgBox(Option2->isChecked() ? QStringLiteral("请选择要导出的测试类！")
                                    : QStringLiteral("请选择要导出的测试！"));
        return;
    }
    CommonDialog dialog;
    dialog.Filter = exportFilter();
    dialog.DialogTitle = QStringLiteral("导出测试");
    dialog.DefaultExt = QStringLiteral("txt");
    // A name may hold characters a file name cannot.
    dialog.FileName = name.trimmed().replace(u'/', u'_').replace(u'\\', u'_').replace(u'\n', u' ')
        + QStringLiteral(".txt");
    if (!dialog.ShowSave(this))
        return;
    QString path = dialog.FileName;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    if (!writeFile(path, package, &error)) {
        msgBox(error);
        return;
    }
    msgBox(QStringLiteral("已经导出到文件“%1”。").arg(QFileInfo(path).fileName()));
    Unload();
}
