// The server bank against a real PostgreSQL cluster that the CTest fixture started
// (tests/server/pgcluster.sh). The tests write as an author, not as the administrator,
// so that the authors' rights and the owner's triggers are part of every case.
#include "platform/safefile.h"
#include "store/server/namerules.h"
#include "store/server/pgconnection.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Facts
{
    QString socket;
    int port = 0;
    QString dbname;
    QString admin;
    QString author;
    QString locked;
};

// A TCP socket on 127.0.0.1 that listens (or, unless listening, was only bound and is
// closed again: a port nobody answers on).
struct LocalPort
{
    int fd = -1;
    int port = 0;

    explicit LocalPort(bool listening)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), size) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) == 0)
            port = ntohs(a.sin_port);
        if (listening)
            ::listen(fd, 4);
        else
            release();
    }
    ~LocalPort() { release(); }
    void release()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Creates a category, or a test in category; the new row's id is the result's first field.
PgResult create(PgConnection &c, const QString &kind, const QString &name, qint64 category)
{
    if (kind == u"test"_s)
        return c.exec(u"INSERT INTO qelvi.tests (category_id, name) VALUES ($1, $2) RETURNING id"_s,
            { category, name });
    return c.exec(u"INSERT INTO qelvi.categories (name) VALUES ($1) RETURNING id"_s, { name });
}

} // namespace

class tst_serverbank : public QObject
{
    Q_OBJECT

    Facts m_facts;
    PgConnection m_admin;
    PgConnection m_author;

