#include "results/frmHistory.h"

#include "base/currentbank.h"
#include "base/fonts.h"
#include "base/valuerules.h"
#include "formats/result/resultdocument.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/printdialog.h"
#include "platform/twips.h"
#include "results/frmAnalysis.h"
#include "results/historychart.h"
#include "results/historymodel.h"
#include "store/results/keeping.h"
#include "store/results/outbox.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeView>
#include <algorithm>

namespace {

const QString allTests = QStringLiteral("全部测试");
const QString allTakers = QStringLiteral("全部测试者");
constexpr int takerColumn = 4; // of HistoryModel::columns()

} // namespace

frmHistory::frmHistory()
    : frmHistory(QStringLiteral("Qelvi——测试记录"), Keeping::historyPath(), false)
{
    connect(Keeping::notifier(), &Keeping::Notifier::kept, this, &frmHistory::recordKept);
    connect(Keeping::notifier(), &Keeping::Notifier::handedIn, this, &frmHistory::Refresh);
}

frmHistory::frmHistory(const QString &caption, const QString &path, bool copied)
    : Form(caption, 10800, 8100)
    , m_path(path)
    , m_copied(copied)
{
    buildControls();
}

void frmHistory::Form_Load()
{
    Refresh();
}

void frmHistory::Form_Reload()
{
    Refresh();
}

void frmHistory::Refresh()
{
    const qint64 keep = m_selected.id;
    StoreError error;
    const QStringList tests = Results::History(m_path).tests(&error);
    if (error)
        msgBox(error.message());
    fillTests(tests);
    fillTakers();
    m_chartTest.clear();
    // A file that could not be read is told about once, not again for its list.
    fillList(keep, !error);
}

void frmHistory::recordKept(const Results::Record &record)
{
    if (Combo1->findData(record.test) < 0)
        addTest(record.test);
    if (!record.taker.isEmpty() && Combo2->findData(record.taker) < 0)
        addTaker(record.taker);
    if (record.test == m_chartTest)
        m_chartTest.clear(); // its totals gain one
    const QString test = chosenTest();
    if (!test.isEmpty() && test != record.test)
        return;
    const QString taker = chosenTaker();
    if (!taker.isEmpty() && taker != record.taker)
        return;
    m_model->prepend(record);
    if (!record.taker.isEmpty())
        List1->setColumnHidden(takerColumn, false);
    if (!List1->currentIndex().isValid())
        List1->setCurrentIndex(m_model->index(0, 0));
    else
        List1_Click();
}

// The chooser of takers: all, then each name or code the history holds.
void frmHistory::fillTakers()
{
    const QString chosen = chosenTaker();
    QStringList takers = Results::History(m_path).takers();
    std::sort(takers.begin(), takers.end(),
        [](const QString &a, const QString &b) { return QString::localeAwareCompare(a, b) < 0; });
    const QSignalBlocker blocker(Combo2);
    Combo2->clear();
    Combo2->addItem(allTakers);
    for (const QString &taker : std::as_const(takers))
        Combo2->addItem(taker, taker);
    const int at = chosen.isEmpty() ? -1 : Combo2->findData(chosen);
    Combo2->setCurrentIndex(at < 0 ? 0 : at);
}

// A taker new to the history, in its place among the others.
void frmHistory::addTaker(const QString &taker)
{
    int at = 1;
    while (at < Combo2->count()
        && QString::localeAwareCompare(Combo2->itemData(at).toString(), taker) < 0)
        ++at;
    const QSignalBlocker blocker(Combo2);
    Combo2->insertItem(at, taker, taker);
}

QString frmHistory::chosenTaker() const
{
    return Combo2->currentData().toString();
}

// The chooser of tests: all of them, then each test of the history by name.
void frmHistory::fillTests(QStringList tests)
{
    const QString chosen = chosenTest();
    std::sort(tests.begin(), tests.end(),
        [](const QString &a, const QString &b) { return QString::localeAwareCompare(a, b) < 0; });

    const QSignalBlocker blocker(Combo1);
    Combo1->clear();
    Combo1->addItem(allTests);
    for (const QString &test : std::as_const(tests))
        Combo1->addItem(test, test);
    const int at = chosen.isEmpty() ? -1 : Combo1->findData(chosen);
    Combo1->setCurrentIndex(at < 0 ? 0 : at);
}

