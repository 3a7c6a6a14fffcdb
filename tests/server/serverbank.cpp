// The server bank against a real PostgreSQL cluster that the CTest fixture started
// (tests/server/pgcluster.sh). The tests write as an author, not as the administrator,
// so that the authors' rights and the owner's triggers take part in every case.
#include "base/endsignals.h"
#include "base/safefile.h"
#include "store/server/namerules.h"
#include "store/server/pgconnection.h"
#include "support/serverbanks.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Facts = QHash<QString, QString>;

// Creates a category, or a test in category; the new row's id is the result's first field.
PgResult create(PgConnection &c, const QString &kind, const QString &name, qint64 category)
{
    if (kind == u"test"_s)
        return c.exec(u"INSERT INTO qelvi.tests (category_id, name) VALUES ($1, $2) RETURNING id"_s,
            { category, name });
    return c.exec(u"INSERT INTO qelvi.categories (name) VALUES ($1) RETURNING id"_s, { name });
}

template<class Row, size_t N>
void rows(const Row (&table)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].tag) << int(i);
}

// Two authors create these at the same moment; number is what the second one meets.
const struct
{
    const char *tag;
    QString firstKind, first, secondKind, second;
    int number;
} kClashes[] = {
    { "same name", u"category"_s, u"性格测试"_s, u"category"_s, u"性格测试"_s, 3010 },
    { "ASCII letter case", u"category"_s, u"Quiz"_s, u"category"_s, u"QUIZ"_s, 3010 },
    { "test after category", u"category"_s, u"Mood"_s, u"test"_s, u"mood"_s, 3010 },
    { "category after test", u"test"_s, u"Sleep"_s, u"category"_s, u"SLEEP"_s, 3010 },
    { "a test's scoring table", u"test"_s, u"Stress"_s, u"category"_s, u"stress评分"_s, 3010 },
    { "other letters keep their case", u"category"_s, u"Ärger"_s, u"category"_s, u"äRGER"_s, 0 },
    { "full-width letters", u"category"_s, u"ＥＱ"_s, u"category"_s, u"ｅｑ"_s, 0 },
};

// Actions beside category "RuleCat" and its test "RuleTest", and what the bank file says.
const struct
{
    const char *tag;
    QString action, name;
    int number;
} kNameRules[] = {
    { "empty", u"category"_s, u""_s, 3101 },
    { "the category list", u"category"_s, u"分类列表"_s, 3010 },
    { "sqlite_ prefix", u"category"_s, u"sqlite_stat1"_s, 3102 },
    { "SQLite_ prefix of a test", u"test"_s, u"SQLite_Mood"_s, 3102 },
    { "sqlite without underscore", u"category"_s, u"sqlitex"_s, 0 },
    { "line break", u"category"_s, u"上\n下"_s, 3103 },
    { "tab in a test", u"test"_s, u"a\tb"_s, 3103 },
    { "delete character", u"category"_s, u"x\x7f"_s, 3103 },
    { "NUL character", u"category"_s, u"a\0b"_s, 3103 },
    { "a test's name", u"category"_s, u"ruletest"_s, 3010 },
    { "a test's scoring table", u"category"_s, u"RULETEST评分"_s, 3010 },
    { "rename to reserved", u"rename category"_s, u"Sqlite_x"_s, 3102 },
    { "rename onto a test", u"rename category"_s, u"RuleTest"_s, 3010 },
    { "rename to the same", u"rename category"_s, u"RuleCat"_s, 0 },
    { "rename in letter case", u"rename test"_s, u"RULETEST"_s, 0 },
    { "rename to own scoring table", u"rename test"_s, u"ruletest评分"_s, 3010 },
};

const struct
{
    const char *tag;
    QString text;
    bool asName; // also as a category's and a test's name (no control character)
} kHostile[] = {
    { "quotes", u"O'Brien \"x\" `y`"_s, true },
    { "SQL", u"'); DELETE FROM qelvi.names; --"_s, true },
    { "dollar quoting", u"$$; DROP SCHEMA qelvi CASCADE; $$"_s, true },
    { "backslashes", u"\\x41\\n\\'"_s, true },
    { "patterns", u"%_*?[a-z]"_s, true },
    { "blanks around", u"  两边有空格  "_s, true },
    { "Chinese", u"情商测试（成人版）：第一部分"_s, true },
    { "outside the BMP", u"𠮷野家 😀"_s, true },
    { "long", QString(255, QChar(u'题')), true },
    { "control characters in a question", u"一\r\n二\t三\x01"_s, false },
};