    PgAddress at(const QString &role) const
    {
        PgAddress a;
        a.host = m_facts.socket;
        a.port = m_facts.port;
        a.dbname = m_facts.dbname;
        a.user = role;
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

    qint64 newCategory(const QString &name)
    {
        const PgResult r = create(m_author, u"category"_s, name, 0);
        return r.ok() ? r.integer(0, 0) : -1;
    }

    qint64 newTest(const QString &name, qint64 category)
    {
        const PgResult r = create(m_author, u"test"_s, name, category);
        return r.ok() ? r.integer(0, 0) : -1;
    }

    qint64 nameCount() { return run(m_admin, u"SELECT count(*) FROM qelvi.names"_s).integer(0, 0); }

private slots:
    void initTestCase()
    {
        QString reason;
        const auto bytes = readFile(QStringLiteral(QELVI_PG_FACTS), 4096, &reason);
        QVERIFY2(bytes, qPrintable(u"no test server: "_s + reason));
        for (const QString &line : QString::fromUtf8(*bytes).split(u'\n')) {
            const QString key = line.section(u'=', 0, 0);
            const QString value = line.section(u'=', 1);
            if (key == u"socket"_s)
                m_facts.socket = value;
            else if (key == u"port"_s)
                m_facts.port = value.toInt();
            else if (key == u"dbname"_s)
                m_facts.dbname = value;
            else if (key == u"admin"_s)
                m_facts.admin = value;
            else if (key == u"author"_s)
                m_facts.author = value;
            else if (key == u"locked"_s)
                m_facts.locked = value;
        }
        QVERIFY2(m_facts.port > 0 && !m_facts.author.isEmpty(), bytes->constData());
        const PgError a = m_admin.open(at(m_facts.admin));
        QVERIFY2(!a, qPrintable(a.message + u'\n' + a.detail));
        const PgError b = m_author.open(at(m_facts.author));
        QVERIFY2(!b, qPrintable(b.message + u'\n' + b.detail));
    }

    // Every case starts from an empty bank.
    void init()
    {
        // A case that failed half-way may have left its transaction open.
        m_author.exec(u"ROLLBACK"_s);
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.tests"_s).ok());
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.categories"_s).ok());
    }

    // Two authors create names at the same moment: the second waits for the first
    // and is refused as the bank file refuses (3010) when the names clash.
    void clashingNamesAtOnce_data()
    {
        QTest::addColumn<QString>("firstKind");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("secondKind");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("number");
        QTest::newRow("same name")
            << u"category"_s << u"性格测试"_s << u"category"_s << u"性格测试"_s << 3010;
        QTest::newRow("ASCII letter case")
            << u"category"_s << u"Quiz"_s << u"category"_s << u"QUIZ"_s << 3010;
        QTest::newRow("test after category")
            << u"category"_s << u"Mood"_s << u"test"_s << u"mood"_s << 3010;
        QTest::newRow("category after test")
            << u"test"_s << u"Sleep"_s << u"category"_s << u"SLEEP"_s << 3010;
        QTest::newRow("a test's scoring table")
            << u"test"_s << u"Stress"_s << u"category"_s << u"stress评分"_s << 3010;
        QTest::newRow("other letters keep their case")
            << u"category"_s << u"Ärger"_s << u"category"_s << u"äRGER"_s << 0;
        QTest::newRow("full-width letters")
            << u"category"_s << u"ＥＱ"_s << u"category"_s << u"ｅｑ"_s << 0;
    }
    void clashingNamesAtOnce()
    {
        QFETCH(QString, firstKind);
        QFETCH(QString, first);
        QFETCH(QString, secondKind);
        QFETCH(QString, second);
        QFETCH(int, number);
        const qint64 holder = newCategory(u"容器"_s);
        PgConnection other;
        QVERIFY(!other.open(at(m_facts.author)));

        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        QVERIFY(create(m_author, firstKind, first, holder).ok());
        auto later = std::async(
            std::launch::async, [&] { return create(other, secondKind, second, holder); });
        const auto done
            = [&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
        const auto waiting = [&] {
            return run(m_admin,
                       u"SELECT count(*) FROM pg_stat_activity WHERE pid = $1 AND wait_event_type = 'Lock'"_s,
                       { other.serverPid() })
                       .integer(0, 0)
                == 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(done() || waiting(), 10000);
        // A clash cannot be decided before the first transaction ends.
        QCOMPARE(done(), number == 0);
        QVERIFY(run(m_author, u"COMMIT"_s).ok());
        const PgResult r = later.get();
        QCOMPARE(ServerNames::storeNumber(r.error()), number);
        QCOMPARE(r.ok(), number == 0);
    }

    // The names no category or test may take, and renames.
    void nameRules_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("empty") << u"category"_s << QString(u""_s) << 3101;
        QTest::newRow("the category list") << u"category"_s << u"分类列表"_s << 3010;
        QTest::newRow("sqlite_ prefix") << u"category"_s << u"sqlite_stat1"_s << 3102;
        QTest::newRow("SQLite_ prefix of a test") << u"test"_s << u"SQLite_Mood"_s << 3102;
        QTest::newRow("sqlite without underscore") << u"category"_s << u"sqlitex"_s << 0;
        QTest::newRow("line break") << u"category"_s << u"上\n下"_s << 3103;
        QTest::newRow("tab in a test") << u"test"_s << u"a\tb"_s << 3103;
        QTest::newRow("delete character") << u"category"_s << u"x\x7f"_s << 3103;
        QTest::newRow("NUL character") << u"category"_s << QString(u"a\0b"_s) << 3103;
        QTest::newRow("a test's name") << u"category"_s << u"ruletest"_s << 3010;
        QTest::newRow("a test's scoring table") << u"category"_s << u"RULETEST评分"_s << 3010;
        QTest::newRow("rename to reserved") << u"rename category"_s << u"Sqlite_x"_s << 3102;
        QTest::newRow("rename onto a test") << u"rename category"_s << u"RuleTest"_s << 3010;
        QTest::newRow("rename to the same") << u"rename category"_s << u"RuleCat"_s << 0;
        QTest::newRow("rename in letter case") << u"rename test"_s << u"RULETEST"_s << 0;
        QTest::newRow("rename to own scoring table")
            << u"rename test"_s << u"ruletest评分"_s << 3010;
    }
    void nameRules()
    {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(int, number);
        const qint64 category = newCategory(u"RuleCat"_s);
        const qint64 test = newTest(u"RuleTest"_s, category);
        const qint64 names = nameCount();
        PgResult r;
        if (action == u"rename category"_s)
            r = m_author.exec(
                u"UPDATE qelvi.categories SET name = $1 WHERE id = $2"_s, { name, category });
        else if (action == u"rename test"_s)
            r = m_author.exec(u"UPDATE qelvi.tests SET name = $1 WHERE id = $2"_s, { name, test });
        else
            r = create(m_author, action, name, category);
        QCOMPARE(ServerNames::storeNumber(r.error()), number);
        QCOMPARE(r.ok(), number == 0);
        QCOMPARE(nameCount(), names + (number == 0 && !action.startsWith(u"rename"_s) ? 1 : 0));
        if (number == 0)
            QCOMPARE(run(m_admin, u"SELECT count(*) FROM qelvi.names WHERE name = $1"_s, { name })
                         .integer(0, 0),
                1);
    }

    // A write names the version it read; the server raises it on each real change only.
    void versionedWrites()
    {
        const qint64 test = newTest(u"版本"_s, newCategory(u"版本类"_s));
        const PgResult q = run(m_author,
            u"INSERT INTO qelvi.questions (test_id, \"题目\", \"选项A分数\") VALUES ($1, $2, $3) "
            "RETURNING id, version"_s,
            { test, u"问"_s, 0.1f });
        const qint64 id = q.integer(0, 0);
        QCOMPARE(q.integer(0, 1), 1);
        const QString write
            = u"UPDATE qelvi.questions SET \"题目\" = $1 WHERE id = $2 AND version = $3 "
              "RETURNING version"_s;
        const struct
        {
            const char *what;
            QString text;
            qint64 readVersion;
            qint64 rows;
            qint64 versionAfter;
        } steps[] = {
            { "a change", u"问二"_s, 1, 1, 2 },
            { "a stale write", u"问三"_s, 1, 0, 2 },
            { "nothing changed", u"问二"_s, 2, 1, 2 },
            { "the next change", u"问四"_s, 2, 1, 3 },
        };
        for (const auto &s : steps) {
            const PgResult r = run(m_author, write, { s.text, id, s.readVersion });
            QVERIFY2(r.ok(), s.what);
            QVERIFY2(r.affected() == s.rows, s.what);
            const PgResult now = run(m_author,
                u"SELECT version, \"题目\", \"选项A分数\" FROM qelvi.questions WHERE id = $1"_s,
                { id });
            QVERIFY2(now.integer(0, 0) == s.versionAfter, s.what);
            QVERIFY2(now.text(0, 1) == (s.rows ? s.text : u"问二"_s), s.what);
            QCOMPARE(now.single(0, 2), 0.1f);
        }
        // The version is the server's: an author cannot set it.
        const PgResult forged
            = m_author.exec(u"UPDATE qelvi.questions SET version = 1 WHERE id = $1"_s, { id });
        QCOMPARE(forged.error().sqlstate, u"42501"_s);
    }

    // A locked row is told at once, never waited for.
    void lockedRowToldAtOnce()
    {
        const qint64 category = newCategory(u"锁"_s);
        PgAddress a = at(m_facts.author);
        a.statementTimeoutMs = 5000;
        PgConnection other;
        QVERIFY(!other.open(a));
        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        QVERIFY(run(
            m_author, u"SELECT 1 FROM qelvi.categories WHERE id = $1 FOR UPDATE"_s, { category })
                    .ok());
        const PgResult r = other.exec(
            u"SELECT 1 FROM qelvi.categories WHERE id = $1 FOR UPDATE NOWAIT"_s, { category });
        QVERIFY(run(m_author, u"ROLLBACK"_s).ok());
        QCOMPARE(r.error().sqlstate, u"55P03"_s);
        QCOMPARE(r.error().kind, PgError::Busy);
    }

    // What another client hears of each change: the kind and ids, once, nothing for a
    // change that changed nothing or did not land, nothing extra for rows deleted with
    // their test.
    void changesAreTold()
    {
        PgConnection listener;
        QVERIFY(!listener.open(at(m_facts.author)));
        QVERIFY(!listener.listen(u"qelvi_bank"_s));
        QSignalSpy told(&listener, &PgConnection::notified);

        const qint64 c = newCategory(u"O'Brien\"; --"_s);
        const qint64 t = newTest(u"测试 7"_s, c);
        const qint64 q = run(m_author,
            u"INSERT INTO qelvi.questions (test_id, \"题目\") VALUES ($1, 'q') RETURNING id"_s,
            { t })
                             .integer(0, 0);
        const qint64 b = run(m_author,
            u"INSERT INTO qelvi.bands (test_id, \"评价\") VALUES ($1, 'b') RETURNING id"_s, { t })
                             .integer(0, 0);
        QVERIFY(run(m_author, u"UPDATE qelvi.questions SET \"题目\" = 'q' WHERE id = $1"_s, { q })
                    .ok());
        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        newCategory(u"不会留下"_s);
        QVERIFY(run(m_author, u"ROLLBACK"_s).ok());
        QVERIFY(
            run(m_author, u"UPDATE qelvi.bands SET \"分数下限\" = 3 WHERE id = $1"_s, { b }).ok());
        QVERIFY(run(m_author, u"DELETE FROM qelvi.tests WHERE id = $1"_s, { t }).ok());
        const qint64 last = newCategory(u"最后"_s);

        const QStringList expected = {
            u"category %1"_s.arg(c),
            u"test %1 category %2"_s.arg(t).arg(c),
            u"question %1 test %2"_s.arg(q).arg(t),
            u"band %1 test %2"_s.arg(b).arg(t),
            u"band %1 test %2"_s.arg(b).arg(t),
            u"test %1 category %2"_s.arg(t).arg(c),
            u"category %1"_s.arg(last),
        };
        QTRY_COMPARE(told.count(), expected.size());
        QStringList payloads;
        for (const QList<QVariant> &n : told) {
            QCOMPARE(n.at(0).toString(), u"qelvi_bank"_s);
            payloads << n.at(1).toString();
        }
        QCOMPARE(payloads, expected);
    }

    // Texts that look like SQL, quotes, escapes and Chinese come back exactly.
    void hostileTextsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asName");
        QTest::newRow("quotes") << u"O'Brien \"x\" `y`"_s << true;
        QTest::newRow("SQL") << u"'); DELETE FROM qelvi.names; --"_s << true;
        QTest::newRow("dollar quoting") << u"$$; DROP SCHEMA qelvi CASCADE; $$"_s << true;
        QTest::newRow("backslashes") << u"\\x41\\n\\'"_s << true;
        QTest::newRow("patterns") << u"%_*?[a-z]"_s << true;
        QTest::newRow("blanks around") << u"  两边有空格  "_s << true;
        QTest::newRow("Chinese") << u"情商测试（成人版）：第一部分"_s << true;
        QTest::newRow("outside the BMP") << u"𠮷野家 😀"_s << true;
        QTest::newRow("long") << QString(255, QChar(u'题')) << true;
        QTest::newRow("control characters in a question") << u"一\r\n二\t三\x01"_s << false;
    }
    void hostileTextsRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(bool, asName);
        const qint64 category = newCategory(asName ? text : u"普通"_s);
        const qint64 test = newTest(asName ? text + u"·测"_s : u"普通测"_s, category);
        const qint64 q = run(m_author,
            u"INSERT INTO qelvi.questions (test_id, \"题目\", \"选项F\") VALUES ($1, $2, $2) "
            "RETURNING id"_s,
            { test, text })
                             .integer(0, 0);
        const PgResult r = run(m_author,
            u"SELECT c.name, t.name, q.\"题目\", q.\"选项F\" FROM qelvi.questions q "
            "JOIN qelvi.tests t ON t.id = q.test_id JOIN qelvi.categories c ON c.id = "
            "t.category_id "
            "WHERE q.id = $1"_s,
            { q });
        QCOMPARE(r.rows(), 1);
        if (asName) {
            QCOMPARE(r.text(0, 0), text);
            QCOMPARE(r.text(0, 1), text + u"·测"_s);
            QCOMPARE(run(m_admin, u"SELECT count(*) FROM qelvi.names WHERE name = $1"_s,
                         { text + u"·测评分"_s })
                         .integer(0, 0),
                1);
        }
        QCOMPARE(r.text(0, 2), text);
        QCOMPARE(r.text(0, 3), text);
    }

