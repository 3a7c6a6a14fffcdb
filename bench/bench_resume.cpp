// What continuing a test costs the runner: keeping one answer (a transaction of its own
// in results.db on the connection the run holds open) beside the same two rows written by
// SQLite's own interface on a connection held open, with the journal the runner uses
// (write-ahead log, synchronous=NORMAL) and with SQLite's default one (a rollback journal
// synced at every commit, what each answer cost before), and reading the version of a test of 1,000
// to 100,000 questions beside a plain pass over the same fields. Ratios at the end.
#include "base/programfolder.h"
#include "benchtimes.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/results/progress.h"
#include "store/testversion.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString bank()
{
    return folder().filePath(QStringLiteral("test.mdb"));
}

QString testOf(int n)
{
    return QStringLiteral("q%1").arg(n);
}

void makeBank()
{
    BankFile::createFreshBank(bank());
    Catalogue::createCategory(bank(), QStringLiteral("类"));
    for (int n : { 1000, 100000 }) {
        Catalogue::createTest(bank(), testOf(n), QStringLiteral("类"));
        Catalogue::inOneTransaction(bank(), [n](Catalogue::Batch &batch) {
            const QString text = QStringLiteral("遇到这种情况，你通常会怎么做？");
            const QString option = QStringLiteral("选项的文字");
            return batch.appendRows(
                testOf(n), 13, n, [&](qsizetype row, Catalogue::Batch::Field *f) {
                    f[0].text = &text;
                    for (int i = 0; i < 4; ++i) {
                        f[1 + 2 * i].text = &option;
                        f[2 + 2 * i].number = double((row + i) % 5);
                    }
                });
        });
    }
}

void BM_KeepAnswer(benchmark::State &state)
{
    const Results::Progress progress(folder().filePath(QStringLiteral("results.db")));
    int question = 0;
    for (auto _ : state)
        progress.keep(QStringLiteral("测试"), QStringLiteral("v"), question++ % 1000 + 1, 2);
    Results::Progress::release();
}

void exec(sqlite3 *db, const char *sql)
{
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// state.range(0): 1 for the write-ahead log with synchronous=NORMAL, 0 for the default.
void BM_RawKeepAnswer(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    const bool wal = state.range(0) == 1;
    sqlite3_open(folder()
                     .filePath(wal ? QStringLiteral("raw-wal.db") : QStringLiteral("raw.db"))
                     .toUtf8()
                     .constData(),
        &db);
    if (wal) {
        exec(db, "PRAGMA journal_mode = WAL");
        exec(db, "PRAGMA synchronous = NORMAL");
    }
    exec(db, "CREATE TABLE IF NOT EXISTS unfinished (test TEXT PRIMARY KEY, version TEXT)");
    exec(db,
        "CREATE TABLE IF NOT EXISTS unfinished_answers (test TEXT, question INTEGER, "
        "option INTEGER, PRIMARY KEY (test, question))");
    sqlite3_stmt *run = nullptr;
    sqlite3_stmt *answer = nullptr;
    sqlite3_prepare_v2(
        db, "INSERT OR REPLACE INTO unfinished VALUES ('测试', 'v')", -1, &run, nullptr);
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO unfinished_answers VALUES ('测试', ?, 2)", -1,
        &answer, nullptr);
    int question = 0;
    for (auto _ : state) {
        exec(db, "BEGIN IMMEDIATE");
        sqlite3_step(run);
        sqlite3_reset(run);
        sqlite3_bind_int(answer, 1, question++ % 1000 + 1);
        sqlite3_step(answer);
        sqlite3_reset(answer);
        exec(db, "COMMIT");
    }
    sqlite3_finalize(run);
    sqlite3_finalize(answer);
    sqlite3_close(db);
}

void BM_QuestionsVersion(benchmark::State &state)
{
    const QString test = testOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(questionsVersion(bank(), test));
}

// Every field of every question read once, as the version reads them, nothing made of it.
void BM_RawQuestionScan(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(bank().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql
        = QStringLiteral("SELECT * FROM q%1 ORDER BY rowid").arg(state.range(0)).toUtf8();
    for (auto _ : state) {
        sqlite3_stmt *rows = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &rows, nullptr);
        qint64 bytes = 0;
        while (sqlite3_step(rows) == SQLITE_ROW) {
            for (int i = 0; i < 13; ++i) {
                if (sqlite3_column_type(rows, i) == SQLITE_FLOAT)
                    benchmark::DoNotOptimize(sqlite3_column_double(rows, i));
                else
                    benchmark::DoNotOptimize(sqlite3_column_blob(rows, i));
                bytes += sqlite3_column_bytes(rows, i);
            }
        }
        sqlite3_finalize(rows);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_close(db);
}

BENCHMARK(BM_KeepAnswer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawKeepAnswer)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QuestionsVersion)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawQuestionScan)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

class RatioReporter : public TimesReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const std::pair<std::string, std::string> pairs[] = {
            { "BM_KeepAnswer", "BM_RawKeepAnswer/1" },
            { "BM_KeepAnswer", "BM_RawKeepAnswer/0" },
            { "BM_QuestionsVersion/1000", "BM_RawQuestionScan/1000" },
            { "BM_QuestionsVersion/100000", "BM_RawQuestionScan/100000" },
        };
        printf("\nRatio to SQLite's own interface doing the same (wall, CPU):\n");
        for (const auto &[mine, raw] : pairs) {
            const auto a = times.find(mine);
            const auto b = times.find(raw);
            if (a != times.end() && b != times.end())
                printf("  %-30s %6.1fx %6.1fx  against %s\n", mine.c_str(),
                    a->second.first / b->second.first, a->second.second / b->second.second,
                    raw.c_str());
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setProgramFolder(folder().path());
    makeBank();
    initializeBench(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    BankFile::closeConnection();
    return 0;
}
