#include "bank/frmImport.h"

#include "app/controls.h"
#include "bank/bankui.h"
#include "exchange/files.h"
#include "exchange/importer.h"
#include "exchange/spreadsheet.h"
#include "platform/filedialog.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTableWidget>

using namespace Exchange;

namespace {
const QString kAsInFile = QStringLiteral("按文件中的分类");
}

frmImport::frmImport()
    : Form(QStringLiteral("Qelvi——导入测试"), 8400, 5700)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label1 = new QLabel(QStringLiteral("文件："), this);
    Label1->setGeometry(twipsRect(120, 240, 900, 300));
    Text1 = new QLineEdit(this);
    Text1->setReadOnly(true);
    Text1->setGeometry(twipsRect(960, 200, 5220, 372));
    Label2 = new QLabel(QStringLiteral("导入到的测试类："), this);
    Label2->setGeometry(twipsRect(120, 720, 1900, 300));
    Combo1 = new QComboBox(this);
    Combo1->setGeometry(twipsRect(2040, 680, 4140, 372));
    Grid1 = new QTableWidget(0, 6, this);
    Grid1->setGeometry(twipsRect(120, 1200, 8160, 3000));
    Grid1->setHorizontalHeaderLabels(
        { QStringLiteral("导入"), QStringLiteral("测试名称"), QStringLiteral("分类"),
            QStringLiteral("题数"), QStringLiteral("评分"), QStringLiteral("状态") });
    Grid1->horizontalHeader()->setStretchLastSection(true);
    Grid1->verticalHeader()->hide();
    Grid1->setColumnWidth(ColImport, 40);
    Grid1->setColumnWidth(ColName, 150);
    Grid1->setColumnWidth(ColCategory, 110);
    Grid1->setColumnWidth(ColQuestions, 40);
    Grid1->setColumnWidth(ColBands, 40);
    Label3 = new QLabel(this);
    Label3->setGeometry(twipsRect(120, 4260, 8160, 500));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Command1 = bankButton(QStringLiteral("选择文件"), QStringLiteral(":/images/btn-add.svg"),
        twipsRect(6360, 120, 900, 960), this);
    Command4 = bankButton(QStringLiteral("评分表"), QStringLiteral(":/images/btn-score.svg"),
        twipsRect(7380, 120, 900, 960), this);
    Command4->setEnabled(false);
    Command2 = bankButton(QStringLiteral("导入"), QStringLiteral(":/images/btn-ok.svg"),
        twipsRect(2400, 4800, 852, 780), this);
    Command2->setEnabled(false);
    Command3 = bankButton(QStringLiteral("取消"), QStringLiteral(":/images/btn-cancel.svg"),
        twipsRect(4800, 4800, 852, 780), this);

    chainTabOrder({ Command1, Command4, Combo1, Grid1, Command2, Command3 });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &frmImport::Command3_Click);

    connect(Command1, &QToolButton::clicked, this, &frmImport::Command1_Click);
    connect(Command4, &QToolButton::clicked, this, &frmImport::Command4_Click);
    connect(Command2, &QToolButton::clicked, this, &frmImport::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmImport::Command3_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmImport::showClashes);
    connect(Grid1, &QTableWidget::itemChanged, this, &frmImport::showClashes);
}

void frmImport::Form_Load()
{
    Command1->setFocus();
}

void frmImport::Command3_Click()
{
    Unload();
}

// 选择文件: reads the file and shows what it holds; nothing is written yet.
void frmImport::Command1_Click()
{
    CommonDialog dialog;
    dialog.Filter = importFilter();
    dialog.DialogTitle = QStringLiteral("导入测试");
    if (!dialog.ShowOpen(this))
        return;
    QStringList notes;
    QString error;
    const Package package = readFile(dialog.FileName, &notes, &error);
    if (!error.isEmpty()) {
        msgBox(error);
        return;
    }
    const QString suffix = QFileInfo(dialog.FileName).suffix().toLower();
    m_fromSheet = suffix == QLatin1String("csv") || suffix == QLatin1String("tsv");
    Text1->setText(dialog.FileName);
    show(package, notes);
}

// 评分表: the score bands of the spreadsheet's test, from a file of their own.
void frmImport::Command4_Click()
{
    CommonDialog dialog;
    dialog.Filter = QStringLiteral("表格 (*.csv, *.tsv)|*.csv;*.tsv");
    dialog.DialogTitle = QStringLiteral("评分表");
    if (!dialog.ShowOpen(this) || m_read.testCount() != 1)
        return;
    QString error;
    const QList<Band> bands = readBandFile(dialog.FileName, &error);
    if (!error.isEmpty()) {
        msgBox(error);
        return;
    }
    m_read.categories[0].tests[0].bands = bands;
    show(m_read, { Label3->text() });
}