void byService(PgAddress &a, const QString &service)
{
    a = PgAddress();
    a.service = service;
}

// The signal that ends the program stands in for SIGTERM here (the program's own
// handler would end the test too); the other is any signal at all.
constexpr int kEndSignal = SIGUSR1;
constexpr int kOtherSignal = SIGUSR2;
std::atomic<int> otherSignals { 0 };

// A server on 127.0.0.1 that takes one connection and reads its first request; once
// the thread that connects sleeps in its wait for the answer, it sends that thread a
// signal. After the signal that ends the program it answers nothing; after another it
// answers that it has no encryption, which the connection must hear to fail as it does.
class SignallingServer
{
public:
    explicit SignallingServer(pthread_t waiting)
        : m_waiting(waiting)
    { }
    ~SignallingServer()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_listening >= 0)
            ::close(m_listening);
    }

    quint16 start(int signal)
    {
        m_listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at {};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (::bind(m_listening, reinterpret_cast<sockaddr *>(&at), size) != 0
            || ::listen(m_listening, 1) != 0
            || ::getsockname(m_listening, reinterpret_cast<sockaddr *>(&at), &size) != 0)
            return 0;
        m_thread = std::thread([this, signal] { serve(signal); });
        return ntohs(at.sin_port);
    }

private:
    void serve(int signal)
    {
        // Bounded, so that a connection that never comes cannot hold the test.
        pollfd p { m_listening, POLLIN, 0 };
        if (::poll(&p, 1, 30000) != 1)
            return;
        const int peer = ::accept4(m_listening, nullptr, nullptr, SOCK_CLOEXEC);
        char request[8];
        if (peer < 0 || ::recv(peer, request, sizeof request, MSG_WAITALL) != sizeof request) {
            if (peer >= 0)
                ::close(peer);
            return;
        }
        // The process's own thread: its state is 'S' once it sleeps in poll.
        const QString stat = u"/proc/self/task/%1/stat"_s.arg(::getpid());
        for (int i = 0; i < 30000; ++i) {
            const QByteArray line = readRegularFile(stat, 4096).value_or(QByteArray());
            if (line.mid(line.lastIndexOf(')') + 2, 1) == "S")
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const int before = otherSignals.load();
        pthread_kill(m_waiting, signal);
        // The answer goes once the signal has been handled, that is once it has cut
        // the wait short: an answer there already would end the wait as an answer.
        while (signal != kEndSignal && otherSignals.load() == before)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (signal != kEndSignal && ::send(peer, "N", 1, MSG_NOSIGNAL) != 1) {
            ::close(peer);
            return;
        }
        // Until the connection gives up and closes its end.
        pollfd q { peer, POLLIN, 0 };
        char rest[64];
        while (::poll(&q, 1, 30000) == 1 && ::recv(peer, rest, sizeof rest, 0) > 0) { }
        ::close(peer);
    }

    pthread_t m_waiting;
    int m_listening = -1;
    std::thread m_thread;
};

// What a connection meets; each row changes the author's address on the socket.
struct Scene
{
    Facts facts;
    QString emptyFolder;
    quint16 closedPort, silentPort;
    SignallingServer *signalling;
};

