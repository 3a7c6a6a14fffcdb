// The record set beside the plain SQLite statements each of its operations performs,
// on a connection of their own through the SQLite C interface, in one run: moves,
// the position, committing one changed field, add-new and store, FindFirst, and
// opening a table, at 1,000 and 100,000 rows (opening also at 1,000,000). The bank
// lives in memory-backed /dev/shm when there is one, so the figures show the work of
// the code rather than of the disk. Ratios of each pair are printed at the end.
#include "benchtimes.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

QString quoted(const QString &name)
{
    return BankFile::quoteName(name);
}

// One bank holding, per size N, a question table "q<N>" and a three-field table
// "s<N>", filled on first use; plus a raw connection to the same file.
class BenchBank
{
public:
    static BenchBank &instance()
    {
        static BenchBank bank;
        return bank;
    }

    QString path() const { return m_path; }
    sqlite3 *raw() const { return m_raw; }

    QString questions(int n) { return ensure(QStringLiteral("q%1").arg(n), n, true); }
    QString bands(int n) { return ensure(QStringLiteral("s%1").arg(n), n, false); }

private:
    BenchBank()
        : m_dir(QFileInfo(QStringLiteral("/dev/shm")).isDir()
                ? QStringLiteral("/dev/shm/qelvi-bench-XXXXXX")
                : QDir::tempPath() + QStringLiteral("/qelvi-bench-XXXXXX"))
    {
        m_path = QDir(m_dir.path()).filePath(QStringLiteral("test.mdb"));
        BankFile::createFreshBank(m_path);
        Catalogue::createCategory(m_path, QStringLiteral("类"));
        sqlite3_open_v2(m_path.toUtf8().constData(), &m_raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(m_raw, 5000);
    }
    ~BenchBank() { sqlite3_close(m_raw); }

    QString ensure(const QString &table, int n, bool questionTable)
    {
        if (m_made.contains(table))
            return table;
        const TableDef def = questionTable
            ? BankNames::questionTable(table)
            : TableDef { table,
                  { { QStringLiteral("分数下限"), FieldType::Single },
                      { QStringLiteral("分数上限"), FieldType::Single },
                      { QStringLiteral("评价"), FieldType::Memo } } };
        Catalogue::createTable(m_path, def);
        const int fields = int(def.fields.size());
        std::string sql = "INSERT INTO " + quoted(table).toStdString() + " VALUES (?";
        for (int i = 1; i < fields; ++i)
            sql += ",?";
        sql += ")";
        sqlite3_exec(m_raw, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(m_raw, sql.c_str(), -1, &insert, nullptr);
        for (int r = 0; r < n; ++r) {
            for (int i = 0; i < fields; ++i) {
                if (def.fields[i].type == FieldType::Single) {
                    sqlite3_bind_double(insert, i + 1, (r + i) % 7);
                } else {
                    const std::string text = (i == 0 ? "题目 " : "选项 ") + std::to_string(r);
                    sqlite3_bind_text(insert, i + 1, text.c_str(), -1, SQLITE_TRANSIENT);
                }
            }
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(m_raw, "COMMIT", nullptr, nullptr, nullptr);
        m_made.insert(table);
        return table;
    }

    QTemporaryDir m_dir;
    QString m_path;
    sqlite3 *m_raw = nullptr;
    QSet<QString> m_made;
};

// A statement prepared once on the raw connection.
class Raw
{
public:
    explicit Raw(const QString &sql)
    {
        sqlite3_prepare_v2(
            BenchBank::instance().raw(), sql.toUtf8().constData(), -1, &m_stmt, nullptr);
    }
    ~Raw() { sqlite3_finalize(m_stmt); }
    sqlite3_stmt *operator*() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

QStringList fieldsOf(const QString &table)
{
    QStringList names;
    for (const FieldDef &f : Catalogue::fields(BenchBank::instance().path(), table))
        names << f.name;
    return names;
}

// Reads every column of the current row, as a bound window does.
void readAll(Recordset &rs, const QStringList &fields)
{
    for (const QString &f : fields)
        benchmark::DoNotOptimize(rs.value(f));
}

void rawReadRow(sqlite3_stmt *select, qint64 id, int columns)
{
    sqlite3_bind_int64(select, 1, id);
    if (sqlite3_step(select) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (sqlite3_column_type(select, i) == SQLITE_FLOAT)
                benchmark::DoNotOptimize(sqlite3_column_double(select, i));
            else
                benchmark::DoNotOptimize(sqlite3_column_text(select, i));
        }
    }
    sqlite3_reset(select);
}

QString selectRowSql(const QString &table, const QStringList &fields)
{
    QStringList names;
    for (const QString &f : fields)
        names << quoted(f);
    return QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(names.join(u','), quoted(table));
}

// MoveNext and MovePrevious back and forth in the middle of the table, reading the row.
void Store_MoveNextPrevious(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    const QStringList fields = fieldsOf(table);
    Recordset rs;
    rs.open(BenchBank::instance().path(), table);
    for (int i = 0; i < state.range(0) / 2; ++i)
        rs.MoveNext();
    bool forward = true;
    for (auto _ : state) {
        forward ? rs.MoveNext() : rs.MovePrevious();
        forward = !forward;
        readAll(rs, fields);
    }
}

void Raw_MoveNextPrevious(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    const QStringList fields = fieldsOf(table);
    Raw select(selectRowSql(table, fields));
    qint64 id = state.range(0) / 2;
    bool forward = true;
    for (auto _ : state) {
        id += forward ? 1 : -1;
        forward = !forward;
        rawReadRow(*select, id, int(fields.size()));
    }
}

// The position: the record set keeps it; plain SQL counts the rows before the current one.
void Store_AbsolutePosition(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    Recordset rs;
    rs.open(BenchBank::instance().path(), table);
    for (int i = 0; i < state.range(0) / 2; ++i)
        rs.MoveNext();
    for (auto _ : state)
        benchmark::DoNotOptimize(rs.AbsolutePosition());
}

void Raw_AbsolutePosition(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    Raw count(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid < ?").arg(quoted(table)));
    for (auto _ : state) {
        sqlite3_bind_int64(*count, 1, state.range(0) / 2);
        sqlite3_step(*count);
        benchmark::DoNotOptimize(sqlite3_column_int64(*count, 0));
        sqlite3_reset(*count);
    }
}

// One changed field written to the current row.
void Store_CommitOneField(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    Recordset rs;
    rs.open(BenchBank::instance().path(), table);
    rs.MoveLast();
    int k = 0;
    for (auto _ : state) {
        rs.setValue(QStringLiteral("选项A分数"), QString::number(k++ % 10));
        rs.Update();
    }
}

// The same as a bound window commits: the record shown again, and compared with the
// stored one before writing (another copy may have changed it).
void Store_CommitOneFieldChecked(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    Recordset rs;
    rs.open(BenchBank::instance().path(), table);
    rs.setResolver([](const Recordset::Conflict &) { return Recordset::Resolution::KeepMine; });
    rs.MoveLast();
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rs.value(QStringLiteral("选项A分数")));
        rs.setValue(QStringLiteral("选项A分数"), QString::number(k++ % 10));
        rs.Update();
    }
}

void Raw_CommitOneField(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    Raw update(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                   .arg(quoted(table), quoted(QStringLiteral("选项A分数"))));
    int k = 0;
    for (auto _ : state) {
        const QString text = QString::number(k++ % 10);
        sqlite3_bind_double(*update, 1, double(float(text.toDouble())));
        sqlite3_bind_int64(*update, 2, state.range(0));
        sqlite3_step(*update);
        sqlite3_reset(*update);
    }
}

// Fields 2, 4, ... 12 of a question table are the option scores.
bool isScore(int field)
{
    return field > 0 && field % 2 == 0;
}

// Takes away the rows a run added, so every run starts at its size.
void trimTo(const QString &table, qint64 rows)
{
    Raw trim(QStringLiteral("DELETE FROM %1 WHERE rowid > %2").arg(quoted(table)).arg(rows));
    sqlite3_step(*trim);
}

// A new question of thirteen fields, begun and stored.
void Store_AddNewAndStore(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    const QStringList fields = fieldsOf(table);
    Recordset rs;
    rs.open(BenchBank::instance().path(), table);
    for (auto _ : state) {
        rs.AddNew();
        for (int i = 0; i < fields.size(); ++i)
            rs.setValue(fields[i], isScore(i) ? QStringLiteral("2.5") : QStringLiteral("选项文字"));
        if (const StoreError e = rs.Update()) {
            state.SkipWithError(qPrintable(e.message()));
            break;
        }
    }
    trimTo(table, state.range(0));
}

void Raw_AddNewAndStore(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    const QStringList fields = fieldsOf(table);
    QString marks = QStringLiteral("?");
    for (int i = 1; i < fields.size(); ++i)
        marks += QStringLiteral(",?");
    Raw insert(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(quoted(table), marks));
    for (auto _ : state) {
        for (int i = 0; i < fields.size(); ++i) {
            if (isScore(i))
                sqlite3_bind_double(*insert, i + 1, 2.5);
            else
                sqlite3_bind_text(*insert, i + 1, "选项文字", -1, SQLITE_STATIC);
        }
        sqlite3_step(*insert);
        benchmark::DoNotOptimize(sqlite3_last_insert_rowid(BenchBank::instance().raw()));
        sqlite3_reset(*insert);
    }
    trimTo(table, state.range(0));
}

// The row whose question text is that of the middle row.
void Store_FindFirst(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    const QString wanted = QStringLiteral("题目 %1").arg(state.range(0) / 2);
    Recordset rs;
    rs.open(BenchBank::instance().path(), table);
    for (auto _ : state)
        rs.FindFirst(QStringLiteral("题目"), wanted);
}

void Raw_FindFirst(benchmark::State &state)
{
    const QString table = BenchBank::instance().questions(int(state.range(0)));
    const QByteArray wanted = QStringLiteral("题目 %1").arg(state.range(0) / 2).toUtf8();
    Raw find(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                 .arg(quoted(table), quoted(QStringLiteral("题目"))));
    for (auto _ : state) {
        sqlite3_bind_text(*find, 1, wanted.constData(), int(wanted.size()), SQLITE_STATIC);
        sqlite3_step(*find);
        benchmark::DoNotOptimize(sqlite3_column_int64(*find, 0));
        sqlite3_reset(*find);
    }
}

// Opening a table: its fields, its row ids, the first row.
void Store_Open(benchmark::State &state)
{
    const QString table = BenchBank::instance().bands(int(state.range(0)));
    const QStringList fields = fieldsOf(table);
    for (auto _ : state) {
        Recordset rs;
        rs.open(BenchBank::instance().path(), table);
        readAll(rs, fields);
    }
}

void Raw_Open(benchmark::State &state)
{
    const QString table = BenchBank::instance().bands(int(state.range(0)));
    const QStringList fields = fieldsOf(table);
    Raw columns(QStringLiteral("SELECT name, type FROM pragma_table_info(%1)")
                    .arg(quoted(table).replace(u'"', u'\'')));
    Raw ids(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(quoted(table)));
    Raw first(selectRowSql(table, fields));
    for (auto _ : state) {
        while (sqlite3_step(*columns) == SQLITE_ROW)
            benchmark::DoNotOptimize(sqlite3_column_text(*columns, 0));
        sqlite3_reset(*columns);
        std::vector<qint64> rows;
        while (sqlite3_step(*ids) == SQLITE_ROW)
            rows.push_back(sqlite3_column_int64(*ids, 0));
        sqlite3_reset(*ids);
        if (!rows.empty())
            rawReadRow(*first, rows.front(), int(fields.size()));
    }
}

BENCHMARK(Store_MoveNextPrevious)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_MoveNextPrevious)->Arg(1000)->Arg(100000);
BENCHMARK(Store_AbsolutePosition)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_AbsolutePosition)->Arg(1000)->Arg(100000);
BENCHMARK(Store_CommitOneField)->Arg(1000)->Arg(100000);
BENCHMARK(Store_CommitOneFieldChecked)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_CommitOneField)->Arg(1000)->Arg(100000);
BENCHMARK(Store_AddNewAndStore)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_AddNewAndStore)->Arg(1000)->Arg(100000);
BENCHMARK(Store_FindFirst)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_FindFirst)->Arg(1000)->Arg(100000);
BENCHMARK(Store_Open)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_Open)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration, to print Store/Raw ratios at the end.
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    initializeBench(&argc, argv);
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-36s %12s %12s %8s %8s\n", "operation/rows (median CPU)", "store", "raw SQLite",
        "ratio", "wall");
    for (const auto &[name, wallAndCpu] : reporter.times) {
        const double seconds = wallAndCpu.second;
        if (name.rfind("Store_", 0) != 0)
            continue;
        const std::string rest = name.substr(6);
        const auto raw = reporter.times.find("Raw_" + rest);
        if (raw == reporter.times.end())
            continue;
        std::printf("%-36s %10.3fus %10.3fus %7.2fx %7.2fx\n", rest.c_str(), seconds * 1e6,
            raw->second.second * 1e6, seconds / raw->second.second,
            wallAndCpu.first / raw->second.first);
    }
    benchmark::Shutdown();
    BankFile::closeConnection();
    return 0;
}
