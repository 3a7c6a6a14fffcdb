// The band check of the score-band editor on two tests: 100 questions of 6 options
// scored 0 to 10 (1,001 possible totals), and 1,000 questions of 6 options scored 0 to
// 100 (100,001 totals). Each beside the plain SQLite read of the same questions (a
// prepared statement on a connection of its own); the ratios are printed at the end.
//
//   BM_RawRead        the questions and bands, straight from SQLite
//   BM_Read           the same through the store, as the check reads them
//   BM_Check          the check alone, on questions already read
//   BM_ReadAndCheck   what the editor's indicator does after each change
//   BM_CheckTenths    100 and 1,000 questions scored in tenths from 0 to 1 (a decimal
//                     step: whole tenths counted, the runner's rounding followed)
//   BM_CheckThousandths  1,000 questions scored in thousandths from 0 to 10 (ten
//                     million totals: counted on the step, then shown as ranges)
#include "authoring/bandwording.h"
#include "base/programfolder.h"
#include "benchtimes.h"
#include "scoring/bandcheck.h"
#include "store/bankfile.h"
#include "store/catalogue.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

const QString rawConnection = QStringLiteral("bench-raw");

QString testName(int questions)
{
    return QStringLiteral("q%1").arg(questions);
}

// A bank with the tests "q100" (scores 0-10), "q1000" (scores 0-100), "t100" and
// "t1000" (scores in tenths from 0 to 1) and "m1000" (thousandths from 0 to 10), each
// with bands that cover its totals.
class BenchBank
{
public:
    static BenchBank &instance()
    {
        static BenchBank bank;
        return bank;
    }

    QString bank() const { return programFile(QStringLiteral("test.mdb")); }
    QSqlDatabase raw() const { return QSqlDatabase::database(rawConnection); }

private:
    BenchBank()
    {
        setProgramFolder(m_dir.path());
        BankFile::createFreshBank(bank());
        Catalogue::createCategory(bank(), QStringLiteral("类"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), rawConnection);
        db.setDatabaseName(bank());
        db.open();
        make(testName(100), 100, 10, 1);
        make(testName(1000), 1000, 100, 1);
        make(QStringLiteral("t100"), 100, 10, 10);
        make(QStringLiteral("t1000"), 1000, 10, 10);
        make(QStringLiteral("m1000"), 1000, 10000, 1000);
    }

    // Scores are whole multiples of 1/divisor up to top / divisor.
    void make(const QString &test, int questions, int top, int divisor)
    {
        Catalogue::createTest(bank(), test, QStringLiteral("类"));
        QSqlDatabase db = raw();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO %1 VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)")
                      .arg(BankFile::quoteName(test)));
        QRandomGenerator random(questions);
        for (int i = 0; i < questions; ++i) {
            q.addBindValue(QStringLiteral("第%1题：遇到这种情况，你通常会怎么做？").arg(i + 1));
            for (int option = 0; option < 6; ++option) {
                // Option A scores 0 and option F the top, so every total can be reached.
                const int units = option == 0 ? 0 : option == 5 ? top : random.bounded(top + 1);
                q.addBindValue(QStringLiteral("选项%1的文字").arg(option + 1));
                q.addBindValue(double(float(double(units) / divisor)));
            }
            q.exec();
        }
        q.prepare(QStringLiteral("INSERT INTO %1 VALUES (?,?,?)")
                      .arg(BankFile::quoteName(BankNames::scoringTable(test))));
        const double highest = double(questions) * top / divisor;
        for (int band = 0; band < 4; ++band) {
            // Each band starts one step above the one before it ends.
            q.addBindValue(highest * band / 4 + (band ? 1.0 / divisor : 0.0));
            q.addBindValue(highest * (band + 1) / 4);
            q.addBindValue(QStringLiteral("第%1档的评价").arg(band + 1));
            q.exec();
        }
        q.finish();
        db.commit();
    }

    QTemporaryDir m_dir;
};

QString testOf(const benchmark::State &state)
{
    return testName(int(state.range(0)));
}

void BM_RawRead(benchmark::State &state)
{
    const QString test = testOf(state);
    QSqlQuery questions(BenchBank::instance().raw());
    questions.setForwardOnly(true);
    questions.prepare(
        QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(BankFile::quoteName(test)));
    QSqlQuery bands(BenchBank::instance().raw());
    bands.setForwardOnly(true);
    bands.prepare(QStringLiteral("SELECT 分数下限, 分数上限 FROM %1 ORDER BY rowid")
                      .arg(BankFile::quoteName(BankNames::scoringTable(test))));
    for (auto _ : state) {
        questions.exec();
        while (questions.next())
            for (int field = 1; field < 13; ++field)
                benchmark::DoNotOptimize(questions.value(field).toString());
        questions.finish();
        bands.exec();
        while (bands.next()) {
            benchmark::DoNotOptimize(bands.value(0).toString());
            benchmark::DoNotOptimize(bands.value(1).toString());
        }
        bands.finish();
    }
}

void BM_Read(benchmark::State &state)
{
    const QString test = testOf(state);
    QList<BandCheck::Question> questions;
    QList<BandCheck::Band> bands;
    for (auto _ : state)
        BandCheck::read(BenchBank::instance().bank(), test, &questions, &bands);
}

void checkOf(benchmark::State &state, const QString &test)
{
    QList<BandCheck::Question> questions;
    QList<BandCheck::Band> bands;
    BandCheck::read(BenchBank::instance().bank(), test, &questions, &bands);
    BandCheck::Check check;
    for (auto _ : state) {
        check = BandCheck::check(questions, bands);
        benchmark::DoNotOptimize(check);
    }
    state.counters["totals"] = double(check.count());
    state.counters["complete"] = check.complete();
}

void BM_Check(benchmark::State &state)
{
    checkOf(state, testOf(state));
}

void BM_ReadAndCheck(benchmark::State &state)
{
    const QString test = testOf(state);
    QList<BandCheck::Question> questions;
    QList<BandCheck::Band> bands;
    for (auto _ : state) {
        BandCheck::read(BenchBank::instance().bank(), test, &questions, &bands);
        benchmark::DoNotOptimize(BandCheck::summary(BandCheck::check(questions, bands)));
    }
}

void BM_CheckTenths(benchmark::State &state)
{
    checkOf(state, QStringLiteral("t%1").arg(state.range(0)));
}

BENCHMARK(BM_RawRead)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Read)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Check)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndCheck)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckTenths)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_CheckThousandths(benchmark::State &state)
{
    checkOf(state, QStringLiteral("m%1").arg(state.range(0)));
}
BENCHMARK(BM_CheckThousandths)->Arg(1000)->Unit(benchmark::kMillisecond);

// Prints the usual table, then each figure as a multiple of the raw read of the same
// test, by wall time and by CPU time (the steadier one on a busy machine).
class RatioReporter : public TimesReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        printf("\nAgainst the raw SQLite read of the same test (wall, CPU; time by wall):\n");
        for (const char *name :
            { "BM_Read", "BM_Check", "BM_ReadAndCheck", "BM_CheckTenths", "BM_CheckThousandths" }) {
            for (const char *size : { "/100", "/1000" }) {
                const auto it = times.find(std::string(name) + size);
                const auto raw = times.find(std::string("BM_RawRead") + size);
                if (it == times.end() || raw == times.end())
                    continue;
                printf("  %-22s %7.2fx %7.2fx  %9.3f ms\n", it->first.c_str(),
                    it->second.first / raw->second.first, it->second.second / raw->second.second,
                    it->second.first * 1e3);
            }
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchBank::instance();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    BankFile::closeConnection();
    return 0;
}
