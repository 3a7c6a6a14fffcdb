// 题目分析 through the windows: the sample test taken 40 times, one question answered
// against the rest, written through the history store as the runner writes it; the
// window opens from the menu and from the history, marks that question, warns below 30
// results, saves its page as PDF and exports the statistics.
#include "forms/controls.h"
#include "forms/forms.h"
#include "platform/filedialog.h"
#include "platform/printdialog.h"
#include "results/frmAnalysis.h"
#include "results/frmHistory.h"
#include "store/results/history.h"
#include "store/results/testversion.h"
#include "support/sampleresults.h"
#include "support/userinput.h"
#include "support/windowtest.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>

using userinput::press;

namespace {

const QString sample = QStringLiteral("日常情商自测");
constexpr int reversed = 2; // the question answered against the rest (from 0)

} // namespace

class tst_frmAnalysis : public WindowTest
{
    Q_OBJECT

public:
    tst_frmAnalysis()
        : WindowTest(TestFolder::SampleBank, true)
    { }

private slots:
    void fortyResultsOfTheSample()
    {
        const QList<QStringList> questions = folder->rows(sample);
        QVERIFY(questions.size() > reversed);
        const QString version = TestVersion::of(folder->bank(), sample);
        QCOMPARE(version.size(), 16);
        const Results::History history(folder->file(QStringLiteral("results.db")));
        for (int t = 0; t < 40; ++t) {
            Results::Record r = sampleResult(sample, questions, t, version, reversed);
            QVERIFY(!history.append(&r));
        }
        // Older results of unknown version stay out of the newest version's figures.
        Results::Record old = sampleResult(sample, questions, 0, QString(), reversed);
        old.takenAt = old.takenAt.addDays(-30);
        QVERIFY(!history.append(&old));

        (*main)->mnuAnalysis->trigger();
        frmAnalysis *analysis = Forms::find<frmAnalysis>();
        QVERIFY(analysis);
        QCOMPARE(analysis->Combo1->currentText(), sample);
        QCOMPARE(analysis->Combo2->count(), 3); // this version, version unknown, pooled
        QVERIFY(analysis->Combo2->currentText().startsWith(version.left(8)));
        const ItemStats::Analysis &a = analysis->report().analysis;
        QCOMPARE(a.results, 40);
        QVERIFY(a.alpha > 0.5);
        for (int q = 0; q < a.items.size(); ++q)
            QCOMPARE(a.items.at(q).likelyReversed, q == reversed);
        const QString page = analysis->Text1->toPlainText();
        QVERIFY(page.contains(QStringLiteral("与其余题方向相反，分数可能给反了")));
        QVERIFY(!page.contains(QStringLiteral("还不稳定")));
        QCOMPARE(page.count(QStringLiteral("分数可能给反了")), 1); // that question alone

        analysis->Combo2->setCurrentIndex(1);
        QCOMPARE(analysis->report().analysis.results, 1);
        QVERIFY(analysis->Text1->toPlainText().contains(
            QStringLiteral("只有 1 条结果，下面的数字还不稳定")));
        analysis->Combo2->setCurrentIndex(2);
        QCOMPARE(analysis->report().analysis.results, 41);

        // The page as PDF, and the statistics as files.
        analysis->Combo2->setCurrentIndex(0);
        ScriptedFileDialog dialogs;
        const QString pdf = folder->file(QStringLiteral("分析.pdf"));
        dialogs.choose(pdf);
        press(analysis, u"存为PDF");
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
            { QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-") });
        QVERIFY(text.waitForFinished(60000));
        const QString pdfText = QString::fromUtf8(text.readAllStandardOutput())
                                    .remove(QRegularExpression(QStringLiteral("\\s")));
        QVERIFY2(
            pdfText.contains(QStringLiteral("题目分析：") + sample), qPrintable(pdfText.left(200)));
        QVERIFY(pdfText.contains(QStringLiteral("分数可能给反了")));

        ScriptedPrintDialog printer;
        const QString printed = folder->file(QStringLiteral("打印.pdf"));
        printer.printTo(printed);
        press(analysis, u"打印");
        QCOMPARE(printer.shown(), 1);
        QVERIFY(QFileInfo(printed).size() > 1000);

        dialogs.choose(folder->file(QStringLiteral("统计.csv")));
        press(analysis, u"导出统计数据");
        QCOMPARE(messages->shown().size(), 1);
        QVERIFY(messages->last().contains(QStringLiteral("已导出 2 个版本")));
        const QStringList files = QDir(folder->path()).entryList({ QStringLiteral("统计-*") });
        QCOMPARE(files.size(), 6);
        QVERIFY(files.contains(QStringLiteral("统计-版本不明.csv")));
        messages->clear();

        // From the history: the selected record's test.
        press(analysis, u"退出");
        settle();
        QVERIFY(!Forms::find<frmAnalysis>());
        (*main)->mnuHistory_Click();
        frmHistory *list = Forms::find<frmHistory>();
        QVERIFY(list);
        press(list, u"题目分析");
        analysis = Forms::find<frmAnalysis>();
        QVERIFY(analysis);
        QCOMPARE(analysis->report().test, sample);
        QVERIFY2(messages->texts().isEmpty(), qPrintable(messages->texts().join(u'\n')));
    }
};

QTEST_MAIN(tst_frmAnalysis)
#include "tst_frmAnalysis.moc"
