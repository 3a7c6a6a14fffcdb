// The record set on a server bank beside the statements each of its operations sends,
// run through libpq alone on a connection of their own, in one run: moves, the
// position, committing one changed field, add-new and store, FindFirst, and opening a
// table, at 1,000 and 100,000 rows. Then the time from a commit in one copy to the news
// of it in another: a second connection in a thread of its own listens on qelvi_bank,
// and re-reads the row it is told of. Ratios of each pair are printed at the end, and
// the medians and 99th percentiles of the news. The writes run once more through libpq
// on a connection that listens on qelvi_bank, as the session's connection does: the
// server then sends a writer the news of its own change before it answers.
//
// The program starts a PostgreSQL cluster of its own (benchcluster.h).
#include "benchcluster.h"
#include "benchtimes.h"
#include "store/catalogue.h"
#include "store/recordset.h"
#include "store/server/pgconnection.h"
#include "store/server/serversession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <libpq-fe.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

using benchcluster::facts;

PgAddress at(const QString &role)
{
    PgAddress a;
    a.host = facts().value(QStringLiteral("socket"));
    a.port = facts().value(QStringLiteral("port")).toInt();
    a.dbname = facts().value(QStringLiteral("dbname"));
    a.user = facts().value(role);
    return a;
}

// A libpq connection of its own, and PQexecParams with text parameters, as the raw
// baseline of every operation.
class RawPg
{
public:
    explicit RawPg(const QString &role)
    {
        const PgAddress a = at(role);
        const QByteArray host = a.host.toUtf8();
        const QByteArray port = QByteArray::number(a.port);
        const QByteArray db = a.dbname.toUtf8();
        const QByteArray user = a.user.toUtf8();
        const char *keys[] = { "host", "port", "dbname", "user", "client_encoding", nullptr };
        const char *values[] = { host.constData(), port.constData(), db.constData(),
            user.constData(), "UTF8", nullptr };
        m_conn = PQconnectdbParams(keys, values, 0);
        if (PQstatus(m_conn) != CONNECTION_OK)
            qFatal("raw connection: %s", PQerrorMessage(m_conn));
    }
    ~RawPg() { PQfinish(m_conn); }
    RawPg(const RawPg &) = delete;
    RawPg &operator=(const RawPg &) = delete;