// A test new to the history, in its place among the others.
void frmHistory::addTest(const QString &test)
{
    int at = 1;
    while (at < Combo1->count()
        && QString::localeAwareCompare(Combo1->itemData(at).toString(), test) < 0)
        ++at;
    const QSignalBlocker blocker(Combo1);
    Combo1->insertItem(at, test, test);
}

QString frmHistory::chosenTest() const
{
    return Combo1->currentData().toString();
}

// The records of the chosen test, newest first; the record `select` stays selected,
// otherwise the newest one is.
void frmHistory::fillList(qint64 select, bool tell)
{
    const QSignalBlocker blocker(List1->selectionModel());
    if (const StoreError e = m_model->load(chosenTest(), chosenTaker()); e && tell)
        msgBox(e.message());
    // The taker's column only where somebody was asked, so the list reads as before.
    List1->setColumnHidden(takerColumn,
        chosenTaker().isEmpty() && Results::History(m_path).takers(chosenTest()).isEmpty());
    List1->setColumnHidden(HistoryModel::handInColumn, !Results::Outbox::any(m_path));
    const qsizetype at = select ? m_model->ids().indexOf(select) : -1;
    List1->setCurrentIndex(m_model->index(at < 0 ? 0 : int(at), 0));
    m_selected = {};
    List1_Click();
}

int frmHistory::shownCount() const
{
    return m_model->rowCount();
}

const Results::Record *frmHistory::selectedRecord() const
{
    return m_selected.id ? &m_selected : nullptr;
}

void frmHistory::Combo1_Click()
{
    fillList(0);
}

void frmHistory::List1_Click()
{
    const qint64 id = m_model->idAt(List1->currentIndex().row());
    if (id != m_selected.id) {
        StoreError error;
        m_selected = id ? Results::History(m_path).record(id, &error) : Results::Record();
        if (error)
            msgBox(error.message());
    }
    showDetail();
    const Results::Record *r = selectedRecord();
    drawChart(r ? r->test : chosenTest());
    enableButtons();
    Command7->setEnabled((r || !chosenTest().isEmpty()) && !m_copied);
}

void frmHistory::showDetail()
{
    const Results::Record *r = selectedRecord();
    QString html = r ? ResultDocument::html(*r) : QString();
    // A result for a server bank: whether it went in, and what the server said if not.
    if (r) {
        const auto entries = Results::Outbox::entries(m_path, { r->id });
        if (const auto e = entries.constFind(r->id); e != entries.cend()) {
            html += QStringLiteral("<p>交卷情况：%1</p>")
                        .arg(Results::Outbox::stateText(e->state).toHtmlEscaped());
            if (!e->message.isEmpty())
                html += QStringLiteral("<p>%1</p>").arg(e->message.toHtmlEscaped());
        }
    }
    Text1->setHtml(html);
}

// The totals of the test's records over time, when it was taken more than once.
void frmHistory::drawChart(const QString &test)
{
    const Results::Record *chosen = selectedRecord();
    const QString version
        = Check1->isChecked() || !chosen || chosen->test != test ? QString() : chosen->version;
    if (test == m_chartTest && version == m_chartVersion && !test.isEmpty())
        return;
    m_chartTest = test;
    m_chartVersion = version;
    // Totals of one version compare; others only when the author pools them.
    const QList<Results::Total> totals = test.isEmpty()
        ? QList<Results::Total>()
        : Results::History(m_path).totals(test, m_chartVersion);
    if (totals.size() < 2) {
        HistoryChart::draw(m_chart, {}, {});
        Chart1->hide();
        Label2->setText(test.isEmpty() || totals.isEmpty()
                ? QStringLiteral("选中一条测试记录，这里就画出这个测试历次的得分。")
                : QStringLiteral("“%1”只做过一次，再做一次就能看到得分的变化。").arg(test));
        Label2->show();
        return;
    }
    HistoryChart::draw(m_chart, totals, HistoryChart::levelsOf(currentBank(), test));
    m_chart->setTitle(QStringLiteral("“%1”历次的得分").arg(test));
    Label2->hide();
    Chart1->show();
}

void frmHistory::enableButtons()
{
    const bool one = selectedRecord() != nullptr;
    Command1->setEnabled(one);
    Command2->setEnabled(one);
    // The class's results are kept on the server: the copy here deletes none.
    Command4->setEnabled(one && !m_copied);
    Command3->setEnabled(shownCount() > 0);
    Command5->setEnabled(shownCount() > 0 && !m_copied);
}

