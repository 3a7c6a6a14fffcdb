#include "results/frmAnalysis.h"

#include "base/fonts.h"
#include "formats/stats/statsexport.h"
#include "forms/controls.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/results/keeping.h"
#include "store/results/testversion.h"

#include <QComboBox>
#include <QLabel>
#include <QShortcut>
#include <QTextEdit>
#include <algorithm>

namespace {

const QString pooled = QStringLiteral("全部版本合并");

} // namespace

frmAnalysis::frmAnalysis()
    : Form(QStringLiteral("Qelvi——题目分析"), 10800, 8100)
{
    buildControls();
}

void frmAnalysis::Form_Load()
{
    fillTests();
    Combo1_Click();
}

void frmAnalysis::Form_Reload()
{
    const QString test = Combo1->currentText();
    fillTests();
    showTest(test);
}

void frmAnalysis::showTest(const QString &test)
{
    const int at = Combo1->findText(test);
    if (at >= 0 && at != Combo1->currentIndex())
        Combo1->setCurrentIndex(at); // runs Combo1_Click
    else
        Combo1_Click();
}

// The tests that have results, by name.
void frmAnalysis::fillTests()
{
    StoreError error;
    QStringList tests = Results::testsOf(Keeping::historyPath(), &error);
    if (error)
        msgBox(error.message());
    std::sort(tests.begin(), tests.end(),
        [](const QString &a, const QString &b) { return QString::localeAwareCompare(a, b) < 0; });
    const QSignalBlocker blocker(Combo1);
    Combo1->clear();
    Combo1->addItems(tests);
}

// The versions of the chosen test, newest first (the one to look at), then all pooled.
void frmAnalysis::Combo1_Click()
{
    StoreError error;
    const QList<Results::VersionCount> versions
        = Results::versionsOf(Keeping::historyPath(), Combo1->currentText(), &error);
    if (error)
        msgBox(error.message());
    const QSignalBlocker blocker(Combo2);
    Combo2->clear();
    for (auto v = versions.crbegin(); v != versions.crend(); ++v)
        Combo2->addItem(QStringLiteral("%1（%2 条，%3 起）")
                            .arg(TestVersion::label(v->version))
                            .arg(v->results)
                            .arg(v->first.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"))),
            QStringList { v->version });
    if (versions.size() > 1)
        Combo2->addItem(pooled, QStringList());
    Combo2->setCurrentIndex(0);
    analyse();
}

void frmAnalysis::Combo2_Click()
{
    analyse();
}

void frmAnalysis::analyse()
{
    m_report = {};
    m_report.test = Combo1->currentText();
    m_report.version = Combo2->currentText().section(QStringLiteral("（"), 0, 0);
    if (Combo2->count() > 0) {
        StoreError error;
        m_report.table = Results::itemTable(
            Keeping::historyPath(), m_report.test, Combo2->currentData().toStringList(), &error);
        if (error)
            msgBox(error.message());
        m_report.analysis = ItemStats::analyse(m_report.table);
    }
    AnalysisReport::fill(Text1->document(), m_report);
    Text1->moveCursor(QTextCursor::Start);
    const bool any = m_report.analysis.results > 0;
    for (PictureButton *b : { Command1, Command2, Command3 })
        b->setEnabled(any);
}

// 打印
void frmAnalysis::Command1_Click()
{
    const AnalysisReport::Report r = m_report;
    QString error;
    if (!AnalysisReport::print(r, this, &error) && !error.isEmpty())
        msgBox(error);
}

// 存为PDF
void frmAnalysis::Command2_Click()
{
    const AnalysisReport::Report r = m_report;
    CommonDialog dialog;
    dialog.Filter = QStringLiteral("PDF 文件|*.pdf");
    dialog.DefaultExt = QStringLiteral("pdf");
    dialog.DialogTitle = QStringLiteral("把题目分析存为PDF");
    dialog.FileName = r.test + QStringLiteral("的题目分析.pdf");
    if (!dialog.ShowSave(this))
        return;
    QString error;
    if (!AnalysisReport::savePdf(r, dialog.FileName, &error))
        msgBox(error);
}

// 导出统计数据: every version of the test, a table with its R and SPSS files each.
void frmAnalysis::Command3_Click()
{
    const QString test = m_report.test;
    CommonDialog dialog;
    dialog.Filter = QStringLiteral("CSV 文件|*.csv");
    dialog.DefaultExt = QStringLiteral("csv");
    dialog.DialogTitle = QStringLiteral("导出统计数据");
    dialog.FileName = test + QStringLiteral("的统计数据.csv");
    if (!dialog.ShowSave(this))
        return;
    QStringList written;
    QString error;
    if (!StatsExport::write(Keeping::historyPath(), test, dialog.FileName, &written, &error)) {
        msgBox(error);
        return;
    }
    msgBox(QStringLiteral("已导出 %1 个版本的统计数据（每个版本一个 CSV 文件，旁边是读它的 R 脚本"
                          "和 SPSS 语法文件）：\n%2")
               .arg(written.size())
               .arg(written.join(QLatin1Char('\n'))));
}

// 退出
void frmAnalysis::Command4_Click()
{
    Unload();
}

void frmAnalysis::buildControls()
{
    setFont(designFont(QStringLiteral("宋体"), 9));
    Label1 = new QLabel(QStringLiteral("测试项目："), this);
    Label1->setGeometry(twipsRect(120, 150, 1100, 252));
    Combo1 = new QComboBox(this);
    Combo1->setGeometry(twipsRect(1260, 90, 4200, 360));
    Label2 = new QLabel(QStringLiteral("版本："), this);
    Label2->setGeometry(twipsRect(5640, 150, 700, 252));
    Combo2 = new QComboBox(this);
    Combo2->setGeometry(twipsRect(6360, 90, 4320, 360));
    Label1->setBuddy(Combo1);
    Label2->setBuddy(Combo2);

    Text1 = new QTextEdit(this);
    Text1->setGeometry(twipsRect(120, 540, 9060, 7440));
    Text1->setReadOnly(true);

    const auto button = [this](const char *caption, const char *icon, double top) {
        auto *b = new PictureButton(QString::fromUtf8(caption),
            QStringLiteral(":/images/%1.svg").arg(QLatin1String(icon)), 24, this);
        b->setGeometry(twipsRect(9360, top, 1320, 1200));
        return b;
    };
    Command1 = button("打印", "btn-print", 540);
    Command2 = button("存为PDF", "btn-pdf", 1890);
    Command3 = button("导出统计数据", "btn-csv", 3240);
    Command4 = button("退出", "btn-exit", 6780);
    for (PictureButton *b : { Command1, Command2, Command3, Command4 })
        b->fitCaption();

    chainTabOrder({ Combo1, Combo2, Text1, Command1, Command2, Command3, Command4 });
    setFocusProxy(Combo1);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, Command4, &QToolButton::click);

    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmAnalysis::Combo1_Click);
    connect(Combo2, &QComboBox::currentIndexChanged, this, &frmAnalysis::Combo2_Click);
    connect(Command1, &QToolButton::clicked, this, &frmAnalysis::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmAnalysis::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmAnalysis::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmAnalysis::Command4_Click);
}
