// The test runner on large tests: an option click on a test of 1,000 to 100,000
// questions, and the final click whose band search reads 1,000 to 10,000 bands, each
// beside the plain SQLite reads the same step needs (prepared statements on a
// connection of their own). Ratios of each pair are printed at the end.
#include "app/mdiMain.h"
#include "base/fonts.h"
#include "base/programfolder.h"
#include "benchtimes.h"
#include "benchwindows.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/bankfile.h"
#include "store/catalogue.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <map>

namespace {

const QString bankConnection = QStringLiteral("bench-raw");

// One program folder with a bank holding, per size, a test "q<N>" of N questions and
// a test "b<N>" of one question and N bands; filled once, on first use.
class BenchBank
{
public:
    static BenchBank &instance()
    {
        static BenchBank bank;
        return bank;
    }

    QString questionTest(int n) { return ensure(QStringLiteral("q%1").arg(n), n, 1); }
    QString bandTest(int n) { return ensure(QStringLiteral("b%1").arg(n), 1, n); }
    QSqlDatabase raw() const { return QSqlDatabase::database(bankConnection); }

private:
    BenchBank()
    {
        setProgramFolder(m_dir.path());
        BankFile::createFreshBank(programFile(QStringLiteral("test.mdb")));
        Catalogue::createCategory(programFile(QStringLiteral("test.mdb")), QStringLiteral("类"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), bankConnection);
        db.setDatabaseName(programFile(QStringLiteral("test.mdb")));
        db.open();
    }

    QString ensure(const QString &test, int questions, int bands)
    {
        if (m_made.contains(test))
            return test;
        const QString bank = programFile(QStringLiteral("test.mdb"));
        Catalogue::createTest(bank, test, QStringLiteral("类"));
        QSqlDatabase db = raw();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO %1 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)")
                      .arg(BankFile::quoteName(test)));
        for (int i = 0; i < questions; ++i) {
            q.addBindValue(QStringLiteral("第%1题：遇到这种情况，你通常会怎么做？").arg(i + 1));
            for (int option = 0; option < 4; ++option) {
                q.addBindValue(QStringLiteral("选项%1的文字").arg(option + 1));
                q.addBindValue(double(option + 1));
            }
            for (int option = 4; option < 6; ++option) {
                q.addBindValue(QStringLiteral(" "));
                q.addBindValue(QVariant(QMetaType::fromType<double>()));
            }
            q.exec();
        }
        q.prepare(QStringLiteral("INSERT INTO %1 VALUES (?,?,?)")
                      .arg(BankFile::quoteName(BankNames::scoringTable(test))));
        for (int i = 0; i < bands; ++i) {
            q.addBindValue(double(i));
            q.addBindValue(double(i) + 0.5);
            q.addBindValue(QStringLiteral("第%1档的评价：你的情绪把握得还算不错。").arg(i + 1));
            q.exec();
        }
        q.finish();
        db.commit();
        m_made.insert(test);
        return test;
    }

    QTemporaryDir m_dir;
    QSet<QString> m_made;
};

frmTest *openRunner(const QString &test)
{
    Forms::unload<frmTest>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    HandOff::writeTestName(test);
    frmTest *runner = Forms::load<frmTest>();
    Forms::place(runner);
    runner->Show();
    return runner;
}

// Puts the runner back on question 1 when it would otherwise reach the last one.
void rewindNearEnd(benchmark::State &state, frmTest *runner, int questions)
{
    if (runner->Label8->text().toInt() < questions - 1)
        return;
    state.PauseTiming();
    runner->Data1->recordset().MoveFirst();
    runner->Label8->setText(QStringLiteral("1"));
    runner->Text7->setText(QStringLiteral("0"));
    state.ResumeTiming();
}