    // Runs sql with its parameters; the result, checked, or a fatal error.
    PGresult *exec(const std::string &sql, std::initializer_list<const char *> params = {})
    {
        const std::vector<const char *> values(params);
        PGresult *r = PQexecParams(
            m_conn, sql.c_str(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            qFatal("raw statement failed: %s\n%s", PQresultErrorMessage(r), sql.c_str());
        // A listening connection takes the news that came with the answer, as the
        // program's connection does.
        while (PGnotify *n = PQnotifies(m_conn))
            PQfreemem(n);
        return r;
    }
    void run(const std::string &sql, std::initializer_list<const char *> params = {})
    {
        PQclear(exec(sql, params));
    }

private:
    PGconn *m_conn = nullptr;
};

// A number as the text a parameter travels as.
struct Digits
{
    explicit Digits(double value) { *std::to_chars(text, text + sizeof text - 1, value).ptr = 0; }
    explicit Digits(qint64 value) { *std::to_chars(text, text + sizeof text - 1, value).ptr = 0; }
    char text[32] {};
    const char *operator*() const { return text; }
};

qint64 integerAt(PGresult *r, int row, int column)
{
    qint64 v = 0;
    const char *text = PQgetvalue(r, row, column);
    std::from_chars(text, text + PQgetlength(r, row, column), v);
    return v;
}

std::string quoted(const QString &name)
{
    return '"' + name.toStdString() + '"';
}

std::string columnsOf(const TableDef &def)
{
    std::string columns;
    for (const FieldDef &f : def.fields)
        columns += (columns.empty() ? "" : ", ") + quoted(f.name);
    return columns;
}

// The server bank, opened through the store as the author, with one category and, per
// size N, a test "q<N>" of N questions whose scoring table "q<N>评分" holds N bands;
// filled on first use by the administrator in one statement each, the news of each
// row left out (session_replication_role: the triggers stay quiet).
class BenchBank
{
public:
    static BenchBank &instance()
    {
        static BenchBank bank;
        return bank;
    }

    QString location() const { return m_location; }
    RawPg &raw() { return m_raw; }
    // As raw(), listening on qelvi_bank as the session's connection does: the news of
    // its own writes comes back to it too.
    RawPg &listening() { return m_listening; }
    RawPg &admin() { return m_admin; }

    struct Test
    {
        QString questions; // the table names
        QString bands;
        std::string id; // the test's id as text
        std::vector<qint64> questionIds;
    };
    const Test &test(int n)
    {
        const auto found = m_tests.find(n);
        return found != m_tests.end() ? found->second : make(n);
    }

    // Takes away the questions a run added, so every run starts at its size.
    void trim(const Test &t)
    {
        const Digits last(t.questionIds.back());
        m_admin.run("BEGIN");
        m_admin.run("SET LOCAL session_replication_role = replica");
        m_admin.run(
            "DELETE FROM qelvi.questions WHERE test_id = $1 AND id > $2", { t.id.c_str(), *last });
        m_admin.run("COMMIT");
    }

private:
    BenchBank()
        : m_raw(QStringLiteral("author"))
        , m_listening(QStringLiteral("author"))
        , m_admin(QStringLiteral("admin"))
    {
        m_listening.run("LISTEN qelvi_bank");
        ServerSession::install();
        if (const PgError e = ServerSession::open(at(QStringLiteral("author"))))
            qFatal("server bank: %s (%s)", qPrintable(e.message), qPrintable(e.detail));
        m_location = ServerSession::current();
        if (const StoreError e = Catalogue::createCategory(m_location, QStringLiteral("类")))
            qFatal("category: %s", qPrintable(e.message()));
    }

    const Test &make(int n)
    {
        Test t;
        t.questions = QStringLiteral("q%1").arg(n);
        t.bands = BankNames::scoringTable(t.questions);
        if (const StoreError e
            = Catalogue::createTest(m_location, t.questions, QStringLiteral("类")))
            qFatal("test: %s", qPrintable(e.message()));
        const QByteArray name = t.questions.toUtf8();
        PGresult *r
            = m_admin.exec("SELECT test_id FROM qelvi.names WHERE name = $1 AND kind = 'test'",
                { name.constData() });
        t.id = PQgetvalue(r, 0, 0);
        PQclear(r);
        const Digits rows(qint64 { n });
        // Row r (from 0): the question "题目 r", options "选项 r", field i's score (r + i) % 7.
        std::string questions = "INSERT INTO qelvi.questions (test_id, "
            + columnsOf(BankNames::questionTable(t.questions)) + ") SELECT $1, '题目 ' || r";
        for (int option = 0; option < 6; ++option)
            questions += ", '选项 ' || r, (r + " + std::to_string(2 * option + 2) + ") % 7";
        questions += " FROM generate_series(0, $2::integer - 1) r";
        const std::string bands = "INSERT INTO qelvi.bands (test_id, "
            + columnsOf(BankNames::scoringTableDef(t.questions))
            + ") SELECT $1, r % 7, (r + 1) % 7, '选项 ' || r FROM generate_series(0, $2::integer - "
              "1) r";
        m_admin.run("BEGIN");
        m_admin.run("SET LOCAL session_replication_role = replica");
        m_admin.run(questions, { t.id.c_str(), *rows });
        m_admin.run(bands, { t.id.c_str(), *rows });
        m_admin.run("COMMIT");
        m_admin.run("ANALYZE qelvi.questions");
        m_admin.run("ANALYZE qelvi.bands");
        r = m_admin.exec(
            "SELECT id FROM qelvi.questions WHERE test_id = $1 ORDER BY id", { t.id.c_str() });
        for (int i = 0; i < PQntuples(r); ++i)
            t.questionIds.push_back(integerAt(r, i, 0));
        PQclear(r);
        return m_tests.emplace(n, std::move(t)).first->second;
    }

    RawPg m_raw;
    RawPg m_listening;
    RawPg m_admin;
    QString m_location;
    std::map<int, Test> m_tests;
};

// Takes the news that earlier runs left for the session's connection (its server
// writes it there while the connection is idle), so that no run pays for another's.
void settle()
{
    PgConnection *db = ServerSession::connection(BenchBank::instance().location());
    int told = 0;
    const QMetaObject::Connection counting = QObject::connect(
        db, &PgConnection::notified, [&told](const QString &, const QString &) { ++told; });
    for (int quiet = 0; quiet < 3;) {
        const int before = told;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
        quiet = told == before ? quiet + 1 : 0;
    }
    QObject::disconnect(counting);
}

// The test of the run's size, with no news waiting.
const BenchBank::Test &testOf(const benchmark::State &state)
{
    const BenchBank::Test &t = BenchBank::instance().test(int(state.range(0)));
    settle();
    return t;
}

QStringList fieldsOf(const QString &table)
{
    QStringList names;
    for (const FieldDef &f : Catalogue::fields(BenchBank::instance().location(), table))
        names << f.name;
    return names;
}

// Reads every column of the current row, as a bound window does.
void readAll(Recordset &rs, const QStringList &fields)
{
    for (const QString &f : fields)
        benchmark::DoNotOptimize(rs.value(f));
}

void readRow(PGresult *r)
{
    if (PQntuples(r) > 0) {
        for (int i = 0; i < PQnfields(r); ++i)
            benchmark::DoNotOptimize(PQgetvalue(r, 0, i));
    }
    PQclear(r);
}

// The statements ServerTable sends, for the raw side.
std::string selectRowSql(const char *table, const TableDef &def, const char *lock = "")
{
    return "SELECT " + columnsOf(def) + " FROM " + table + " WHERE id = $1 AND test_id = $2" + lock;
}

const std::string kScoreUpdate
    = "UPDATE qelvi.questions SET \"选项A分数\" = $1 WHERE id = $2 AND test_id = $3";

// MoveNext and MovePrevious back and forth in the middle of the table, reading the row.
void Store_MoveNextPrevious(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    const QStringList fields = fieldsOf(t.questions);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
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
    const BenchBank::Test &t = testOf(state);
    RawPg &raw = BenchBank::instance().raw();
    const std::string select
        = selectRowSql("qelvi.questions", BankNames::questionTable(t.questions));
    size_t at = t.questionIds.size() / 2;
    bool forward = true;
    for (auto _ : state) {
        at += forward ? 1 : -1;
        forward = !forward;
        const Digits id(t.questionIds[at]);
        readRow(raw.exec(select, { *id, t.id.c_str() }));
    }
}

// The position: the record set keeps it; plain SQL counts the rows before the current one.
void Store_AbsolutePosition(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
    for (int i = 0; i < state.range(0) / 2; ++i)
        rs.MoveNext();
    for (auto _ : state)
        benchmark::DoNotOptimize(rs.AbsolutePosition());
}

void Raw_AbsolutePosition(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    RawPg &raw = BenchBank::instance().raw();
    const Digits id(t.questionIds[t.questionIds.size() / 2]);
    for (auto _ : state) {
        PGresult *r
            = raw.exec("SELECT count(*) FROM qelvi.questions WHERE test_id = $1 AND id < $2",
                { t.id.c_str(), *id });
        benchmark::DoNotOptimize(integerAt(r, 0, 0));
        PQclear(r);
    }
}

// A score that no earlier run stored, so that every commit is a real change (the
// server tells of those only).
double nextScore()
{
    static int k = 0;
    return 100 + (k++ % 100000);
}

// One changed field written to the current row.
void Store_CommitOneField(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
    rs.MoveLast();
    for (auto _ : state) {
        rs.setValue(QStringLiteral("选项A分数"), QString::number(nextScore()));
        if (const StoreError e = rs.Update()) {
            state.SkipWithError(qPrintable(e.message()));
            break;
        }
    }
}

void rawCommitOneField(benchmark::State &state, RawPg &raw)
{
    const BenchBank::Test &t = testOf(state);
    const Digits id(t.questionIds.back());
    for (auto _ : state) {
        const Digits score(nextScore());
        raw.run(kScoreUpdate, { *score, *id, t.id.c_str() });
    }
}

void Raw_CommitOneField(benchmark::State &state)
{
    rawCommitOneField(state, BenchBank::instance().raw());
}

void Listening_CommitOneField(benchmark::State &state)
{
    rawCommitOneField(state, BenchBank::instance().listening());
}

// As a bound window commits: the record shown again, then, in one transaction, read
// with its lock and compared with the one shown before it is written.
void Store_CommitOneFieldChecked(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
    rs.setResolver([](const Recordset::Conflict &) { return Recordset::Resolution::KeepMine; });
    rs.MoveLast();
    for (auto _ : state) {
        benchmark::DoNotOptimize(rs.value(QStringLiteral("选项A分数")));
        rs.setValue(QStringLiteral("选项A分数"), QString::number(nextScore()));
        if (const StoreError e = rs.Update()) {
            state.SkipWithError(qPrintable(e.message()));
            break;
        }
    }
}

// The row read, then BEGIN, the row read with its lock, the UPDATE, COMMIT.
void rawCheckedCommit(RawPg &raw, const std::string &select, const std::string &locked,
    const char *id, const char *test, double score)
{
    readRow(raw.exec(select, { id, test }));
    raw.run("BEGIN");
    readRow(raw.exec(locked, { id, test }));
    const Digits value(score);
    raw.run(kScoreUpdate, { *value, id, test });
    raw.run("COMMIT");
}

void rawCommitOneFieldChecked(benchmark::State &state, RawPg &raw)
{
    const BenchBank::Test &t = testOf(state);
    const TableDef def = BankNames::questionTable(t.questions);
    const std::string select = selectRowSql("qelvi.questions", def);
    const std::string locked = selectRowSql("qelvi.questions", def, " FOR UPDATE NOWAIT");
    const Digits id(t.questionIds.back());
    for (auto _ : state)
        rawCheckedCommit(raw, select, locked, *id, t.id.c_str(), nextScore());
}

void Raw_CommitOneFieldChecked(benchmark::State &state)
{
    rawCommitOneFieldChecked(state, BenchBank::instance().raw());
}

void Listening_CommitOneFieldChecked(benchmark::State &state)
{
    rawCommitOneFieldChecked(state, BenchBank::instance().listening());
}

// Fields 2, 4, ... 12 of a question table are the option scores.
bool isScore(int field)
{
    return field > 0 && field % 2 == 0;
}

// A new question of thirteen fields, begun and stored.
void Store_AddNewAndStore(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    const QStringList fields = fieldsOf(t.questions);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
    for (auto _ : state) {
        rs.AddNew();
        for (int i = 0; i < fields.size(); ++i)
            rs.setValue(fields[i], isScore(i) ? QStringLiteral("2.5") : QStringLiteral("选项文字"));
        if (const StoreError e = rs.Update()) {
            state.SkipWithError(qPrintable(e.message()));
            break;
        }
    }
    BenchBank::instance().trim(t);
}

void rawAddNewAndStore(benchmark::State &state, RawPg &raw)
{
    const BenchBank::Test &t = testOf(state);
    std::string insert = "INSERT INTO qelvi.questions (test_id, "
        + columnsOf(BankNames::questionTable(t.questions)) + ") VALUES ($1";
    for (int i = 0; i < 13; ++i)
        insert += ", $" + std::to_string(i + 2);
    insert += ") RETURNING id";
    const char *text = "选项文字";
    for (auto _ : state) {
        const Digits score(2.5);
        PGresult *r = raw.exec(insert,
            { t.id.c_str(), text, text, *score, text, *score, text, *score, text, *score, text,
                *score, text, *score });
        benchmark::DoNotOptimize(integerAt(r, 0, 0));
        PQclear(r);
    }
    BenchBank::instance().trim(t);
}

void Raw_AddNewAndStore(benchmark::State &state)
{
    rawAddNewAndStore(state, BenchBank::instance().raw());
}

void Listening_AddNewAndStore(benchmark::State &state)
{
    rawAddNewAndStore(state, BenchBank::instance().listening());
}

// The row whose question text is that of the middle row.
void Store_FindFirst(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    const QString wanted = QStringLiteral("题目 %1").arg(state.range(0) / 2);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
    for (auto _ : state) {
        if (const StoreError e = rs.FindFirst(QStringLiteral("题目"), wanted)) {
            state.SkipWithError(qPrintable(e.message()));
            break;
        }
    }
}

void Raw_FindFirst(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    RawPg &raw = BenchBank::instance().raw();
    const QByteArray wanted = QStringLiteral("题目 %1").arg(state.range(0) / 2).toUtf8();
    for (auto _ : state) {
        PGresult *r = raw.exec(
            "SELECT id FROM qelvi.questions WHERE test_id = $1 AND \"题目\" = $2 ORDER BY id",
            { t.id.c_str(), wanted.constData() });
        benchmark::DoNotOptimize(integerAt(r, 0, 0));
        PQclear(r);
    }
}

// Opening a table: its fields, its row ids, the first row.
void Store_Open(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    const QStringList fields = fieldsOf(t.bands);
    for (auto _ : state) {
        Recordset rs;
        rs.open(BenchBank::instance().location(), t.bands);
        readAll(rs, fields);
    }
}

void Raw_Open(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    RawPg &raw = BenchBank::instance().raw();
    const QByteArray name = t.bands.toUtf8();
    const std::string first = selectRowSql("qelvi.bands", BankNames::scoringTableDef(t.questions));
    for (auto _ : state) {
        PGresult *shape = raw.exec("SELECT kind, coalesce(category_id, test_id, 0) "
                                   "FROM qelvi.names WHERE name = $1",
            { name.constData() });
        const std::string test = PQgetvalue(shape, 0, 1);
        PQclear(shape);
        PGresult *ids = raw.exec(
            "SELECT id FROM qelvi.bands WHERE test_id = $1 ORDER BY id", { test.c_str() });
        std::vector<qint64> rows;
        rows.reserve(PQntuples(ids));
        for (int i = 0; i < PQntuples(ids); ++i)
            rows.push_back(integerAt(ids, i, 0));
        PQclear(ids);
        if (!rows.empty()) {
            const Digits id(rows.front());
            readRow(raw.exec(first, { *id, test.c_str() }));
        }
    }
}

// Another copy of the program: a connection of its own in a thread of its own, with
// its own event loop, listening on qelvi_bank. Each notification is taken with the
// time it came, and the row it names is read again on that connection.
class OtherCopy
{
public:
    struct News
    {
        QString payload;
        Clock::time_point told;
        Clock::time_point reread;
    };

    OtherCopy()
    {
        m_anchor.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_anchor, [this] { listen(); }, Qt::BlockingQueuedConnection);
    }
    ~OtherCopy()
    {
        QMetaObject::invokeMethod(
            &m_anchor, [this] { delete m_db; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    // The news with this payload, waiting for it up to five seconds; false without it.
    bool await(const QString &payload, News *news)
    {
        std::unique_lock lock(m_mutex);
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        for (;;) {
            while (!m_news.empty()) {
                *news = m_news.front();
                m_news.pop_front();
                if (news->payload == payload)
                    return true;
            }
            if (m_told.wait_until(lock, deadline) == std::cv_status::timeout && m_news.empty())
                return false;
        }
    }

private:
    void listen()
    {
        m_db = new PgConnection(&m_anchor);
        if (const PgError e = m_db->open(at(QStringLiteral("other"))))
            qFatal("other copy: %s", qPrintable(e.message));
        m_select = QString::fromStdString(
            selectRowSql("qelvi.questions", BankNames::questionTable(QString())));
        QObject::connect(m_db, &PgConnection::notified, &m_anchor,
            [this](const QString &, const QString &payload) { told(payload); });
        if (const PgError e = m_db->listen(QStringLiteral("qelvi_bank")))
            qFatal("other copy: %s", qPrintable(e.message));
    }

    // "question <id> test <id>"
    void told(const QString &payload)
    {
        News news { payload, Clock::now(), {} };
        const QStringList words = payload.split(u' ');
        if (words.size() == 4 && words[0] == QLatin1String("question")) {
            const PgResult r
                = m_db->exec(m_select, { words[1].toLongLong(), words[3].toLongLong() });
            for (int i = 0; i < r.columns(); ++i)
                benchmark::DoNotOptimize(r.text(0, i));
        }
        news.reread = Clock::now();
        {
            std::lock_guard lock(m_mutex);
            m_news.push_back(news);
        }
        m_told.notify_one();
    }

    QThread m_thread;
    QObject m_anchor;
    PgConnection *m_db = nullptr;
    QString m_select;
    std::mutex m_mutex;
    std::condition_variable m_told;
    std::deque<News> m_news;
};

// Every commit's delays in microseconds, per benchmark, over all repetitions.
struct Delays
{
    std::vector<double> told;
    std::vector<double> reread;
};
std::map<std::string, Delays> &allDelays()
{
    static std::map<std::string, Delays> all;
    return all;
}

// The time of each iteration is the delay from the start of the commit to the news in
// the other copy; the counters give this repetition's median and 99th percentile, of
// the news and of the row read again after it.
template<typename Commit>
void measureNews(benchmark::State &state, const char *name, const Commit &commit)
{
    const BenchBank::Test &t = testOf(state);
    const QString payload = QStringLiteral("question %1 test %2")
                                .arg(t.questionIds.back())
                                .arg(QString::fromStdString(t.id));
    OtherCopy other;
    Delays delays;
    const auto micro
        = [](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); };
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        commit();
        OtherCopy::News news;
        if (!other.await(payload, &news)) {
            state.SkipWithError("no news of the commit in five seconds");
            break;
        }
        delays.told.push_back(micro(news.told - start));
        delays.reread.push_back(micro(news.reread - start));
        state.SetIterationTime(micro(news.told - start) / 1e6);
    }
    state.counters["told_p50_us"] = percentile(delays.told, 0.5);
    state.counters["told_p99_us"] = percentile(delays.told, 0.99);
    state.counters["reread_p50_us"] = percentile(delays.reread, 0.5);
    state.counters["reread_p99_us"] = percentile(delays.reread, 0.99);
    Delays &all = allDelays()[name + ('/' + std::to_string(state.range(0)))];
    all.told.insert(all.told.end(), delays.told.begin(), delays.told.end());
    all.reread.insert(all.reread.end(), delays.reread.begin(), delays.reread.end());
}

void Store_CommitToNews(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    Recordset rs;
    rs.open(BenchBank::instance().location(), t.questions);
    rs.setResolver([](const Recordset::Conflict &) { return Recordset::Resolution::KeepMine; });
    rs.MoveLast();
    benchmark::DoNotOptimize(rs.value(QStringLiteral("选项A分数")));
    measureNews(state, "Store_CommitToNews", [&] {
        rs.setValue(QStringLiteral("选项A分数"), QString::number(nextScore()));
        rs.Update();
    });
}

void Raw_CommitToNews(benchmark::State &state)
{
    const BenchBank::Test &t = testOf(state);
    RawPg &raw = BenchBank::instance().raw();
    const TableDef def = BankNames::questionTable(t.questions);
    const std::string select = selectRowSql("qelvi.questions", def);
    const std::string locked = selectRowSql("qelvi.questions", def, " FOR UPDATE NOWAIT");
    const Digits id(t.questionIds.back());
    measureNews(state, "Raw_CommitToNews", [&] {
        raw.run("BEGIN");
        readRow(raw.exec(locked, { *id, t.id.c_str() }));
        const Digits value(nextScore());
        raw.run(kScoreUpdate, { *value, *id, t.id.c_str() });
        raw.run("COMMIT");
    });
}

BENCHMARK(Store_MoveNextPrevious)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_MoveNextPrevious)->Arg(1000)->Arg(100000);
BENCHMARK(Store_AbsolutePosition)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_AbsolutePosition)->Arg(1000)->Arg(100000);
BENCHMARK(Store_CommitOneField)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_CommitOneField)->Arg(1000)->Arg(100000);
BENCHMARK(Listening_CommitOneField)->Arg(1000)->Arg(100000);
BENCHMARK(Store_CommitOneFieldChecked)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_CommitOneFieldChecked)->Arg(1000)->Arg(100000);
BENCHMARK(Listening_CommitOneFieldChecked)->Arg(1000)->Arg(100000);
BENCHMARK(Store_AddNewAndStore)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_AddNewAndStore)->Arg(1000)->Arg(100000);
BENCHMARK(Listening_AddNewAndStore)->Arg(1000)->Arg(100000);
BENCHMARK(Store_FindFirst)->Arg(1000)->Arg(100000);
BENCHMARK(Raw_FindFirst)->Arg(1000)->Arg(100000);
BENCHMARK(Store_Open)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_Open)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Store_CommitToNews)->Arg(1000)->Arg(100000)->Iterations(200)->UseManualTime();
BENCHMARK(Raw_CommitToNews)->Arg(1000)->Arg(100000)->Iterations(200)->UseManualTime();

} // namespace