void signalledAt(PgAddress &a, const Scene &s, int signal)
{
    a.host = u"127.0.0.1"_s;
    a.port = s.signalling->start(signal);
    a.connectTimeoutSeconds = 60; // never reached: the server answers, or the signal ends it
}
const struct
{
    const char *tag;
    void (*change)(PgAddress &, QString &password, const Scene &);
    PgError::Kind kind;
    QString sqlstate;
} kConnections[] = {
    { "by service",
        [](PgAddress &a, QString &, const Scene &) { byService(a, u"qelvi_test_bank"_s); },
        PgError::None, {} },
    { "service with another database",
        [](PgAddress &a, QString &, const Scene &) {
            byService(a, u"qelvi_test_bank"_s);
            a.dbname = u"qelvi_missing"_s;
        },
        PgError::Refused, u"3D000"_s },
    { "unknown service",
        [](PgAddress &a, QString &, const Scene &) { byService(a, u"qelvi_nothing"_s); },
        PgError::BadSettings, u"08001"_s },
    { "no server on the socket",
        [](PgAddress &a, QString &, const Scene &s) { a.host = s.emptyFolder; },
        PgError::Unreachable, u"08001"_s },
    { "nothing on the port",
        [](PgAddress &a, QString &, const Scene &s) {
            a.host = u"127.0.0.1"_s;
            a.port = s.closedPort;
        },
        PgError::Unreachable, u"08001"_s },
    { "a server that never answers",
        [](PgAddress &a, QString &, const Scene &s) {
            a.host = u"127.0.0.1"_s;
            a.port = s.silentPort;
            a.connectTimeoutSeconds = 1;
        },
        PgError::Timeout, u"08001"_s },
    { "the program told to end while waiting",
        [](PgAddress &a, QString &, const Scene &s) { signalledAt(a, s, kEndSignal); },
        PgError::Interrupted, u"08001"_s },
    { "another signal while waiting",
        [](PgAddress &a, QString &, const Scene &s) { signalledAt(a, s, kOtherSignal); },
        PgError::Unverified, u"08001"_s },
    { "password needed",
        [](PgAddress &a, QString &, const Scene &s) { a.user = s.facts[u"locked"_s]; },
        PgError::PasswordNeeded, u"28P01"_s },
    { "wrong password",
        [](PgAddress &a, QString &password, const Scene &s) {
            a.user = s.facts[u"locked"_s];
            password = u"不是这个"_s;
        },
        PgError::LoginRefused, u"28P01"_s },
    { "no such role", [](PgAddress &a, QString &, const Scene &) { a.user = u"qelvi_nobody"_s; },
        PgError::LoginRefused, u"28000"_s },
    { "no such database",
        [](PgAddress &a, QString &, const Scene &) { a.dbname = u"qelvi_missing"_s; },
        PgError::Refused, u"3D000"_s },
    { "TCP without verified encryption",
        [](PgAddress &a, QString &, const Scene &) { a.host = u"127.0.0.1"_s; },
        PgError::Unverified, u"08001"_s },
};

const struct
{
    const char *tag;
    QString sql;
    PgError::Kind kind;
    QString sqlstate;
} kStatementErrors[] = {
    { "disk full", u"DO $$ BEGIN RAISE EXCEPTION 'full' USING ERRCODE = 'disk_full'; END $$"_s,
        PgError::DiskFull, u"53100"_s },
    { "statement timeout", u"SELECT pg_sleep(30)"_s, PgError::Timeout, u"57014"_s },
    { "a category that holds a test", u"DELETE FROM qelvi.categories"_s, PgError::Refused,
        u"23503"_s },
};

// The administrator's command on a database: empty is the fixture's bank; prepare is
// "create" (an empty database), "foreign" (another schema qelvi) or "drop" (none).
const struct
{
    const char *tag;
    QString database, prepare, role;
    int exitCode;
    QString words;
} kInit[] = {
    { "a new database", u"qelvi_init_new"_s, u"create"_s, u"admin"_s, 0, u"已建立为 Qelvi 题库"_s },
    { "the bank already there", {}, {}, u"admin"_s, 0, u"已经是 Qelvi 题库"_s },
    { "another schema of that name", u"qelvi_init_other"_s, u"foreign"_s, u"admin"_s, 1,
        u"不是 Qelvi 题库"_s },
    { "no such database", u"qelvi_init_missing"_s, u"drop"_s, u"admin"_s, 1, u"无法连接数据库"_s },
    { "not a superuser", {}, {}, u"author"_s, 1, u"超级用户"_s },
};

} // namespace

class tst_serverbank : public QObject
{
    Q_OBJECT

    Facts m_facts;
    QTemporaryDir m_folder;
    PgConnection m_admin;
    PgConnection m_author;

    PgAddress at(const QString &role)
    {
        PgAddress a { {}, m_facts[u"socket"_s], m_facts[u"port"_s].toInt(), m_facts[u"dbname"_s],
            m_facts[role] };
        a.connectTimeoutSeconds = 5;
        return a;
    }