QLineSeries *frmHistory::totalsSeries() const
{
    if (Chart1->isHidden())
        return nullptr;
    for (QAbstractSeries *series : m_chart->series())
        if (series->name() == QStringLiteral("得分"))
            return qobject_cast<QLineSeries *>(series);
    return nullptr;
}

// 打印
void frmHistory::Command1_Click()
{
    const Results::Record *selected = selectedRecord();
    if (!selected)
        return;
    // A copy: a test that ends while the dialog is up refreshes the list.
    const Results::Record r = *selected;
    QString error;
    QTextDocument doc;
    ResultDocument::fill(&doc, r);
    if (!printDocument(&doc, r.test, this, &error) && !error.isEmpty())
        msgBox(error);
}

// 存为PDF
void frmHistory::Command2_Click()
{
    const Results::Record *selected = selectedRecord();
    if (!selected)
        return;
    const Results::Record r = *selected;
    CommonDialog dialog;
    dialog.Filter = QStringLiteral("PDF 文件|*.pdf");
    dialog.DefaultExt = QStringLiteral("pdf");
    dialog.DialogTitle = QStringLiteral("把这条测试记录存为PDF");
    dialog.FileName = r.test + QStringLiteral("的测试结果.pdf");
    if (!dialog.ShowSave(this))
        return;
    QString error;
    if (!ResultDocument::savePdf(r, dialog.FileName, &error))
        msgBox(error);
}

// 导出CSV: the records the list shows.
void frmHistory::Command3_Click()
{
    if (shownCount() == 0)
        return;
    const QString test = chosenTest();
    CommonDialog dialog;
    dialog.Filter = QStringLiteral("CSV 文件|*.csv");
    dialog.DefaultExt = QStringLiteral("csv");
    dialog.DialogTitle = QStringLiteral("导出测试记录");
    dialog.FileName = QStringLiteral("测试记录.csv");
    if (!dialog.ShowSave(this))
        return;
    StoreError read;
    QList<Results::Record> shown = Results::History(m_path).recordsOf(test, &read);
    if (read) {
        msgBox(read.message());
        return;
    }
    if (const QString taker = chosenTaker(); !taker.isEmpty())
        shown.removeIf([&](const Results::Record &r) { return r.taker != taker; });
    QString error;
    if (!ResultDocument::writeFile(dialog.FileName, ResultDocument::csv(shown), &error))
        msgBox(error);
}

// 删除: the selected record.
void frmHistory::Command4_Click()
{
    const Results::Record *r = selectedRecord();
    if (!r)
        return;
    const qint64 id = r->id;
    const QString question = QStringLiteral("确实要删除这条测试记录吗？\n%1  %2  %3分")
                                 .arg(ResultDocument::dateText(r->takenAt), r->test, r->total);
    if (msgBox(question, MsgStyle::Question) == MsgAnswer::Yes)
        removeRecords({ id });
}

// 全部删除: every record the list shows.
void frmHistory::Command5_Click()
{
    if (shownCount() == 0)
        return;
    const QString test = chosenTest();
    QString question = test.isEmpty()
        ? QStringLiteral("确实要删除全部%1条测试记录吗？删除后不能恢复。").arg(shownCount())
        : QStringLiteral("确实要删除“%1”的全部%2条测试记录吗？删除后不能恢复。")
              .arg(test)
              .arg(shownCount());
    // Filtered by a taker, the question says whose records go.
    if (!chosenTaker().isEmpty())
        question = QStringLiteral("确实要删除测试者“%1”的%2条测试记录吗？删除后不能恢复。")
                       .arg(chosenTaker())
                       .arg(shownCount());
    const QList<qint64> ids = m_model->ids();
    if (msgBox(question, MsgStyle::Question) == MsgAnswer::Yes)
        removeRecords(ids);
}

void frmHistory::removeRecords(const QList<qint64> &ids)
{
    if (const StoreError e = Results::History(m_path).remove(ids))
        msgBox(e.message());
    Refresh();
}

// 退出
void frmHistory::Command6_Click()
{
    Unload();
}

// 题目分析 of the selected record's test, or of the chosen one.
void frmHistory::Command7_Click()
{
    const Results::Record *r = selectedRecord();
    const QString test = r ? r->test : chosenTest();
    if (test.isEmpty())
        return;
    frmAnalysis *analysis = Forms::show<frmAnalysis>();
    analysis->showTest(test);
}