void frmImport::show(const Package &package, const QStringList &notes)
{
    m_read = package;
    m_filling = true;
    bool named = false;
    Grid1->setRowCount(0);
    for (const Category &c : package.categories) {
        named = named || !c.name.isEmpty();
        for (const Test &t : c.tests) {
            const int row = Grid1->rowCount();
            Grid1->insertRow(row);
            auto *tick = new QTableWidgetItem;
            tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
            tick->setCheckState(Qt::Checked);
            Grid1->setItem(row, ColImport, tick);
            Grid1->setItem(row, ColName, new QTableWidgetItem(t.name));
            const auto fixed = [](const QString &text) {
                auto *item = new QTableWidgetItem(text);
                item->setFlags(Qt::ItemIsEnabled);
                return item;
            };
            Grid1->setItem(row, ColCategory, fixed(c.name));
            Grid1->setItem(row, ColQuestions, fixed(QString::number(t.questions.size())));
            Grid1->setItem(row, ColBands, fixed(QString::number(t.bands.size())));
            Grid1->setItem(row, ColState, fixed(QString()));
        }
    }
    const QString before = Combo1->currentText();
    Combo1->clear();
    if (named)
        Combo1->addItem(kAsInFile);
    Combo1->addItems(categoryNames(bankPath()));
    if (Combo1->findText(before) >= 0)
        Combo1->setCurrentText(before);
    Label3->setText(notes.join(u'\n'));
    Command4->setEnabled(m_fromSheet && package.testCount() == 1);
    Command2->setEnabled(package.testCount() > 0);
    m_filling = false;
    showClashes();
}

QString frmImport::target() const
{
    return Combo1->currentText() == kAsInFile ? QString() : Combo1->currentText();
}

Package frmImport::chosen() const
{
    Package package;
    int row = 0;
    for (const Category &c : m_read.categories) {
        Category kept { c.name, {} };
        for (const Test &t : c.tests) {
            if (Grid1->item(row, ColImport)->checkState() == Qt::Checked) {
                kept.tests.append(t);
                kept.tests.last().name = Grid1->item(row, ColName)->text();
            }
            ++row;
        }
        if (!kept.tests.isEmpty())
            package.categories.append(kept);
    }
    return package;
}

void frmImport::showClashes()
{
    if (m_filling)
        return;
    m_filling = true;
    const Package package = chosen();
    QHash<QString, QString> reasons; // by the test's place "category/test" in `package`
    for (const Clash &c : findClashes(bankPath(), package, target()))
        reasons.insert(
            QStringLiteral("%1/%2").arg(c.category).arg(c.test < 0 ? 0 : c.test), c.reason);
    int row = 0, category = 0;
    for (const Category &c : m_read.categories) {
        int test = 0;
        bool any = false;
        for (int i = 0; i < c.tests.size(); ++i, ++row) {
            QString state = QStringLiteral("不导入");
            if (Grid1->item(row, ColImport)->checkState() == Qt::Checked) {
                any = true;
                state = reasons.value(
                    QStringLiteral("%1/%2").arg(category).arg(test++), QStringLiteral("可以导入"));
            }
            Grid1->item(row, ColState)->setText(state);
        }
        if (any)
            ++category;
    }
    m_filling = false;
}

// 导入: every ticked test under its name, in one step; a name that is taken stops it
// before anything is written.
void frmImport::Command2_Click()
{
    const Package package = chosen();
    if (package.testCount() == 0) {
        msgBox(QStringLiteral("请选择要导入的测试！"));
        return;
    }
    if (target().isEmpty() && Combo1->currentText() != kAsInFile) {
        msgBox(QStringLiteral("请选择要添加到的测试类！"));
        return;
    }
    showClashes();
    if (!findClashes(bankPath(), package, target()).isEmpty()) {
        msgBox(QStringLiteral("有的名称已经存在或者不能使用，请改名，或者不导入这些测试！"));
        Grid1->setFocus();
        return;
    }
    if (const StoreError e = importPackage(bankPath(), package, target())) {
        if (!reportBankFault(e))
            msgBox(e.message());
        return;
    }
    msgBox(QStringLiteral("已经导入 %1 个测试。").arg(package.testCount()));
    Unload();
}