    // Runs a statement that must succeed; says why when it does not.
    static PgResult run(PgConnection &c, const QString &sql, const QVariantList &values = {})
    {
        const PgResult r = c.exec(sql, values);
        if (!r.ok())
            qWarning().noquote() << sql << "->" << r.error().message << r.error().detail;
        return r;
    }
    qint64 count(const QString &sql, const QVariantList &values = {})
    {
        return run(m_admin, sql, values).integer(0, 0);
    }
    qint64 newCategory(const QString &name)
    {
        return create(m_author, u"category"_s, name, 0).integer(0, 0);
    }
    qint64 newTest(const QString &name, qint64 category)
    {
        return create(m_author, u"test"_s, name, category).integer(0, 0);
    }

private slots:
    void initTestCase()
    {
        QString reason;
        m_facts = ServerBanks::readFacts(QStringLiteral(QELVI_PG_FACTS), &reason);
        QVERIFY2(!m_facts.isEmpty(), qPrintable(u"no test server: "_s + reason));
        const PgError a = m_admin.open(at(u"admin"_s));
        QVERIFY2(!a, qPrintable(a.message + u'\n' + a.detail));
        const PgError b = m_author.open(at(u"author"_s));
        QVERIFY2(!b, qPrintable(b.message + u'\n' + b.detail));
        // A service of our own for the connection cases; no password in it.
        const QString services = m_folder.filePath(u"pg_service.conf"_s);
        const PgAddress s = at(u"author"_s);
        QVERIFY(replaceFile(services,
            u"[qelvi_test_bank]\nhost=%1\nport=%2\ndbname=%3\nuser=%4\n"_s
                .arg(s.host, QString::number(s.port), s.dbname, s.user)
                .toUtf8(),
            &reason));
        qputenv("PGSERVICEFILE", services.toLocal8Bit());
        // As the program's handler counts SIGTERM; the other signal only cuts waits short.
        struct sigaction action = {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        action.sa_handler = [](int) { EndSignals::count(); };
        sigaction(kEndSignal, &action, nullptr);
        action.sa_handler = [](int) { otherSignals.fetch_add(1); };
        sigaction(kOtherSignal, &action, nullptr);
    }

    // Every case starts from an empty bank, its author outside any transaction.
    void init()
    {
        m_author.exec(u"ROLLBACK"_s);
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.tests"_s).ok());
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.categories"_s).ok());
    }

    // The second author waits for the first, then is refused as the bank file refuses.
    void clashingNamesAtOnce_data() { rows(kClashes); }
    void clashingNamesAtOnce()
    {
        QFETCH(int, row);
        const auto &r = kClashes[row];
        const qint64 holder = newCategory(u"容器"_s);
        PgConnection other;
        QVERIFY(!other.open(at(u"author"_s)));
        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        QVERIFY(create(m_author, r.firstKind, r.first, holder).ok());
        auto second = std::async(
            std::launch::async, [&] { return create(other, r.secondKind, r.second, holder); });
        const auto done
            = [&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
        const auto waiting = [&] {
            return count(u"SELECT count(*) FROM pg_stat_activity "
                         "WHERE pid = $1 AND wait_event_type = 'Lock'"_s,
                       { other.serverPid() })
                == 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(done() || waiting(), 10000);
        // A clash cannot be decided before the first transaction ends.
        QCOMPARE(done(), r.number == 0);
        QVERIFY(run(m_author, u"COMMIT"_s).ok());
        const PgResult result = second.get();
        QCOMPARE(ServerNames::storeNumber(result.error()), r.number);
        QCOMPARE(result.ok(), r.number == 0);
    }

    void nameRules_data() { rows(kNameRules); }
    void nameRules()
    {
        QFETCH(int, row);
        const auto &r = kNameRules[row];
        const qint64 category = newCategory(u"RuleCat"_s);
        const qint64 test = newTest(u"RuleTest"_s, category);
        const qint64 names = count(u"SELECT count(*) FROM qelvi.names"_s);
        const bool rename = r.action.startsWith(u"rename"_s);
        const PgResult result = !rename
            ? create(m_author, r.action, r.name, category)
            : m_author.exec(r.action == u"rename test"_s
                    ? u"UPDATE qelvi.tests SET name = $1 WHERE id = $2"_s
                    : u"UPDATE qelvi.categories SET name = $1 WHERE id = $2"_s,
                { r.name, r.action == u"rename test"_s ? test : category });
        QCOMPARE(ServerNames::storeNumber(result.error()), r.number);
        QCOMPARE(result.ok(), r.number == 0);
        QCOMPARE(count(u"SELECT count(*) FROM qelvi.names"_s),
            names + (r.number == 0 && !rename ? 1 : 0));
        if (r.number == 0)
            QCOMPARE(count(u"SELECT count(*) FROM qelvi.names WHERE name = $1"_s, { r.name }), 1);
    }

    // A write names the version it read; the server raises it on each real change only.
    void versionedWrites()
    {
        const qint64 test = newTest(u"版本"_s, newCategory(u"版本类"_s));
        const qint64 id = run(m_author,
            u"INSERT INTO qelvi.questions (test_id, \"题目\", \"选项A分数\") VALUES ($1, $2, $3) "
            "RETURNING id"_s,
            { test, u"问"_s, 0.1f })
                              .integer(0, 0);
        const struct
        {
            const char *what;
            QString text;
            qint64 readVersion, rows, versionAfter;
            QString textAfter;
        } steps[] = {
            { "a change", u"问二"_s, 1, 1, 2, u"问二"_s },
            { "a stale write", u"问三"_s, 1, 0, 2, u"问二"_s },
            { "nothing changed", u"问二"_s, 2, 1, 2, u"问二"_s },
            { "the next change", u"问四"_s, 2, 1, 3, u"问四"_s },
        };
        for (const auto &s : steps) {
            const PgResult r = run(m_author,
                u"UPDATE qelvi.questions SET \"题目\" = $1 WHERE id = $2 AND version = $3"_s,
                { s.text, id, s.readVersion });
            QVERIFY2(r.ok() && r.affected() == s.rows, s.what);
            const PgResult now = run(m_author,
                u"SELECT version, \"题目\", \"选项A分数\" FROM qelvi.questions WHERE id = $1"_s,
                { id });
            QVERIFY2(now.integer(0, 0) == s.versionAfter && now.text(0, 1) == s.textAfter, s.what);
            QCOMPARE(now.single(0, 2), 0.1f);
        }
        // The version is the server's: an author cannot set it.
        const PgResult forged
            = m_author.exec(u"UPDATE qelvi.questions SET version = 1 WHERE id = $1"_s, { id });
        QCOMPARE(forged.error().sqlstate, u"42501"_s);
    }

    // A locked row is told at once (within the statement timeout it would otherwise meet).
    void lockedRowToldAtOnce()
    {
        const qint64 category = newCategory(u"锁"_s);
        PgAddress a = at(u"author"_s);
        a.statementTimeoutMs = 5000;
        PgConnection other;
        QVERIFY(!other.open(a));
        const QString lock = u"SELECT 1 FROM qelvi.categories WHERE id = $1 FOR UPDATE"_s;
        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        QVERIFY(run(m_author, lock, { category }).ok());
        const PgResult r = other.exec(lock + u" NOWAIT"_s, { category });
        QVERIFY(run(m_author, u"ROLLBACK"_s).ok());
        QCOMPARE(r.error().sqlstate, u"55P03"_s);
        QCOMPARE(r.error().kind, PgError::Busy);
    }

    // Another client hears each change once, by kind and ids; nothing of a change that
    // changed nothing or did not land, nothing more of rows deleted with their test.
    void changesAreTold()
    {
        PgConnection listener;
        QVERIFY(!listener.open(at(u"author"_s)));
        QVERIFY(!listener.listen(u"qelvi_bank"_s));
        QSignalSpy told(&listener, &PgConnection::notified);
        const qint64 c = newCategory(u"O'Brien\"; --"_s);
        const qint64 t = newTest(u"测试 7"_s, c);
        const auto add = [&](const char *table, const char *field) {
            return run(m_author,
                u"INSERT INTO qelvi.%1 (test_id, \"%2\") VALUES ($1, 'x') RETURNING id"_s.arg(
                    QLatin1String(table), QString::fromUtf8(field)),
                { t })
                .integer(0, 0);
        };
        const qint64 q = add("questions", "题目");
        const qint64 b = add("bands", "评价");
        QVERIFY(run(m_author, u"UPDATE qelvi.questions SET \"题目\" = 'x' WHERE id = $1"_s, { q })
                    .ok());
        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        newCategory(u"不会留下"_s);
        QVERIFY(run(m_author, u"ROLLBACK"_s).ok());
        QVERIFY(
            run(m_author, u"UPDATE qelvi.bands SET \"分数下限\" = 3 WHERE id = $1"_s, { b }).ok());
        QVERIFY(run(m_author, u"DELETE FROM qelvi.tests WHERE id = $1"_s, { t }).ok());
        const qint64 last = newCategory(u"最后"_s);

        const QStringList expected = { u"category %1"_s.arg(c),
            u"test %1 category %2"_s.arg(t).arg(c), u"question %1 test %2"_s.arg(q).arg(t),
            u"band %1 test %2"_s.arg(b).arg(t), u"band %1 test %2"_s.arg(b).arg(t),
            u"test %1 category %2"_s.arg(t).arg(c), u"category %1"_s.arg(last) };
        QTRY_COMPARE(told.count(), expected.size());
        QStringList payloads;
        for (const QList<QVariant> &n : told) {
            QCOMPARE(n.at(0).toString(), u"qelvi_bank"_s);
            payloads << n.at(1).toString();
        }
        QCOMPARE(payloads, expected);
    }

    void hostileTextsRoundTrip_data() { rows(kHostile); }
    void hostileTextsRoundTrip()
    {
        QFETCH(int, row);
        const auto &h = kHostile[row];
        const QString test = h.asName ? h.text + u"·测"_s : u"普通测"_s;
        const qint64 t = newTest(test, newCategory(h.asName ? h.text : u"普通"_s));
        const qint64 q = run(m_author,
            u"INSERT INTO qelvi.questions (test_id, \"题目\", \"选项F\") VALUES ($1, $2, $2) "
            "RETURNING id"_s,
            { t, h.text })
                             .integer(0, 0);
        const PgResult r = run(m_author,
            u"SELECT c.name, t.name, q.\"题目\", q.\"选项F\" FROM qelvi.questions q "
            "JOIN qelvi.tests t ON t.id = q.test_id JOIN qelvi.categories c ON c.id = "
            "t.category_id "
            "WHERE q.id = $1"_s,
            { q });
        QCOMPARE(r.rows(), 1);
        QCOMPARE(r.text(0, 1), test);
        QCOMPARE(r.text(0, 2), h.text);
        QCOMPARE(r.text(0, 3), h.text);
        if (h.asName) {
            QCOMPARE(r.text(0, 0), h.text);
            QCOMPARE(
                count(u"SELECT count(*) FROM qelvi.names WHERE name = $1"_s, { test + u"评分"_s }),
                1);
        }
    }

    // A connection that is not made says why in one sentence naming the server, within
    // its time bound.
    void connections_data() { rows(kConnections); }
    void connections()
    {
        QFETCH(int, row);
        const auto &r = kConnections[row];
        QTemporaryDir empty;
        QTcpServer closed;
        QTcpServer silent; // listens, and never answers
        QVERIFY(closed.listen(QHostAddress::LocalHost) && silent.listen(QHostAddress::LocalHost));
        SignallingServer signalling(pthread_self());
        const Scene scene { m_facts, empty.path(), closed.serverPort(), silent.serverPort(),
            &signalling };
        closed.close();
        PgAddress a = at(u"author"_s);
        QString password;
        r.change(a, password, scene);
        PgConnection c;
        const PgError e = c.open(a, password);
        QVERIFY2(e.kind == r.kind, qPrintable(e.message + u'\n' + e.detail));
        QCOMPARE(e.sqlstate, r.sqlstate);
        QCOMPARE(c.isOpen(), !e);
        if (!e) {
            QCOMPARE(run(c, u"SELECT current_user"_s).text(0, 0), m_facts[u"author"_s]);
            return;
        }
        QVERIFY2(
            e.message.contains(u"题库服务器“"_s + a.display() + u"”"_s), qPrintable(e.message));
        QVERIFY(e.message.endsWith(u"（SQLSTATE "_s + r.sqlstate + u"）"_s));
    }

    void statementErrors_data() { rows(kStatementErrors); }
    void statementErrors()
    {
        QFETCH(int, row);
        const auto &s = kStatementErrors[row];
        newTest(u"留着"_s, newCategory(u"有测试"_s));
        PgAddress a = at(u"author"_s);
        a.statementTimeoutMs = 300;
        PgConnection c;
        QVERIFY(!c.open(a));
        const PgResult r = c.exec(s.sql);
        QCOMPARE(r.error().kind, s.kind);
        QCOMPARE(r.error().sqlstate, s.sqlstate);
        QVERIFY(r.error().message.contains(a.display()));
        if (s.sqlstate == u"23503"_s)
            QCOMPARE(ServerNames::storeNumber(r.error()), 3112);
        QVERIFY(run(c, u"SELECT 1"_s).ok()); // the connection is still good
    }

    // A connection the server ends is told once, also while only listening; every later
    // call says so instead of waiting, until it is reconnected and hears changes again.
    void droppedConnection()
    {
        PgConnection c;
        QVERIFY(!c.open(at(u"author"_s)));
        QVERIFY(!c.listen(u"qelvi_bank"_s));
        QSignalSpy lost(&c, &PgConnection::connectionLost);
        QSignalSpy told(&c, &PgConnection::notified);
        QVERIFY(run(m_admin, u"SELECT pg_terminate_backend($1)"_s, { c.serverPid() }).ok());
        QTRY_COMPARE(lost.count(), 1);
        for (int i = 0; i < 2; ++i) {
            const PgResult r = c.exec(u"SELECT 1"_s);
            QCOMPARE(r.error().kind, PgError::ConnectionLost);
            QVERIFY(r.error().message.contains(u"断开"_s));
        }
        const PgError again = c.reconnect();
        QVERIFY2(!again, qPrintable(again.message));
        const qint64 id = newCategory(u"重连之后"_s);
        QTRY_COMPARE(told.count(), 1);
        QCOMPARE(told.at(0).at(1).toString(), u"category %1"_s.arg(id));
        QCOMPARE(lost.count(), 1);
    }

    // Makes a bank where there is none, leaves one that is there, and refuses what it
    // cannot make one of without changing it.
    void initCommand_data() { rows(kInit); }
    void initCommand()
    {
        QFETCH(int, row);
        const auto &r = kInit[row];
        const QString database = r.database.isEmpty() ? m_facts[u"dbname"_s] : r.database;
        PgAddress there = at(u"admin"_s);
        there.dbname = database;
        if (!r.prepare.isEmpty()) {
            // Fixed names: a database name is no value a statement could take.
            QVERIFY(run(m_admin, u"DROP DATABASE IF EXISTS "_s + database).ok());
            if (r.prepare != u"drop"_s)
                QVERIFY(run(m_admin, u"CREATE DATABASE "_s + database).ok());
        }
        if (r.prepare == u"foreign"_s) {
            PgConnection c;
            QVERIFY(!c.open(there));
            QVERIFY(run(c, u"CREATE SCHEMA qelvi"_s).ok());
            QVERIFY(run(c, u"CREATE TABLE qelvi.keep (x integer)"_s).ok());
        }
        QProcess init;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PGHOST"_s, there.host);
        env.insert(u"PGPORT"_s, QString::number(there.port));
        env.insert(u"PGUSER"_s, m_facts[r.role]);
        init.setProcessEnvironment(env);
        init.start(QStringLiteral(QELVI_SERVER_INIT), { database });
        QVERIFY(init.waitForFinished(60000));
        const QString said = QString::fromUtf8(init.readAllStandardError());
        QVERIFY2(init.exitCode() == r.exitCode && said.contains(r.words), qPrintable(said));
        if (r.prepare == u"create"_s || r.prepare == u"foreign"_s) {
            // An author reads the new bank; the foreign schema is as it was.
            there.user = m_facts[u"author"_s];
            PgConnection c;
            QVERIFY(!c.open(there));
            QCOMPARE(run(c,
                         r.prepare == u"create"_s
                             ? u"SELECT schema_version FROM qelvi.bank"_s
                             : u"SELECT count(*) FROM pg_tables WHERE schemaname = 'qelvi'"_s)
                         .integer(0, 0),
                1);
        }
    }

    void cleanupTestCase()
    {
        for (const char *db : { "qelvi_init_new", "qelvi_init_other" })
            m_admin.exec(u"DROP DATABASE IF EXISTS "_s + QLatin1String(db));
    }
};

QTEST_GUILESS_MAIN(tst_serverbank)
#include "serverbank.moc"