void frmHistory::buildControls()
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label1 = new QLabel(QStringLiteral("测试项目："), this);
    Label1->setGeometry(twipsRect(120, 150, 1100, 252));
    Combo1 = new QComboBox(this);
    Combo1->setGeometry(twipsRect(1260, 90, 4200, 360));

    m_model = new HistoryModel(m_path, this);
    List1 = new QTreeView(this);
    List1->setGeometry(twipsRect(120, 540, 5340, 3420));
    List1->setRootIsDecorated(false);
    List1->setUniformRowHeights(true);
    List1->setModel(m_model);
    List1->setColumnWidth(0, twipsToPixels(2040));
    List1->setColumnWidth(1, twipsToPixels(1560));
    List1->setColumnWidth(2, twipsToPixels(660));
    List1->setColumnWidth(3, twipsToPixels(1000));

    Label3 = new QLabel(QStringLiteral("测试者："), this);
    Label3->setGeometry(twipsRect(5580, 150, 780, 252));
    Combo2 = new QComboBox(this);
    Combo2->setGeometry(twipsRect(6360, 90, 1740, 360));
    Label3->setBuddy(Combo2);
    Check1 = new QCheckBox(QStringLiteral("合并各版本"), this);
    Check1->setGeometry(twipsRect(8220, 90, 1300, 360));
    Check1->setToolTip(QStringLiteral("不勾选时，图中只画与选中记录同一版本的得分"));
    Command7 = new QPushButton(QStringLiteral("题目分析"), this);
    Command7->setGeometry(twipsRect(9560, 60, 1120, 420));

    Text1 = new QTextEdit(this);
    Text1->setGeometry(twipsRect(5580, 540, 5100, 3420));
    Text1->setReadOnly(true);
    Text1->setFont(designFont(QStringLiteral("宋体"), 10.8));

    m_chart = new QChart;
    m_chart->legend()->hide();
    Chart1 = new QChartView(m_chart, this);
    Chart1->setGeometry(twipsRect(120, 4080, 7620, 3900));
    Chart1->setRenderHint(QPainter::Antialiasing);
    Label2 = new QLabel(this);
    Label2->setGeometry(twipsRect(120, 4080, 7620, 3900));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label2->setFrameShape(QFrame::StyledPanel);

    const auto button = [this](const char *caption, const char *icon, double left, double top) {
        auto *b = new PictureButton(QString::fromUtf8(caption),
            QStringLiteral(":/images/%1.svg").arg(QLatin1String(icon)), 24, this);
        b->setGeometry(twipsRect(left, top, 1320, 1200));
        return b;
    };
    Command1 = button("打印", "btn-print", 7920, 4080);
    Command2 = button("存为PDF", "btn-pdf", 9360, 4080);
    Command3 = button("导出CSV", "btn-csv", 7920, 5430);
    Command4 = button("删除", "btn-delete", 9360, 5430);
    Command5 = button("全部删除", "btn-delete", 7920, 6780);
    Command6 = button("退出", "btn-exit", 9360, 6780);
    for (PictureButton *b : { Command1, Command2, Command3, Command4, Command5, Command6 })
        b->fitCaption();

    chainTabOrder({ Combo1, Combo2, Check1, Command7, List1, Command1, Command2, Command3, Command4,
        Command5, Command6 });
    setFocusProxy(List1);

    // Esc leaves the window as 退出 does; Delete in the list deletes the selected record.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, Command6, &QToolButton::click);
    auto *del = new QShortcut(QKeySequence(Qt::Key_Delete), List1);
    del->setContext(Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, Command4, &QToolButton::click);

    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmHistory::Combo1_Click);
    connect(Combo2, &QComboBox::currentIndexChanged, this, &frmHistory::Combo1_Click);
    connect(Check1, &QCheckBox::toggled, this, &frmHistory::List1_Click);
    connect(Command7, &QPushButton::clicked, this, &frmHistory::Command7_Click);
    connect(List1->selectionModel(), &QItemSelectionModel::currentChanged, this,
        &frmHistory::List1_Click);
    connect(Command1, &QToolButton::clicked, this, &frmHistory::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmHistory::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmHistory::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmHistory::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmHistory::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &frmHistory::Command6_Click);
}