int main(int argc, char **argv)
{
    benchcluster::startGuard();
    QCoreApplication app(argc, argv);
    initializeBench(&argc, argv);
    benchcluster::startCluster();
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-36s %12s %12s %8s %8s\n", "operation/rows (median CPU)", "store", "raw libpq",
        "ratio", "wall");
    for (const auto &[name, wallAndCpu] : reporter.times) {
        if (name.rfind("Store_", 0) != 0)
            continue;
        const std::string rest = name.substr(6);
        const auto raw = reporter.times.find("Raw_" + rest);
        if (raw == reporter.times.end())
            continue;
        std::printf("%-36s %10.3fus %10.3fus %7.2fx %7.2fx\n", rest.c_str(),
            wallAndCpu.second * 1e6, raw->second.second * 1e6,
            wallAndCpu.second / raw->second.second, wallAndCpu.first / raw->second.first);
    }
    std::printf("\n%-36s %12s %12s %8s %8s\n", "writes (median CPU)", "store", "raw listening",
        "ratio", "wall");
    for (const auto &[name, wallAndCpu] : reporter.times) {
        if (name.rfind("Listening_", 0) != 0)
            continue;
        const auto store = reporter.times.find("Store_" + name.substr(10));
        if (store == reporter.times.end())
            continue;
        std::printf("%-36s %10.3fus %10.3fus %7.2fx %7.2fx\n", name.substr(10).c_str(),
            store->second.second * 1e6, wallAndCpu.second * 1e6,
            store->second.second / wallAndCpu.second, store->second.first / wallAndCpu.first);
    }
    std::printf("\n%-30s %8s %11s %11s %11s %11s\n", "commit to news in another copy", "commits",
        "told p50", "told p99", "reread p50", "reread p99");
    for (const auto &[name, delays] : allDelays()) {
        std::printf("%-30s %8zu %9.1fus %9.1fus %9.1fus %9.1fus\n", name.c_str(),
            delays.told.size(), percentile(delays.told, 0.5), percentile(delays.told, 0.99),
            percentile(delays.reread, 0.5), percentile(delays.reread, 0.99));
    }
    benchmark::Shutdown();
    ServerSession::close();
    benchcluster::stopGuarded();
    return 0;
}
