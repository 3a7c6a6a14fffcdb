// The history window opened on 1,000 and 100,000 records (ten answers each, over 100
// tests, and 100,000 of one test, whose chart then draws them all), beside what SQLite needs to
// read the columns the list shows, in the list's order, through its C interface. Printed at the
// end: the window's time less the raw read (the goal is 0.3 s at most), the ratio, and the memory
// the open window holds (heap in use, against that of the window on 1,000 records: the goal is 10
// MB more at most).
#include "app/mdiMain.h"
#include "base/fonts.h"
#include "base/programfolder.h"
#include "benchtimes.h"
#include "benchwindows.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "results/frmHistory.h"
#include "store/bankfile.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

namespace {

constexpr int kAnswers = 10;

QString scratchFolder()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm")
                                                         : QDir::tempPath();
}

// A results.db of n records over that many tests in the layout the program writes, made
// once per size and kept beside the runs.
QString historyFile(int n, int tests)
{
    const QString kept
        = QDir(scratchFolder())
              .filePath(QStringLiteral("qelvi-bench-history-%1-%2.db").arg(n).arg(tests));
    if (QFileInfo::exists(kept))
        return kept;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(kept + QStringLiteral(".part")).constData(), &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db,
        "CREATE TABLE results (id INTEGER PRIMARY KEY, taken_at TEXT NOT NULL, test TEXT NOT "
        "NULL, category TEXT NOT NULL, total TEXT NOT NULL, evaluation TEXT NOT NULL, "
        "result_text TEXT NOT NULL);"
        "CREATE TABLE answers (result_id INTEGER NOT NULL, question INTEGER NOT NULL, "
        "question_text TEXT NOT NULL, option TEXT NOT NULL, option_text TEXT NOT NULL, score "
        "TEXT NOT NULL, PRIMARY KEY (result_id, question));"
        "BEGIN",
        nullptr, nullptr, nullptr);
    sqlite3_stmt *record = nullptr;
    sqlite3_stmt *answer = nullptr;
    sqlite3_prepare_v2(
        db, "INSERT INTO results VALUES (?, ?, ?, '类', ?, ?, ?)", -1, &record, nullptr);
    sqlite3_prepare_v2(
        db, "INSERT INTO answers VALUES (?, ?, ?, 'B', '有时这样', '2')", -1, &answer, nullptr);
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-qint64(n) * 60);
    for (int i = 1; i <= n; ++i) {
        const QByteArray at = start.addSecs(qint64(i) * 60).toString(Qt::ISODateWithMs).toUtf8();
        const QByteArray test = QStringLiteral("测试%1").arg(i % tests).toUtf8();
        const QByteArray total = QByteArray::number(i % 50);
        const QByteArray evaluation
            = QStringLiteral("第%1档：你的情绪把握得还算不错。").arg(i % 7).toUtf8();
        const QByteArray text
            = QStringLiteral("    你的得分是%1。").arg(i % 50).toUtf8() + evaluation;
        sqlite3_bind_int64(record, 1, i);
        sqlite3_bind_text(record, 2, at.constData(), int(at.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(record, 3, test.constData(), int(test.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(record, 4, total.constData(), int(total.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(
            record, 5, evaluation.constData(), int(evaluation.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(record, 6, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_step(record);
        sqlite3_reset(record);
        for (int q = 1; q <= kAnswers; ++q) {
            const QByteArray question
                = QStringLiteral("第%1题：遇到这种情况，你通常会怎么做？").arg(q).toUtf8();
            sqlite3_bind_int64(answer, 1, i);
            sqlite3_bind_int(answer, 2, q);
            sqlite3_bind_text(
                answer, 3, question.constData(), int(question.size()), SQLITE_TRANSIENT);
            sqlite3_step(answer);
            sqlite3_reset(answer);
        }
    }
    sqlite3_finalize(record);
    sqlite3_finalize(answer);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QFile::rename(kept + QStringLiteral(".part"), kept);
    return kept;
}

// A program folder of its own whose results.db is the history of n records.
class Folder
{
public:
    Folder(int n, int tests)
        : m_dir(QDir(scratchFolder()).filePath(QStringLiteral("qelvi-bench-XXXXXX")))
    {
        QFile::copy(
            historyFile(n, tests), QDir(m_dir.path()).filePath(QStringLiteral("results.db")));
        BankFile::createFreshBank(QDir(m_dir.path()).filePath(QStringLiteral("test.mdb")));
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

size_t heapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

void BM_OpenHistory(benchmark::State &state)
{
    Folder folder(int(state.range(0)), int(state.range(1)));
    setProgramFolder(folder.path());
    size_t held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = heapInUse();
        state.ResumeTiming();
        Forms::show<frmHistory>();
        QCoreApplication::processEvents();
        state.PauseTiming();
        held = heapInUse() - before;
        Forms::unload<frmHistory>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["held_MB"] = double(held) / (1 << 20);
}

// The listed columns of every record, newest first.
void BM_RawListedColumns(benchmark::State &state)
{
    Folder folder(int(state.range(0)), int(state.range(1)));
    const QByteArray path
        = QFile::encodeName(QDir(folder.path()).filePath(QStringLiteral("results.db")));
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db,
            "SELECT id, taken_at, test, total, evaluation FROM results "
            "ORDER BY taken_at DESC, id DESC",
            -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < 5; ++c)
                benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
}

const std::vector<std::vector<int64_t>> sizes = { { 1000, 100 }, { 100000, 100 }, { 100000, 1 } };
BENCHMARK(BM_OpenHistory)
    ->Args(sizes[0])
    ->Args(sizes[1])
    ->Args(sizes[2])
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_RawListedColumns)
    ->Args(sizes[0])
    ->Args(sizes[1])
    ->Args(sizes[2])
    ->Unit(benchmark::kMillisecond);

class HistoryReporter : public TimesReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        TimesReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.counters.count("held_MB"))
                held[run.benchmark_name()].push_back(run.counters.at("held_MB"));
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf(
            "\nMedians, records/tests: the window against the raw read of its columns (wall):\n");
        for (const char *n : { "/1000/100", "/100000/100", "/100000/1" }) {
            const std::string name = std::string("BM_OpenHistory") + n + "/iterations:3";
            const auto window = times.find(name);
            const auto raw = times.find(std::string("BM_RawListedColumns") + n);
            if (window == times.end() || raw == times.end())
                continue;
            std::printf("  %-12s window %8.1f ms, raw %7.1f ms, window - raw %8.1f ms (%.2fx; CPU "
                        "%.2fx), heap held %6.1f MB\n",
                n + 1, window->second.first * 1e3, raw->second.first * 1e3,
                (window->second.first - raw->second.first) * 1e3,
                window->second.first / raw->second.first,
                window->second.second / raw->second.second, median(held[name]));
        }
    }

    std::map<std::string, std::vector<double>> held;
};

} // namespace

int main(int argc, char **argv)
{
    BenchWindows windows(argc, argv);
    for (const auto &size : sizes)
        historyFile(int(size[0]), int(size[1]));

    initializeBench(&argc, argv);
    HistoryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