void BM_OptionClick(benchmark::State &state)
{
    const int n = int(state.range(0));
    frmTest *runner = openRunner(BenchBank::instance().questionTest(n));
    for (auto _ : state) {
        rewindNearEnd(state, runner, n);
        runner->Label3_Click();
        // The layout and repaint the click asks for belong to its cost; left queued
        // they would also pile up and slow every later event.
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}

// The same click through a real mouse press and release on the option label.
void BM_OptionMouseClick(benchmark::State &state)
{
    const int n = int(state.range(0));
    frmTest *runner = openRunner(BenchBank::instance().questionTest(n));
    for (auto _ : state) {
        rewindNearEnd(state, runner, n);
        QTest::mouseClick(runner->Label3, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
}

// What a click reads: the next question's row, thirteen fields.
void BM_RawQuestionRead(benchmark::State &state)
{
    const int n = int(state.range(0));
    const QString test = BenchBank::instance().questionTest(n);
    QSqlQuery q(BenchBank::instance().raw());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(BankFile::quoteName(test)));
    qint64 row = 1;
    for (auto _ : state) {
        q.bindValue(0, row);
        q.exec();
        q.next();
        for (int field = 0; field < 13; ++field)
            benchmark::DoNotOptimize(q.value(field).toString());
        q.finish();
        row = row % n + 1;
    }
}

// The last answer: the search over every band, the result text and the result window
// drawn.
void BM_FinalClick(benchmark::State &state)
{
    const int n = int(state.range(0));
    frmTest *runner = openRunner(BenchBank::instance().bandTest(n));
    for (auto _ : state) {
        state.PauseTiming();
        for (HotLabel *label : runner->optionLabels())
            label->setEnabled(true);
        runner->Data2->recordset().MoveFirst();
        runner->Text7->setText(QString::number(n / 2)); // a band in the middle holds it
        state.ResumeTiming();
        runner->Label2_Click();
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// What the band search reads: the three fields of every band, compared in single
// precision, the last band that holds the total kept.
void BM_RawBandRead(benchmark::State &state)
{
    const int n = int(state.range(0));
    const QString test = BenchBank::instance().bandTest(n);
    QSqlQuery q(BenchBank::instance().raw());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM %1 ORDER BY rowid")
                  .arg(BankFile::quoteName(BankNames::scoringTable(test))));
    const float total = float(n / 2);
    for (auto _ : state) {
        q.exec();
        QString evaluation;
        while (q.next()) {
            const float lower = float(q.value(0).toDouble());
            const float upper = float(q.value(1).toDouble());
            const QString text = q.value(2).toString();
            if ((lower < total && total < upper) || total == lower || total == upper)
                evaluation = text;
        }
        q.finish();
        benchmark::DoNotOptimize(evaluation);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RunnerLoad(benchmark::State &state)
{
    const QString test = BenchBank::instance().questionTest(int(state.range(0)));
    for (auto _ : state) {
        openRunner(test);
        QCoreApplication::processEvents();
    }
}

BENCHMARK(BM_OptionClick)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OptionMouseClick)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawQuestionRead)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FinalClick)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawBandRead)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunnerLoad)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Prints the usual table, then each runner figure as a multiple of its raw read, by
// wall time and by CPU time (the steadier one on a busy machine).
class RatioReporter : public TimesReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const std::pair<std::string, std::string> pairs[] = {
            { "BM_OptionClick", "BM_RawQuestionRead" },
            { "BM_OptionMouseClick", "BM_RawQuestionRead" },
            { "BM_FinalClick", "BM_RawBandRead" },
        };
        printf("\nRatio to the raw SQLite reads of the same step (wall, CPU):\n");
        for (const auto &[runner, raw] : pairs) {
            for (const auto &[name, figures] : times) {
                if (name.rfind(runner + "/", 0) != 0)
                    continue;
                const auto other = times.find(raw + name.substr(name.find('/')));
                if (other == times.end())
                    continue;
                printf("  %-30s %6.1fx %6.1fx  against %s\n", name.c_str(),
                    figures.first / other->second.first, figures.second / other->second.second,
                    other->first.c_str());
            }
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    BenchWindows windows(argc, argv);

    // Every test made before the first measurement, so no run follows a bulk write.
    for (int n : { 1000, 10000, 100000 })
        BenchBank::instance().questionTest(n);
    for (int n : { 1000, 10000 })
        BenchBank::instance().bandTest(n);

    initializeBench(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