    // A connection that cannot be made says why in one sentence naming the server,
    // within its time bound.
    void connectionRefusals_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("sqlstate");
        QTest::newRow("no server on the socket")
            << u"empty folder"_s << int(PgError::Unreachable) << u"08001"_s;
        QTest::newRow("nothing on the port")
            << u"closed port"_s << int(PgError::Unreachable) << u"08001"_s;
        QTest::newRow("a server that never answers")
            << u"silent port"_s << int(PgError::Timeout) << u"08001"_s;
        QTest::newRow("password needed")
            << u"locked"_s << int(PgError::PasswordNeeded) << u"28P01"_s;
        QTest::newRow("wrong password")
            << u"locked password"_s << int(PgError::LoginRefused) << u"28P01"_s;
        QTest::newRow("no such role") << u"no role"_s << int(PgError::LoginRefused) << u"28000"_s;
        QTest::newRow("no such database")
            << u"no database"_s << int(PgError::Refused) << u"3D000"_s;
        QTest::newRow("TCP without verified encryption")
            << u"tcp"_s << int(PgError::Unverified) << u"08001"_s;
    }
    void connectionRefusals()
    {
        QFETCH(QString, how);
        QFETCH(int, kind);
        QFETCH(QString, sqlstate);
        QTemporaryDir empty;
        LocalPort closed(false);
        LocalPort silent(true);
        PgAddress a = at(m_facts.author);
        QString password;
        if (how == u"empty folder"_s)
            a.host = empty.path();
        if (how == u"closed port"_s || how == u"silent port"_s || how == u"tcp"_s)
            a.host = u"127.0.0.1"_s;
        if (how == u"closed port"_s)
            a.port = closed.port;
        if (how == u"silent port"_s) {
            a.port = silent.port;
            a.connectTimeoutSeconds = 1;
        }
        if (how.startsWith(u"locked"_s))
            a.user = m_facts.locked;
        if (how == u"locked password"_s)
            password = u"不是这个"_s;
        if (how == u"no role"_s)
            a.user = u"qelvi_nobody_here"_s;
        if (how == u"no database"_s)
            a.dbname = u"qelvi_missing"_s;
        PgConnection c;
        const PgError e = c.open(a, password);
        QVERIFY2(e.kind == kind, qPrintable(e.message + u'\n' + e.detail));
        QCOMPARE(e.sqlstate, sqlstate);
        QVERIFY2(
            e.message.contains(u"题库服务器“"_s + a.display() + u"”"_s), qPrintable(e.message));
        QVERIFY(e.message.endsWith(u"（SQLSTATE "_s + sqlstate + u"）"_s));
        QVERIFY(!c.isOpen());
    }

    // A libpq service names the server; what the address gives besides overrides it.
    void connectsByService_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("dbname");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("sqlstate");
        QTest::newRow("the service")
            << u"qelvi_test_bank"_s << QString() << int(PgError::None) << QString();
        QTest::newRow("its database overridden")
            << u"qelvi_test_bank"_s << u"qelvi_missing"_s << int(PgError::Refused) << u"3D000"_s;
        QTest::newRow("an unknown service")
            << u"qelvi_no_such_service"_s << QString() << int(PgError::BadSettings) << u"08001"_s;
    }
    void connectsByService()
    {
        QFETCH(QString, service);
        QFETCH(QString, dbname);
        QFETCH(int, kind);
        QFETCH(QString, sqlstate);
        QTemporaryDir folder;
        const QString file = folder.filePath(u"pg_service.conf"_s);
        const QString settings = u"[qelvi_test_bank]\nhost=%1\nport=%2\ndbname=%3\nuser=%4\n"_s.arg(
            m_facts.socket, QString::number(m_facts.port), m_facts.dbname, m_facts.author);
        QString reason;
        QVERIFY2(replaceFile(file, settings.toUtf8(), &reason), qPrintable(reason));
        const QByteArray before = qgetenv("PGSERVICEFILE");
        qputenv("PGSERVICEFILE", QFile::encodeName(file));
        const auto restore = qScopeGuard([&] { qputenv("PGSERVICEFILE", before); });
        PgAddress a;
        a.service = service;
        a.dbname = dbname;
        PgConnection c;
        const PgError e = c.open(a);
        QVERIFY2(int(e.kind) == kind, qPrintable(e.message + u'\n' + e.detail));
        QCOMPARE(e.sqlstate, sqlstate);
        if (e)
            QVERIFY(e.message.contains(u"“"_s + service));
        else
            QCOMPARE(run(c, u"SELECT current_user"_s).text(0, 0), m_facts.author);
    }

    // The server's refusals of a statement reach the author as their own sentence.
    void serverRefusals_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("sqlstate");
        QTest::newRow("disk full")
            << u"DO $$ BEGIN RAISE EXCEPTION 'full' USING ERRCODE = 'disk_full'; END $$"_s
            << int(PgError::DiskFull) << u"53100"_s;
        QTest::newRow("statement timeout")
            << u"SELECT pg_sleep(30)"_s << int(PgError::Timeout) << u"57014"_s;
        QTest::newRow("a category that holds a test")
            << u"DELETE FROM qelvi.categories"_s << int(PgError::Refused) << u"23503"_s;
    }
    void serverRefusals()
    {
        QFETCH(QString, sql);
        QFETCH(int, kind);
        QFETCH(QString, sqlstate);
        newTest(u"留着"_s, newCategory(u"有测试"_s));
        PgAddress a = at(m_facts.author);
        a.statementTimeoutMs = 300;
        PgConnection c;
        QVERIFY(!c.open(a));
        const PgResult r = c.exec(sql);
        QCOMPARE(r.error().kind, kind);
        QCOMPARE(r.error().sqlstate, sqlstate);
        QVERIFY(r.error().message.contains(a.display()));
        if (sqlstate == u"23503"_s)
            QCOMPARE(ServerNames::storeNumber(r.error()), 3112);
        QVERIFY(run(c, u"SELECT 1"_s).ok());
    }

    // A connection the server drops is told once, also while only listening, and
    // every later call says so instead of waiting.
    void droppedConnection()
    {
        PgConnection c;
        QVERIFY(!c.open(at(m_facts.author)));
        QVERIFY(!c.listen(u"qelvi_bank"_s));
        QSignalSpy lost(&c, &PgConnection::connectionLost);
        QVERIFY(run(m_admin, u"SELECT pg_terminate_backend($1)"_s, { c.serverPid() }).ok());
        QTRY_COMPARE(lost.count(), 1);
        for (int i = 0; i < 2; ++i) {
            const PgResult r = c.exec(u"SELECT 1"_s);
            QCOMPARE(r.error().kind, PgError::ConnectionLost);
            QVERIFY(r.error().message.contains(u"断开"_s));
        }
        QTest::qWait(50);
        QCOMPARE(lost.count(), 1);
    }

    // The administrator's command: makes a bank where there is none, leaves one that is
    // there, refuses what it cannot make a bank of without changing it.
    void initCommand_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<QString>("role");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("words");
        QTest::newRow("a new database")
            << u"qelvi_init_new"_s << u"create"_s << u"admin"_s << 0 << u"已建立为 Qelvi 题库"_s;
        QTest::newRow("the bank already there")
            << QString() << QString() << u"admin"_s << 0 << u"已经是 Qelvi 题库"_s;
        QTest::newRow("another schema of that name")
            << u"qelvi_init_other"_s << u"foreign"_s << u"admin"_s << 1 << u"不是 Qelvi 题库"_s;
        QTest::newRow("no such database")
            << u"qelvi_init_missing"_s << u"drop"_s << u"admin"_s << 1 << u"无法连接数据库"_s;
        QTest::newRow("not a superuser")
            << QString() << QString() << u"author"_s << 1 << u"超级用户"_s;
    }
    void initCommand()
    {
        QFETCH(QString, database);
        QFETCH(QString, prepare);
        QFETCH(QString, role);
        QFETCH(int, exitCode);
        QFETCH(QString, words);
        if (database.isEmpty())
            database = m_facts.dbname;
        if (!prepare.isEmpty()) {
            // A database name is no value a statement can take: these are fixed names.
            QVERIFY(run(m_admin, u"DROP DATABASE IF EXISTS "_s + database).ok());
            if (prepare != u"drop"_s)
                QVERIFY(run(m_admin, u"CREATE DATABASE "_s + database).ok());
        }
        if (prepare == u"foreign"_s) {
            PgAddress a = at(m_facts.admin);
            a.dbname = database;
            PgConnection there;
            QVERIFY(!there.open(a));
            QVERIFY(run(there, u"CREATE SCHEMA qelvi"_s).ok());
            QVERIFY(run(there, u"CREATE TABLE qelvi.keep (x integer)"_s).ok());
        }
        QProcess init;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PGHOST"_s, m_facts.socket);
        env.insert(u"PGPORT"_s, QString::number(m_facts.port));
        env.insert(u"PGUSER"_s, role == u"admin"_s ? m_facts.admin : m_facts.author);
        init.setProcessEnvironment(env);
        init.start(QStringLiteral(QELVI_SERVER_INIT), { database });
        QVERIFY(init.waitForFinished(60000));
        const QString said = QString::fromUtf8(init.readAllStandardError());
        QVERIFY2(init.exitCode() == exitCode, qPrintable(said));
        QVERIFY2(said.contains(words), qPrintable(said));

        if (prepare == u"create"_s || prepare == u"foreign"_s) {
            PgAddress a = at(m_facts.author);
            a.dbname = database;
            PgConnection there;
            QVERIFY(!there.open(a));
            const PgResult r = there.exec(prepare == u"create"_s
                    ? u"SELECT schema_version FROM qelvi.bank"_s
                    : u"SELECT count(*) FROM pg_tables WHERE schemaname = 'qelvi'"_s);
            QVERIFY(r.ok());
            QCOMPARE(r.integer(0, 0), 1);
        }
    }

    void cleanupTestCase()
    {
        for (const char *db : { "qelvi_init_new", "qelvi_init_other" })
            run(m_admin, u"DROP DATABASE IF EXISTS "_s + QLatin1String(db));
    }
};

QTEST_GUILESS_MAIN(tst_serverbank)
#include "serverbank.moc"
