// The item analysis of 10,000 results of a 100-question test (reading the history and
// every figure of the analysis window) beside one pass over the same answers read from
// SQLite through its C interface and summed. The history lives in memory-backed
// /dev/shm when there is one. The ratio is printed at the end.
#include "benchtimes.h"
#include "store/results/history.h"
#include "store/results/itemstats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kResults = 10000;
constexpr int kQuestions = 100;
const QString kTest = QStringLiteral("百题测试");
const QString kVersion = QStringLiteral("0123456789abcdef");

// The history, made once: the first result through the store (which lays out the file),
// the rest inserted straight in one transaction, in the store's own layout.
class BenchHistory
{
public:
    static BenchHistory &instance()
    {
        static BenchHistory h;
        return h;
    }
    QString path;

private:
    BenchHistory()
        : m_dir(QFileInfo(QStringLiteral("/dev/shm")).isDir()
                ? QStringLiteral("/dev/shm/qelvi-bench-XXXXXX")
                : QDir::tempPath() + QStringLiteral("/qelvi-bench-XXXXXX"))
    {
        path = QDir(m_dir.path()).filePath(QStringLiteral("results.db"));
        Results::Record first;
        first.takenAt = QDateTime::currentDateTime();
        first.test = kTest;
        first.version = kVersion;
        first.total = QStringLiteral("0");
        Results::History(path).append(&first);

        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "BEGIN; DELETE FROM results;", nullptr, nullptr, nullptr);
        sqlite3_stmt *result = nullptr, *answer = nullptr;
        sqlite3_prepare_v2(db,
            "INSERT INTO results (id, taken_at, test, category, total, evaluation, result_text, "
            "bank, version, taker, band) VALUES (?1, '2026-01-01T00:00:00.000Z', ?2, '', ?3, "
            "'评价', '', '', ?4, '', 1)",
            -1, &result, nullptr);
        sqlite3_prepare_v2(db,
            "INSERT INTO answers VALUES (?1, ?2, '这道题的题目文字', ?3, '这个选项的文字', ?4)", -1,
            &answer, nullptr);
        const QByteArray test = kTest.toUtf8(), version = kVersion.toUtf8();
        unsigned state = 12345;
        for (int r = 1; r <= kResults; ++r) {
            int total = 0;
            for (int q = 1; q <= kQuestions; ++q) {
                state = state * 1103515245u + 12345u;
                const int option = int((state >> 16) % 5);
                total += option;
                const char letter[2] = { char('A' + option), 0 };
                const QByteArray score = QByteArray::number(option);
                sqlite3_bind_int(answer, 1, r);
                sqlite3_bind_int(answer, 2, q);
                sqlite3_bind_text(answer, 3, letter, 1, SQLITE_TRANSIENT);
                sqlite3_bind_text(
                    answer, 4, score.constData(), int(score.size()), SQLITE_TRANSIENT);
                sqlite3_step(answer);
                sqlite3_reset(answer);
            }
            const QByteArray totalText = QByteArray::number(total);
            sqlite3_bind_int(result, 1, r);
            sqlite3_bind_text(result, 2, test.constData(), int(test.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(
                result, 3, totalText.constData(), int(totalText.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(
                result, 4, version.constData(), int(version.size()), SQLITE_TRANSIENT);
            sqlite3_step(result);
            sqlite3_reset(result);
        }
        sqlite3_finalize(result);
        sqlite3_finalize(answer);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    QTemporaryDir m_dir;
};

void Store_Analysis(benchmark::State &state)
{
    const QString path = BenchHistory::instance().path;
    for (auto _ : state) {
        StoreError e;
        const Results::ItemTable table = Results::itemTable(path, kTest, { kVersion }, &e);
        if (e || table.rows.size() != kResults || table.questions != kQuestions)
            state.SkipWithError("the history did not read back");
        benchmark::DoNotOptimize(ItemStats::analyse(table));
    }
}

// The two halves, to see where the time goes.
void Part_Read(benchmark::State &state)
{
    const QString path = BenchHistory::instance().path;
    for (auto _ : state) {
        StoreError e;
        benchmark::DoNotOptimize(Results::itemTable(path, kTest, { kVersion }, &e));
    }
}

void Part_Figures(benchmark::State &state)
{
    StoreError e;
    const Results::ItemTable table
        = Results::itemTable(BenchHistory::instance().path, kTest, { kVersion }, &e);
    for (auto _ : state)
        benchmark::DoNotOptimize(ItemStats::analyse(table));
}

// `tuned`: with the analysis's own connection settings (no mutex, the file mapped).
void sumAnswers(benchmark::State &state, bool tuned)
{
    const QString path = BenchHistory::instance().path;
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db,
            SQLITE_OPEN_READONLY | (tuned ? SQLITE_OPEN_NOMUTEX : 0), nullptr);
        if (tuned)
            sqlite3_exec(db, "PRAGMA mmap_size = 268435456", nullptr, nullptr, nullptr);
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT result_id, score FROM answers", -1, &stmt, nullptr);
        double sum = 0;
        qint64 rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            rows += sqlite3_column_int64(stmt, 0) > 0;
            sum += sqlite3_column_double(stmt, 1);
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        if (rows != qint64(kResults) * kQuestions)
            state.SkipWithError("the answers did not read back");
        benchmark::DoNotOptimize(sum);
    }
}

void Raw_SumAnswers(benchmark::State &state)
{
    sumAnswers(state, false);
}

void Raw_SumAnswersMapped(benchmark::State &state)
{
    sumAnswers(state, true);
}

BENCHMARK(Store_Analysis)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_SumAnswers)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_SumAnswersMapped)->Unit(benchmark::kMillisecond);
BENCHMARK(Part_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(Part_Figures)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double analysis = reporter.times["Store_Analysis"].second;
    const double raw = reporter.times["Raw_SumAnswers"].second;
    const double mapped = reporter.times["Raw_SumAnswersMapped"].second;
    std::printf("\nitem analysis of %d results x %d questions (CPU time): %.1f ms, one raw pass "
                "summing the answers %.1f ms, ratio %.2fx (%.1f ms and %.2fx with the same "
                "connection settings)\n",
        kResults, kQuestions, analysis * 1e3, raw * 1e3, raw > 0 ? analysis / raw : 0.0,
        mapped * 1e3, mapped > 0 ? analysis / mapped : 0.0);
    benchmark::Shutdown();
    return 0;
}
