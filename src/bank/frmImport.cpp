#include "bank/frmImport.h"

#include "bank/bankui.h"
#include "base/fonts.h"
#include "base/safefile.h"
#include "base/valuerules.h"
#include "formats/files.h"
#include "formats/importer.h"
#include "formats/spreadsheet/spreadsheet.h"
#include "forms/controls.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTableWidget>

using namespace Exchange;

namespace {
const QString kAsInFile = QStringLiteral("按文件中的分类");

QString scoreText(const Score &score)
{
    return score ? singleText(*score) : QStringLiteral("空");
}

// One test as the preview lists it: every question with the options a taker sees and
// their scores, then the bands.
QString contentsOf(const Test &test, const QString &name)
{
    QStringList lines { QStringLiteral("%1：%2 道题，%3 个分数档")
                            .arg(name)
                            .arg(test.questions.size())
                            .arg(test.bands.size()) };
    for (int q = 0; q < test.questions.size(); ++q) {
        const Question &question = test.questions[q];
        lines << QStringLiteral("%1. %2").arg(q + 1).arg(question.text.value_or(QString()));
        for (int i = 0; i < 6; ++i) {
            // The options a taker sees: the runner hides an empty or blank one.
            const QString option = question.options[i].value_or(QString());
            if (option.isEmpty() || option == Question::blank())
                continue;
            lines << QStringLiteral("    %1. %2（%3 分）")
                         .arg(QChar(u'A' + i))
                         .arg(question.options[i].value_or(QString()),
                             scoreText(question.scores[i]));
        }
    }
    lines << QStringLiteral("评分：");
    for (const Band &band : test.bands)
        lines << QStringLiteral("    %1 ～ %2：%3")
                     .arg(scoreText(band.lower), scoreText(band.upper),
                         band.evaluation.value_or(QString()));
    if (test.bands.isEmpty())
        lines << QStringLiteral("    （没有分数档）");
    return lines.join(u'\n');
}
} // namespace

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
    Combo1->setGeometry(twipsRect(2040, 680, 3000, 372));
    // A category that is not in the bank yet can be typed; it is made on importing.
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    Combo1->setAccessibleName(Label2->text());
    Label4 = new QLabel(this);
    Label4->setGeometry(twipsRect(5100, 720, 1200, 300));
    Grid1 = new QTableWidget(0, 6, this);
    Grid1->setGeometry(twipsRect(120, 1200, 8160, 1680));
    Grid1->setHorizontalHeaderLabels(
        { QStringLiteral("导入"), QStringLiteral("测试名称"), QStringLiteral("分类"),
            QStringLiteral("题数"), QStringLiteral("评分"), QStringLiteral("状态") });
    Grid1->horizontalHeader()->setStretchLastSection(true);
    Grid1->verticalHeader()->hide();
    // Rows of one line, so that the list shows several tests above the preview.
    Grid1->verticalHeader()->setDefaultSectionSize(Grid1->fontMetrics().height() + 8);
    Grid1->setColumnWidth(ColImport, 40);
    Grid1->setColumnWidth(ColName, 150);
    Grid1->setColumnWidth(ColCategory, 110);
    Grid1->setColumnWidth(ColQuestions, 40);
    Grid1->setColumnWidth(ColBands, 40);
    Text2 = new QPlainTextEdit(this);
    Text2->setGeometry(twipsRect(120, 2940, 8160, 1260));
    Text2->setReadOnly(true);
    Text2->setAccessibleName(QStringLiteral("导入的内容"));
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

    chainTabOrder({ Command1, Command4, Combo1, Grid1, Text2, Command2, Command3 });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &frmImport::Command3_Click);

    connect(Command1, &QToolButton::clicked, this, &frmImport::Command1_Click);
    connect(Command4, &QToolButton::clicked, this, &frmImport::Command4_Click);
    connect(Command2, &QToolButton::clicked, this, &frmImport::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmImport::Command3_Click);
    connect(Combo1, &QComboBox::currentTextChanged, this, &frmImport::showClashes);
    connect(Grid1, &QTableWidget::itemChanged, this, &frmImport::showClashes);
    connect(Grid1, &QTableWidget::currentCellChanged, this, &frmImport::showContents);
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
    m_rows.clear();
    bool named = false;
    Grid1->setRowCount(0);
    const auto fixed = [](const QString &text) {
        auto *item = new QTableWidgetItem(text);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        return item;
    };
    const auto addRow = [&](int c, int t) {
        const Category &category = package.categories[c];
        const int row = Grid1->rowCount();
        Grid1->insertRow(row);
        m_rows.append({ c, t });
        auto *tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        tick->setCheckState(Qt::Checked);
        Grid1->setItem(row, ColImport, tick);
        const Test *test = t < 0 ? nullptr : &category.tests[t];
        Grid1->setItem(row, ColName, test ? new QTableWidgetItem(test->name) : fixed(QString()));
        Grid1->setItem(row, ColCategory, fixed(category.name));
        Grid1->setItem(
            row, ColQuestions, fixed(QString::number(test ? test->questions.size() : 0)));
        Grid1->setItem(row, ColBands, fixed(QString::number(test ? test->bands.size() : 0)));
        Grid1->setItem(row, ColState, fixed(QString()));
    };
    for (int c = 0; c < package.categories.size(); ++c) {
        const Category &category = package.categories[c];
        named = named || !category.name.isEmpty();
        if (category.tests.isEmpty() && !category.name.isEmpty())
            addRow(c, -1);
        for (int t = 0; t < category.tests.size(); ++t)
            addRow(c, t);
    }
    const QString before = Combo1->currentText();
    Combo1->clear();
    if (named)
        Combo1->addItem(kAsInFile);
    Combo1->addItems(categoryNames(bankPath()));
    // A category chosen or typed for the file before stays, for this one too.
    if (!before.isEmpty() && (before != kAsInFile || named))
        Combo1->setCurrentText(before);
    Label3->setText(notes.join(u'\n'));
    Command4->setEnabled(m_fromSheet && package.testCount() == 1);
    Command2->setEnabled(!m_rows.isEmpty());
    m_filling = false;
    showClashes();
    Grid1->setCurrentCell(m_rows.isEmpty() ? -1 : 0, ColName);
    showContents();
}

QString frmImport::target() const
{
    return Combo1->currentText() == kAsInFile ? QString() : Combo1->currentText();
}

bool frmImport::ticked(int row) const
{
    return Grid1->item(row, ColImport)->checkState() == Qt::Checked;
}

Package frmImport::chosen() const
{
    return chosen(nullptr);
}

Package frmImport::chosen(QList<QList<int>> *rowsOf) const
{
    Package package;
    int last = -1;
    for (int row = 0; row < m_rows.size(); ++row) {
        const auto [c, t] = m_rows[row];
        if (!ticked(row))
            continue;
        if (c != last) {
            package.categories.append(Category { m_read.categories[c].name, {} });
            if (rowsOf)
                rowsOf->emplaceBack();
            last = c;
        }
        if (t >= 0) {
            package.categories.last().tests.append(m_read.categories[c].tests[t]);
            package.categories.last().tests.last().name = Grid1->item(row, ColName)->text();
        }
        if (rowsOf)
            rowsOf->last().append(row);
    }
    return package;
}

void frmImport::showClashes()
{
    if (m_filling)
        return;
    m_filling = true;
    QList<QList<int>> rowsOf; // the rows of each category and test of `package`
    const Package package = chosen(&rowsOf);
    const QStringList made = newCategories(bankPath(), package, target());
    QStringList states;
    for (int row = 0; row < m_rows.size(); ++row) {
        const auto [c, t] = m_rows[row];
        if (!ticked(row))
            states << QStringLiteral("不导入");
        else if (t >= 0)
            states << QStringLiteral("可以导入");
        else if (made.contains(m_read.categories[c].name))
            states << QStringLiteral("新建空的测试类");
        else
            states << QStringLiteral("测试类已经存在");
    }
    // A category that cannot be made holds back all its tests; a test's own clash is
    // told on its row.
    const QList<Clash> clashes = findClashes(bankPath(), package, target());
    for (const Clash &clash : clashes)
        if (clash.test < 0)
            for (const int row : clash.category < 0 ? QList<int>() : rowsOf[clash.category])
                states[row] = clash.reason;
    for (const Clash &clash : clashes)
        if (clash.category < 0) {
            for (int row = 0; row < m_rows.size(); ++row)
                if (ticked(row) && m_rows[row].second >= 0)
                    states[row] = clash.reason;
        } else if (clash.test >= 0) {
            states[rowsOf[clash.category][clash.test]] = clash.reason;
        }
    for (int row = 0; row < m_rows.size(); ++row)
        Grid1->item(row, ColState)->setText(states[row]);
    Label4->setText(made.contains(target()) ? QStringLiteral("新建测试类") : QString());
    m_filling = false;
}

void frmImport::showContents()
{
    const int row = Grid1->currentRow();
    if (row < 0 || row >= m_rows.size()) {
        Text2->clear();
        return;
    }
    const auto [c, t] = m_rows[row];
    const Category &category = m_read.categories[c];
    Text2->setPlainText(t < 0
            ? QStringLiteral("测试类“%1”：文件里这个测试类没有测试。").arg(category.name)
            : contentsOf(category.tests[t], Grid1->item(row, ColName)->text()));
}

// 导入: every ticked test under its name, in one step; a name that is taken stops it
// before anything is written.
void frmImport::Command2_Click()
{
    const Package package = chosen();
    const QStringList made = newCategories(bankPath(), package, target());
    if (package.testCount() == 0 && made.isEmpty()) {
        msgBox(QStringLiteral("请选择要导入的测试！"));
        return;
    }
    if (package.testCount() > 0 && target().isEmpty() && Combo1->currentText() != kAsInFile) {
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
    int empty = 0;
    for (const Category &category : package.categories)
        empty += category.tests.isEmpty() && made.contains(category.name);
    QString done = QStringLiteral("已经导入 %1 个测试。").arg(package.testCount());
    if (empty > 0)
        done += QStringLiteral("另外新建了 %1 个空的测试类。").arg(empty);
    msgBox(done);
    Unload();
}
