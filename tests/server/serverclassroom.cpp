// The classroom on a real PostgreSQL cluster that the CTest fixture started: what the
// server itself lets authors and takers read and write, and qelvi.submit, whose scoring
// must equal the runner's (Scoring::) bit for bit. The cases run in a bank database of
// their own, made by qelvi-server-init as an administrator would, as the fixture's
// roles: an author and two takers.
#include "base/safefile.h"
#include "base/valuerules.h"
#include "scoring/scoring.h"
#include "store/server/pgconnection.h"
#include "support/serverbanks.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QUuid>
#include <bit>
#include <charconv>
#include <cmath>
#include <future>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

using Score = std::optional<float>; // nothing: NULL
constexpr float kInf = std::numeric_limits<float>::infinity();
const QString kDatabase = u"qelvi_classroom"_s;

template<class Row, size_t N>
void rows(const Row (&table)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].tag) << int(i);
}

QVariant nullable(const Score &s)
{
    return s ? QVariant(*s) : QVariant();
}

QVariant nullable(const QString &s)
{
    return s.isNull() ? QVariant() : QVariant(s);
}

// What a score or bound box shows for a stored single.
QString shown(const Score &s)
{
    return s ? singleText(*s) : QString();
}

QString bits(float f)
{
    return u"%1 (0x%2)"_s.arg(singleText(f)).arg(std::bit_cast<quint32>(f), 8, 16, QChar(u'0'));
}

struct Option
{
    QString text; // a null string: NULL
    Score score;
};
using Question = QList<Option>; // options A, B, ... in order

struct Band
{
    Score lower, upper;
    QString evaluation; // a null string: NULL
};

struct Scored
{
    float total = 0;
    QString evaluation;
    int band = 0;
};

// The runner's arithmetic on the answers (0 = A): the running total as frmTest keeps it
// in its box, from "0"; the band that holds the total, the last one that does.
Scored asRunner(
    const QList<Question> &questions, const QList<int> &answers, const QList<Band> &bands)
{
    QString running = u"0"_s;
    for (qsizetype i = 0; i < answers.size(); ++i)
        running = Scoring::addScore(running, shown(questions[i][answers[i]].score));
    Scored s;
    s.total = float(val(running));
    for (qsizetype i = 0; i < bands.size(); ++i) {
        if (Scoring::bandHolds(
                s.total, float(val(shown(bands[i].lower))), float(val(shown(bands[i].upper))))) {
            s.evaluation = bands[i].evaluation.isNull() ? u""_s : bands[i].evaluation;
            s.band = int(i + 1);
        }
    }
    return s;
}

QString letters(const QList<int> &answers)
{
    QStringList l;
    for (int a : answers)
        l << QString(QChar(u'A' + a));
    return u"{"_s + l.join(u',') + u"}"_s;
}

// A question whose option A is chosen with score; B and C are there not to be chosen.
Question choosing(Score score)
{
    return { { u"选这个"_s, score }, { u"另一个"_s, 1000.f }, { u"第三个"_s, -1000.f } };
}

// Cases of the runner's arithmetic: the scores chosen (option A of each question), the
// bands in order, and the evaluation the runner gives.
const struct
{
    const char *tag;
    QList<Score> scores;
    QList<Band> bands;
    QString evaluation;
} kTricky[] = {
    { "0.1 + 0.2 reaches a bound of 0.3", { 0.1f, 0.2f },
        { { 0.f, 0.29f, u"不到"_s }, { 0.3f, 0.3f, u"正好"_s } }, u"正好"_s },
    { "0.1 + 0.2 also leaves a band ending at 0.3", { 0.1f, 0.2f },
        { { 0.3f, 1.f, u"从零点三起"_s }, { 0.f, 0.29f, u"不到"_s } }, u"从零点三起"_s },
    // Added as shown, "100000000" + "0.1" - "100000000": 0.099999994 as a single.
    { "scores added as shown", { 1e8f, 0.1f, -1e8f },
        { { 0.1f, 0.1f, u"零点一"_s }, { 0.09f, 0.099999994f, u"差一点"_s } }, u"差一点"_s },
    // An integral single is shown with all its digits ("123456792"), not the shortest
    // ones ("1.2345679e+08").
    { "integral singles shown whole", { 123456792.f, -123456784.f },
        { { 8.f, 8.f, u"八"_s }, { 10.f, 10.f, u"十"_s } }, u"八"_s },
    { "59.5 as a single bound", { 59.f, 0.5f },
        { { 0.f, 59.4999f, u"差"_s }, { 59.5f, 100.f, u"及格"_s } }, u"及格"_s },
    { "16777217 is 16777216 as a single", { 16777216.f, 1.f },
        { { 16777217.f, 16777217.f, u"一千六百万"_s }, { 16777218.f, 16777218.f, u"再多二"_s } },
        u"一千六百万"_s },
    { "the last matching band wins", { 3.f, 4.f },
        { { 0.f, 10.f, u"一"_s }, { 5.f, 15.f, u"二"_s }, { 0.f, 100.f, u"三"_s },
            { 20.f, 30.f, u"四"_s } },
        u"三"_s },
    { "a lower bound above its upper bound, between", { 5.f }, { { 10.f, 0.f, u"反"_s } }, u""_s },
    { "a lower bound above its upper bound, at a bound", { 4.f, 6.f }, { { 10.f, 0.f, u"反"_s } },
        u"反"_s },
    { "negative scores", { -3.5f, -1.25f },
        { { -5.f, -4.75f, u"负"_s }, { -4.7f, 0.f, u"不够负"_s } }, u"负"_s },
    { "no band matches", { 30.f, 20.f }, { { 0.f, 10.f, u"低"_s }, { 60.f, 100.f, u"高"_s } },
        u""_s },
    { "a band without an evaluation", { 1.f }, { { 0.f, 10.f, u"有"_s }, { 0.f, 10.f, {} } },
        u""_s },
    { "no score and no bounds count 0", { {}, {} }, { { {}, {}, u"零"_s } }, u"零"_s },
    { "an infinite score counts 0", { kInf, 2.f }, { { 2.f, 2.f, u"二"_s } }, u"二"_s },
    { "a total beyond the singles is infinite", { 3e38f, 3e38f },
        { { -3.4028235e38f, 3.4028235e38f, u"全部"_s } }, u""_s },
    { "a sum that cancels to almost nothing", { 1e-45f, 1e-45f, 1e-45f, -3e-45f },
        { { 0.f, 0.f, u"零"_s } }, u"零"_s },
    { "a negative total at a reversed bound", { -2.f }, { { -2.f, -9.f, u"边上"_s } }, u"边上"_s },
};

// Handing in answers that the server refuses; nothing is kept.
enum class Target { Fixture, Unpublished, Missing, NoQuestions, NoBands };
const struct
{
    const char *tag;
    Target target;
    QString answers;
    int versionOffset;
    bool randomId;
    QString sqlstate;
} kRefusals[] = {
    { "an older version", Target::Fixture, u"{A,A,A}"_s, -1, true, u"QE002"_s },
    { "a version not there yet", Target::Fixture, u"{A,A,A}"_s, 1, true, u"QE002"_s },
    { "an unpublished test", Target::Unpublished, u"{A}"_s, 0, true, u"QE001"_s },
    { "no such test", Target::Missing, u"{A}"_s, 0, true, u"QE001"_s },
    { "a test without questions", Target::NoQuestions, u"{}"_s, 0, true, u"QE005"_s },
    { "a test without bands", Target::NoBands, u"{A}"_s, 0, true, u"QE005"_s },
    { "too few answers", Target::Fixture, u"{A,A}"_s, 0, true, u"QE003"_s },
    { "too many answers", Target::Fixture, u"{A,A,A,A}"_s, 0, true, u"QE003"_s },
    { "no answers", Target::Fixture, u"{}"_s, 0, true, u"QE003"_s },
    { "answers in two dimensions", Target::Fixture, u"{{A},{A},{A}}"_s, 0, true, u"QE003"_s },
    { "an option with empty text", Target::Fixture, u"{A,B,A}"_s, 0, true, u"QE004"_s },
    { "an option of one space", Target::Fixture, u"{A,C,A}"_s, 0, true, u"QE004"_s },
    { "an option without text", Target::Fixture, u"{A,A,D}"_s, 0, true, u"QE004"_s },
    { "an option beyond F", Target::Fixture, u"{A,G,A}"_s, 0, true, u"QE004"_s },
    { "a lower-case letter", Target::Fixture, u"{a,A,A}"_s, 0, true, u"QE004"_s },
    { "no option", Target::Fixture, u"{A,NULL,A}"_s, 0, true, u"QE004"_s },
    { "a submission id with a time in it", Target::Fixture, u"{A,A,A}"_s, 0, false, u"QE007"_s },
};

// What a role sees of the bank: published test P (category 甲), unpublished U (category
// 乙 alone) and V (category 甲 too), each with two questions and one band.
const struct
{
    const char *tag;
    QString sql;
    qint64 author, taker;
} kReading[] = {
    { "tests", u"SELECT count(*) FROM qelvi.tests"_s, 3, 1 },
    { "an unpublished test by id", u"SELECT count(*) FROM qelvi.tests WHERE name = 'U'"_s, 1, 0 },
    { "questions", u"SELECT count(*) FROM qelvi.questions"_s, 6, 2 },
    { "questions of an unpublished test",
        u"SELECT count(*) FROM qelvi.questions q JOIN qelvi.tests t ON t.id = q.test_id "
        "WHERE t.name = 'V'"_s,
        2, 0 },
    { "bands", u"SELECT count(*) FROM qelvi.bands"_s, 3, 1 },
    { "categories", u"SELECT count(*) FROM qelvi.categories"_s, 2, 1 },
    { "a category of unpublished tests only",
        u"SELECT count(*) FROM qelvi.categories WHERE name = '乙'"_s, 1, 0 },
    { "names", u"SELECT count(*) FROM qelvi.names"_s, 9, 4 },
    { "names of an unpublished test",
        u"SELECT count(*) FROM qelvi.names WHERE name IN ('U', 'U评分', 'V', 'V评分')"_s, 4, 0 },
    { "the bank's version", u"SELECT count(*) FROM qelvi.bank"_s, 1, 1 },
};

// Writes that the rights refuse (42501), for an author or a taker; nothing changes.
const struct
{
    const char *tag;
    QString role, sql;
} kRefusedWrites[] = {
    { "taker adds a category", u"taker"_s, u"INSERT INTO qelvi.categories (name) VALUES ('新')"_s },
    { "taker renames a category", u"taker"_s, u"UPDATE qelvi.categories SET name = '新'"_s },
    { "taker adds a test", u"taker"_s,
        u"INSERT INTO qelvi.tests (category_id, name) SELECT id, 'W' FROM qelvi.categories"_s },
    { "taker publishes a test", u"taker"_s, u"UPDATE qelvi.tests SET published = true"_s },
    { "taker deletes a test", u"taker"_s, u"DELETE FROM qelvi.tests"_s },
    { "taker changes a score", u"taker"_s, u"UPDATE qelvi.questions SET \"选项A分数\" = 100"_s },
    { "taker adds a question", u"taker"_s,
        u"INSERT INTO qelvi.questions (test_id) SELECT id FROM qelvi.tests"_s },
    { "taker changes a band", u"taker"_s, u"UPDATE qelvi.bands SET \"分数下限\" = -100"_s },
    { "taker deletes a band", u"taker"_s, u"DELETE FROM qelvi.bands"_s },
    { "taker writes a result", u"taker"_s,
        u"INSERT INTO qelvi.results (submission, test_name, test_version, taken_on, answers, "
        "total, evaluation, band) VALUES (gen_random_uuid(), 'P', 1, current_date, '{A,A}', "
        "100, '满分', 1)"_s },
    { "taker raises his total", u"taker"_s, u"UPDATE qelvi.results SET total = 100"_s },
    { "taker deletes a result", u"taker"_s, u"DELETE FROM qelvi.results"_s },
    { "taker reads who-finished rows underneath", u"taker"_s, u"SELECT * FROM qelvi.finishes"_s },
    { "taker writes a who-finished row", u"taker"_s,
        u"INSERT INTO qelvi.finishes VALUES (NULL, 'P', 'x', current_date)"_s },
    { "taker calls the scoring's arithmetic", u"taker"_s, u"SELECT qelvi.shown_value(1)"_s },
    { "taker sets a content version", u"taker"_s, u"UPDATE qelvi.tests SET content_version = 1"_s },
    { "author writes a result", u"author"_s,
        u"INSERT INTO qelvi.results (submission, test_name, test_version, taken_on, answers, "
        "total, evaluation, band) VALUES (gen_random_uuid(), 'P', 1, current_date, '{A,A}', "
        "100, '满分', 1)"_s },
    { "author changes a result", u"author"_s, u"UPDATE qelvi.results SET evaluation = ''"_s },
    { "author deletes a result", u"author"_s, u"DELETE FROM qelvi.results"_s },
    { "author reads who-finished rows underneath", u"author"_s, u"SELECT * FROM qelvi.finishes"_s },
    { "author sets a content version", u"author"_s,
        u"UPDATE qelvi.tests SET content_version = 100"_s },
};

// Changes to published test P and whether they raise its content version (so that
// answers given before are refused) and the row's own version.
const struct
{
    const char *tag;
    QStringList sql; // as the author, in one transaction
    bool content, row;
} kVersions[] = {
    { "a question's text", { u"UPDATE qelvi.questions SET \"题目\" = '改' WHERE id = $1"_s }, true,
        false },
    { "a score", { u"UPDATE qelvi.questions SET \"选项A分数\" = 7 WHERE id = $1"_s }, true, false },
    { "an update that changes nothing",
        { u"UPDATE qelvi.questions SET \"选项A\" = \"选项A\" WHERE id = $1"_s }, false, false },
    { "a question added",
        { u"INSERT INTO qelvi.questions (test_id, \"选项A\") SELECT test_id, 'x' FROM "
          "qelvi.questions WHERE id = $1"_s },
        true, false },
    { "a question deleted", { u"DELETE FROM qelvi.questions WHERE id = $1"_s }, true, false },
    { "a band's bound",
        { u"UPDATE qelvi.bands SET \"分数上限\" = 99 WHERE test_id = (SELECT test_id FROM "
          "qelvi.questions WHERE id = $1)"_s },
        true, false },
    { "a band deleted",
        { u"DELETE FROM qelvi.bands WHERE test_id = (SELECT test_id FROM qelvi.questions "
          "WHERE id = $1)"_s },
        true, false },
    { "a change rolled back",
        { u"UPDATE qelvi.questions SET \"题目\" = '改' WHERE id = $1"_s, u"ROLLBACK"_s }, false,
        false },
    { "the test renamed",
        { u"UPDATE qelvi.tests SET name = 'P2' WHERE id = (SELECT test_id FROM qelvi.questions "
          "WHERE id = $1)"_s },
        false, true },
    { "going back allowed",
        { u"UPDATE qelvi.tests SET going_back = true WHERE id = (SELECT test_id FROM "
          "qelvi.questions WHERE id = $1)"_s },
        false, true },
    { "made anonymous",
        { u"UPDATE qelvi.tests SET anonymous = true WHERE id = (SELECT test_id FROM "
          "qelvi.questions WHERE id = $1)"_s },
        true, true },
};

// The administrator's command that adds a login role; the role's groups afterwards.
const struct
{
    const char *tag;
    QStringList arguments; // after the database
    int exitCode;
    QString words;
    QString name;
    bool author, taker;
} kUsers[] = {
    { "an author", { u"author"_s, u"qelvi_new_author"_s }, 0, u"作者"_s, u"qelvi_new_author"_s,
        true, false },
    { "a taker", { u"taker"_s, u"qelvi_new_taker"_s }, 0, u"测试者"_s, u"qelvi_new_taker"_s, false,
        true },
    { "a name that needs quotes", { u"taker"_s, u"Li \"Ming\"; 1"_s }, 0, u"测试者"_s,
        u"Li \"Ming\"; 1"_s, false, true },
    { "a taker made an author too", { u"author"_s, u"qelvi_new_taker"_s }, 0, u"已有"_s,
        u"qelvi_new_taker"_s, true, true },
    { "neither author nor taker", { u"reader"_s, u"qelvi_new_reader"_s }, 2, u"用法"_s,
        u"qelvi_new_reader"_s, false, false },
    { "no name", { u"taker"_s }, 2, u"用法"_s, u"qelvi_new_reader"_s, false, false },
};

} // namespace

class tst_serverclassroom : public QObject
{
    Q_OBJECT

    QHash<QString, QString> m_facts;
    PgConnection m_admin; // on the classroom's database
    PgConnection m_author;
    PgConnection m_taker;
    PgConnection m_taker2;
    qint64 m_category = 0;

    PgAddress at(const QString &role, const QString &database = kDatabase)
    {
        PgAddress a { {}, m_facts[u"socket"_s], m_facts[u"port"_s].toInt(), database,
            m_facts[role] };
        a.connectTimeoutSeconds = 5;
        return a;
    }
    PgConnection &as(const QString &role)
    {
        return role == u"author"_s ? m_author
            : role == u"taker"_s   ? m_taker
            : role == u"taker2"_s  ? m_taker2
                                   : m_admin;
    }

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

    // A test of the author's, published or not; its id.
    qint64 makeTest(const QString &name, const QList<Question> &questions, const QList<Band> &bands,
        bool published = true, bool anonymous = false)
    {
        const qint64 test = run(m_author,
            u"INSERT INTO qelvi.tests (category_id, name, published, anonymous) "
            "VALUES ($1, $2, $3, $4) RETURNING id"_s,
            { m_category, name, published, anonymous })
                                .integer(0, 0);
        for (const Question &q : questions) {
            QVariantList values { test };
            for (int i = 0; i < 6; ++i) {
                values << (i < q.size() ? nullable(q[i].text) : QVariant())
                       << (i < q.size() ? nullable(q[i].score) : QVariant());
            }
            run(m_author,
                u"INSERT INTO qelvi.questions (test_id, \"题目\", \"选项A\", \"选项A分数\", "
                "\"选项B\", \"选项B分数\", \"选项C\", \"选项C分数\", \"选项D\", \"选项D分数\", "
                "\"选项E\", \"选项E分数\", \"选项F\", \"选项F分数\") "
                "VALUES ($1, '题', $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13)"_s,
                values);
        }
        for (const Band &b : bands)
            run(m_author,
                u"INSERT INTO qelvi.bands (test_id, \"分数下限\", \"分数上限\", \"评价\") "
                "VALUES ($1, $2, $3, $4)"_s,
                { test, nullable(b.lower), nullable(b.upper), nullable(b.evaluation) });
        return test;
    }
    qint64 contentVersion(qint64 test)
    {
        return count(u"SELECT content_version FROM qelvi.tests WHERE id = $1"_s, { test });
    }
    static PgResult submit(PgConnection &c, const QString &submission, qint64 test, qint64 version,
        const QString &answers)
    {
        return c.exec(u"SELECT total, evaluation, band FROM qelvi.submit($1, $2, $3, $4)"_s,
            { submission, test, version, answers });
    }
    static QString newId() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }
    // The answers scored by the server as the taker, and by the runner; they must agree.
    void scoresAsRunner(const QList<Question> &questions, const QList<int> &answers,
        const QList<Band> &bands, const QString &what)
    {
        const qint64 test = makeTest(u"比对 "_s
                + QString::number(qint64(this->count(u"SELECT count(*) FROM qelvi.tests"_s))),
            questions, bands);
        const PgResult r = submit(m_taker, newId(), test, contentVersion(test), letters(answers));
        QVERIFY2(r.ok(), qPrintable(what + u": "_s + r.error().message));
        const Scored runner = asRunner(questions, answers, bands);
        const float total = r.single(0, 0);
        QVERIFY2(std::bit_cast<quint32>(total) == std::bit_cast<quint32>(runner.total),
            qPrintable(u"%1: server %2, runner %3"_s.arg(what, bits(total), bits(runner.total))));
        QVERIFY2(r.text(0, 1) == runner.evaluation,
            qPrintable(
                u"%1: server “%2”, runner “%3”"_s.arg(what, r.text(0, 1), runner.evaluation)));
        QCOMPARE(int(r.integer(0, 2)), runner.band);
    }

private slots:
    void initTestCase()
    {
        QString reason;
        m_facts = ServerBanks::readFacts(QStringLiteral(QELVI_PG_FACTS), &reason);
        QVERIFY2(!m_facts.isEmpty(), qPrintable(u"no test server: "_s + reason));
        // A bank of our own, made as an administrator makes one.
        PgConnection postgres;
        QVERIFY(!postgres.open(at(u"admin"_s, m_facts[u"dbname"_s])));
        QVERIFY(run(postgres, u"DROP DATABASE IF EXISTS "_s + kDatabase).ok());
        QVERIFY(run(postgres, u"CREATE DATABASE "_s + kDatabase).ok());
        QProcess init;
        init.setProcessEnvironment(adminEnvironment());
        init.start(QStringLiteral(QELVI_SERVER_INIT), { kDatabase });
        QVERIFY(init.waitForFinished(60000));
        QVERIFY2(init.exitCode() == 0, init.readAllStandardError().constData());
        for (const QString &role : { u"admin"_s, u"author"_s, u"taker"_s, u"taker2"_s }) {
            const PgError e = as(role).open(at(role));
            QVERIFY2(!e, qPrintable(role + u": "_s + e.message + u'\n' + e.detail));
        }
    }

    // Every case starts from an empty bank with one category, nobody in a transaction.
    void init()
    {
        for (PgConnection *c : { &m_author, &m_taker, &m_taker2 })
            c->exec(u"ROLLBACK"_s);
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.results"_s).ok());
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.finishes"_s).ok());
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.tests"_s).ok());
        QVERIFY(run(m_admin, u"DELETE FROM qelvi.categories"_s).ok());
        m_category
            = run(m_author, u"INSERT INTO qelvi.categories (name) VALUES ('甲') RETURNING id"_s)
                  .integer(0, 0);
    }

    // A taker sees the published test, its questions, bands, category and names only;
    // an author sees everything.
    void reading_data() { rows(kReading); }
    void reading()
    {
        QFETCH(int, row);
        const auto &r = kReading[row];
        const QList<Question> two { choosing(1.f), choosing(2.f) };
        const QList<Band> one { { 0.f, 10.f, u"好"_s } };
        makeTest(u"P"_s, two, one, true);
        makeTest(u"V"_s, two, one, false);
        qint64 other
            = run(m_author, u"INSERT INTO qelvi.categories (name) VALUES ('乙') RETURNING id"_s)
                  .integer(0, 0);
        std::swap(other, m_category);
        makeTest(u"U"_s, two, one, false);
        m_category = other;
        const PgResult byAuthor = run(m_author, r.sql);
        const PgResult byTaker = run(m_taker, r.sql);
        QVERIFY(byAuthor.ok() && byTaker.ok());
        QCOMPARE(byAuthor.integer(0, 0), r.author);
        QCOMPARE(byTaker.integer(0, 0), r.taker);
    }

    void refusedWrites_data() { rows(kRefusedWrites); }
    void refusedWrites()
    {
        QFETCH(int, row);
        const auto &w = kRefusedWrites[row];
        const qint64 test = makeTest(
            u"P"_s, { choosing(1.f), choosing(2.f) }, { { 0.f, 10.f, u"好"_s } }, true, true);
        QVERIFY(submit(m_taker, newId(), test, contentVersion(test), u"{A,A}"_s).ok());
        const QString everything = u"SELECT md5(string_agg(x::text, ',' ORDER BY x::text)) FROM ("
                                   "SELECT c::text AS x FROM qelvi.categories c UNION ALL "
                                   "SELECT t::text FROM qelvi.tests t UNION ALL "
                                   "SELECT q::text FROM qelvi.questions q UNION ALL "
                                   "SELECT b::text FROM qelvi.bands b UNION ALL "
                                   "SELECT r::text FROM qelvi.results r UNION ALL "
                                   "SELECT f::text FROM qelvi.finishes f) a"_s;
        const QString before = run(m_admin, everything).text(0, 0);
        const PgResult r = as(w.role).exec(w.sql);
        QCOMPARE(r.error().sqlstate, u"42501"_s);
        QCOMPARE(run(m_admin, everything).text(0, 0), before);
    }

    // Results: a taker reads his own and no other taker's; nobody reads the name behind
    // an anonymous result, which keeps the day only; who finished it is kept apart, in no
    // order that leads to the result.
    void results()
    {
        const QList<Question> two { choosing(1.f), choosing(2.f) };
        const QList<Band> one { { 0.f, 10.f, u"好"_s } };
        const qint64 named = makeTest(u"记名"_s, two, one);
        const qint64 anonymous = makeTest(u"不记名"_s, two, one, true, true);
        const QString a1 = newId();
        QVERIFY(submit(m_taker, newId(), named, contentVersion(named), u"{A,B}"_s).ok());
        QVERIFY(submit(m_taker2, newId(), named, contentVersion(named), u"{B,A}"_s).ok());
        // The second taker finishes first: the order of writing must not show.
        QVERIFY(submit(m_taker2, newId(), anonymous, contentVersion(anonymous), u"{A,A}"_s).ok());
        QVERIFY(submit(m_taker, a1, anonymous, contentVersion(anonymous), u"{B,B}"_s).ok());
        const QString me = m_facts[u"taker"_s], other = m_facts[u"taker2"_s];

        const struct
        {
            const char *what;
            QString role, sql;
            QString result; // the first field of every row, joined with "|"
        } checks[] = {
            { "a taker's own results", u"taker"_s,
                u"SELECT taker || ' ' || test_name || ' ' || total FROM qelvi.results"_s,
                me + u" 记名 1001"_s },
            { "the other taker's own", u"taker2"_s,
                u"SELECT taker || ' ' || test_name || ' ' || total FROM qelvi.results"_s,
                other + u" 记名 1002"_s },
            { "another's result by its id", u"taker"_s,
                u"SELECT count(*) FROM qelvi.results WHERE taker = '%1'"_s.arg(other), u"0"_s },
            { "the author reads all", u"author"_s, u"SELECT count(*) FROM qelvi.results"_s,
                u"4"_s },
            { "an anonymous result names nobody and no time", u"author"_s,
                u"SELECT count(*) FROM qelvi.results WHERE test_id = %1 AND taker IS NULL "
                "AND taken_at IS NULL AND taken_on = current_date"_s.arg(anonymous),
                u"2"_s },
            { "nor anywhere in its row", u"admin"_s,
                u"SELECT count(*) FROM qelvi.results r WHERE test_id = %1 "
                "AND (position('%2' IN r::text) > 0 OR position('%3' IN r::text) > 0)"_s.arg(
                    QString::number(anonymous), me, other),
                u"0"_s },
            { "who finished, in the order of the names", u"author"_s,
                u"SELECT taker || ' ' || test_name || ' ' || (day = current_date) "
                "FROM qelvi.finished"_s,
                me + u" 不记名 true|"_s + other + u" 不记名 true"_s },
            { "a taker's own finishing", u"taker"_s, u"SELECT taker FROM qelvi.finished"_s, me },
            { "no physical place of a finishing", u"author"_s, u"SELECT ctid FROM qelvi.finished"_s,
                u"42703"_s },
            { "no transaction of a finishing", u"author"_s, u"SELECT xmin FROM qelvi.finished"_s,
                u"42703"_s },
            { "an anonymous result not even for its taker", u"taker"_s,
                u"SELECT count(*) FROM qelvi.results WHERE test_id = %1"_s.arg(anonymous), u"0"_s },
            { "a retry of it returns it", u"taker"_s,
                u"SELECT total FROM qelvi.submit('%1', %2, %3, '{B,B}')"_s.arg(a1)
                    .arg(anonymous)
                    .arg(contentVersion(anonymous)),
                u"2000"_s },
        };
        for (const auto &c : checks) {
            const PgResult r = as(c.role).exec(c.sql);
            QStringList got;
            if (!r.ok())
                got << r.error().sqlstate;
            for (int i = 0; i < r.rows(); ++i)
                got << r.text(i, 0);
            QVERIFY2(got.join(u'|') == c.result,
                qPrintable(u"%1: %2"_s.arg(QLatin1String(c.what), got.join(u'|'))));
        }
        QCOMPARE(count(u"SELECT count(*) FROM qelvi.finishes"_s), 2);
    }

    void refusals_data() { rows(kRefusals); }
    void refusals()
    {
        QFETCH(int, row);
        const auto &r = kRefusals[row];
        const QList<Question> fixture {
            { { u"一"_s, 1.f }, { u"二"_s, 2.f } },
            { { u"一"_s, 1.f }, { u""_s, 50.f }, { u" "_s, 60.f }, { u"四"_s, 4.f } },
            { { u"一"_s, 1.f }, { u"二"_s, 2.f }, { u"三"_s, 3.f }, { {}, 70.f } },
        };
        const QList<Band> bands { { 0.f, 1000.f, u"任何"_s } };
        qint64 test = 0;
        switch (r.target) {
        case Target::Fixture:
            test = makeTest(u"P"_s, fixture, bands);
            // A change after publishing: the version is not the first.
            QVERIFY(run(m_author,
                u"UPDATE qelvi.questions SET \"题目\" = '改' WHERE test_id = $1"_s, { test })
                        .ok());
            break;
        case Target::Unpublished:
            test = makeTest(u"U"_s, { choosing(1.f) }, bands, false);
            break;
        case Target::Missing:
            test = makeTest(u"M"_s, { choosing(1.f) }, bands);
            QVERIFY(run(m_author, u"DELETE FROM qelvi.tests WHERE id = $1"_s, { test }).ok());
            break;
        case Target::NoQuestions:
            test = makeTest(u"N"_s, {}, bands);
            break;
        case Target::NoBands:
            test = makeTest(u"B"_s, { choosing(1.f) }, {});
            break;
        }
        const qint64 version = r.target == Target::Missing ? 1 : contentVersion(test);
        QVERIFY(version > 0);
        const QString id = r.randomId ? newId() : u"6ba7b810-9dad-11d1-80b4-00c04fd430c8"_s;
        const PgResult refused = submit(m_taker, id, test, version + r.versionOffset, r.answers);
        QVERIFY2(refused.error().sqlstate == r.sqlstate,
            qPrintable(refused.error().sqlstate + u' ' + refused.error().detail));
        QVERIFY(!refused.error().detail.isEmpty());
        QCOMPARE(count(u"SELECT count(*) FROM qelvi.results"_s), 0);
        if (r.target == Target::Fixture && r.sqlstate != u"QE002"_s && r.randomId) {
            // The same test takes the right answers.
            QVERIFY(submit(m_taker, id, test, version, u"{A,D,C}"_s).ok());
            QCOMPARE(count(u"SELECT count(*) FROM qelvi.results"_s), 1);
        }
    }

    // No total travels from the client: a call that gives one does not exist.
    void noTotalFromTheClient()
    {
        const qint64 test = makeTest(u"P"_s, { choosing(1.f) }, { { 0.f, 10.f, u"好"_s } });
        const PgResult r = m_taker.exec(u"SELECT * FROM qelvi.submit($1, $2, $3, $4, $5)"_s,
            { newId(), test, contentVersion(test), u"{A}"_s, 100.f });
        QCOMPARE(r.error().sqlstate, u"42883"_s);
        const PgResult named = m_taker.exec(
            u"SELECT * FROM qelvi.submit(submission => $1, test_id => $2, version => $3, "
            "answers => $4, total => $5)"_s,
            { newId(), test, contentVersion(test), u"{A}"_s, 100.f });
        QCOMPARE(named.error().sqlstate, u"42883"_s);
        QCOMPARE(count(u"SELECT count(*) FROM qelvi.results"_s), 0);
    }

    // A submission handed in again, whatever happened meanwhile, is the one result.
    void sameSubmissionOnce()
    {
        const qint64 test = makeTest(u"P"_s, { choosing(1.f), choosing(2.f) },
            { { 0.f, 10.f, u"好"_s }, { 999.f, 2000.f, u"多"_s } });
        const qint64 version = contentVersion(test);
        const QString id = newId();
        const struct
        {
            const char *what;
            QString role;
            qint64 version;
            QString answers, before, result; // before: SQL run first by the author
        } steps[] = {
            { "the first time", u"taker"_s, version, u"{A,B}"_s, {}, u"1001 多 2"_s },
            { "again", u"taker"_s, version, u"{A,B}"_s, {}, u"1001 多 2"_s },
            { "again after the test changed", u"taker"_s, version, u"{A,B}"_s,
                u"UPDATE qelvi.questions SET \"选项B分数\" = 0 WHERE test_id = %1"_s.arg(test),
                u"1001 多 2"_s },
            { "again after it was withdrawn", u"taker"_s, version, u"{A,B}"_s,
                u"UPDATE qelvi.tests SET published = false WHERE id = %1"_s.arg(test),
                u"1001 多 2"_s },
            { "with other answers", u"taker"_s, version, u"{A,A}"_s, {}, u"QE006"_s },
            { "by another taker", u"taker2"_s, version, u"{A,B}"_s, {}, u"QE006"_s },
        };
        for (const auto &s : steps) {
            if (!s.before.isEmpty())
                QVERIFY(run(m_author, s.before).ok());
            const PgResult r = submit(as(s.role), id, test, s.version, s.answers);
            const QString got = r.ok()
                ? u"%1 %2 %3"_s.arg(singleText(r.single(0, 0)), r.text(0, 1), r.text(0, 2))
                : r.error().sqlstate;
            QVERIFY2(got == s.result, qPrintable(QLatin1String(s.what) + u": "_s + got));
            QCOMPARE(count(u"SELECT count(*) FROM qelvi.results"_s), 1);
        }
    }

    // Two copies hand in the same submission at the same moment: one row.
    void sameSubmissionAtOnce()
    {
        const qint64 test = makeTest(u"P"_s, { choosing(1.f) }, { { 0.f, 10.f, u"好"_s } });
        const qint64 version = contentVersion(test);
        PgConnection second;
        QVERIFY(!second.open(at(u"taker"_s)));
        for (int round = 0; round < 20; ++round) {
            const QString id = newId();
            auto other = std::async(
                std::launch::async, [&] { return submit(second, id, test, version, u"{A}"_s); });
            const PgResult mine = submit(m_taker, id, test, version, u"{A}"_s);
            const PgResult theirs = other.get();
            QVERIFY2(mine.ok() && theirs.ok(),
                qPrintable(mine.error().message + theirs.error().message));
            QCOMPARE(mine.single(0, 0), 1.f);
            QCOMPARE(theirs.single(0, 0), 1.f);
        }
        QCOMPARE(count(u"SELECT count(*) FROM qelvi.results"_s), 20);
    }

    void versions_data() { rows(kVersions); }
    void versions()
    {
        QFETCH(int, row);
        const auto &v = kVersions[row];
        const qint64 test = makeTest(u"P"_s, { choosing(1.f), choosing(2.f) },
            { { 0.f, 10.f, u"好"_s }, { 0.f, 10.f, u"也好"_s } });
        const qint64 question
            = count(u"SELECT min(id) FROM qelvi.questions WHERE test_id = $1"_s, { test });
        const qint64 content = contentVersion(test);
        const qint64 rowVersion
            = count(u"SELECT version FROM qelvi.tests WHERE id = $1"_s, { test });
        QVERIFY(run(m_author, u"BEGIN"_s).ok());
        for (const QString &sql : v.sql)
            QVERIFY(run(
                m_author, sql, sql.contains(u"$1"_s) ? QVariantList { question } : QVariantList {})
                        .ok());
        // Raised at the commit only: until then the taker answers what he was given, and
        // his answers are scored without waiting for the author's transaction.
        QCOMPARE(contentVersion(test), content);
        const qint64 questions
            = count(u"SELECT count(*) FROM qelvi.questions WHERE test_id = $1"_s, { test });
        QVERIFY(
            submit(m_taker, newId(), test, content, questions == 2 ? u"{A,A}"_s : u"{A}"_s).ok());
        run(m_author, u"COMMIT"_s);
        QCOMPARE(contentVersion(test) > content, v.content);
        QCOMPARE(count(u"SELECT version FROM qelvi.tests WHERE id = $1"_s, { test }) > rowVersion,
            v.row);
        const qint64 now
            = count(u"SELECT count(*) FROM qelvi.questions WHERE test_id = $1"_s, { test });
        const QString answers = QStringList(now, u"A"_s).join(u',');
        const PgResult old = submit(m_taker, newId(), test, content, u"{"_s + answers + u"}"_s);
        QCOMPARE(old.error().sqlstate, v.content ? u"QE002"_s : QString());
        if (v.content) {
            // The taker reads the version now published, starts again and is scored.
            const qint64 current
                = run(m_taker, u"SELECT content_version FROM qelvi.tests WHERE id = $1"_s, { test })
                      .integer(0, 0);
            QCOMPARE(current, contentVersion(test));
            const PgResult again
                = submit(m_taker, newId(), test, current, u"{"_s + answers + u"}"_s);
            QVERIFY2(again.ok() || again.error().sqlstate == u"QE005"_s,
                qPrintable(again.error().message));
        }
    }

    // An author's test made with a version of his own and published at once: the server
    // gives it the first version.
    void firstVersionIsTheServers()
    {
        const PgResult r = run(m_author,
            u"INSERT INTO qelvi.tests (category_id, name, published, content_version) "
            "VALUES ($1, 'P', true, 41) RETURNING content_version, published"_s,
            { m_category });
        QCOMPARE(r.integer(0, 0), 1);
        QCOMPARE(r.text(0, 1), u"t"_s);
    }

    // The server's scoring equals the runner's on the cases where a careless sum or
    // comparison would differ.
    void scoringAsRunner_data() { rows(kTricky); }
    void scoringAsRunner()
    {
        QFETCH(int, row);
        const auto &t = kTricky[row];
        QList<Question> questions;
        for (const Score &s : t.scores)
            questions << choosing(s);
        const QList<int> answers(t.scores.size(), 0);
        QCOMPARE(asRunner(questions, answers, t.bands).evaluation, t.evaluation);
        scoresAsRunner(questions, answers, t.bands, QLatin1String(t.tag));
    }

    // And on a few hundred tests made at random from such values.
    void scoringAsRunnerAtRandom()
    {
        const quint32 start = 20261209;
        QRandomGenerator random(start);
        const float pool[]
            = { 0.1f, 0.2f, 0.3f, 0.7f, 59.5f, 16777217.f, 123456792.f, -123456784.f, 1e14f, 1e15f,
                  1e-45f, 3e38f, -0.1f, 0.f, -0.f, 1e8f, kInf, 33.33f, 1.f / 3, 2.5f, -7.f };
        const auto score = [&]() -> Score {
            switch (random.bounded(8)) {
            case 0:
                return pool[random.bounded(int(std::size(pool)))];
            case 1:
                return float(random.bounded(-20, 21));
            case 2:
                return float(random.bounded(-1000, 1001)) / 10;
            case 3:
                return float(random.bounded(-10000, 10001)) / 100;
            case 4: {
                float f;
                do
                    f = std::bit_cast<float>(random.generate());
                while (!std::isfinite(f));
                return f;
            }
            case 5:
                return std::nullopt;
            case 6:
                return float(random.bounded(-100000, 100001)) / 1000 * 1e6f;
            default:
                return float(random.generateDouble() * 200 - 100);
            }
        };
        const QString texts[] = { u"选项"_s, u""_s, u" "_s, QString(), u"  "_s };
        for (int n = 0; n < 300; ++n) {
            QList<Question> questions;
            QList<int> answers;
            const int count = random.bounded(1, 9);
            for (int i = 0; i < count; ++i) {
                Question q;
                const int options = random.bounded(1, 7);
                QList<int> visible;
                for (int o = 0; o < options; ++o) {
                    const QString text = random.bounded(3) ? texts[0] : texts[random.bounded(5)];
                    q << Option { text, score() };
                    if (!Scoring::isBlankOption(text.isNull() ? u""_s : text))
                        visible << o;
                }
                if (visible.isEmpty()) {
                    q[0].text = u"选项"_s;
                    visible << 0;
                }
                answers << visible[random.bounded(int(visible.size()))];
                questions << q;
            }
            // Bounds near the total of these very answers, so that bands are met too.
            const float reached = asRunner(questions, answers, {}).total;
            const auto bound = [&]() -> Score {
                switch (random.bounded(5)) {
                case 0:
                    return reached;
                case 1:
                    return std::nextafter(reached, random.bounded(2) ? kInf : -kInf);
                case 2:
                    return score();
                default:
                    return reached + float(random.bounded(-30, 31)) / 10;
                }
            };
            QList<Band> bands;
            const int bandCount = random.bounded(1, 7);
            for (int b = 0; b < bandCount; ++b) {
                Score low = bound(), high = bound();
                if (low && high && random.bounded(4) && *low > *high)
                    std::swap(low, high);
                bands << Band { low, high, random.bounded(8) ? u"评价%1"_s.arg(b) : QString() };
            }
            scoresAsRunner(
                questions, answers, bands, u"random test %1 (from %2)"_s.arg(n).arg(start));
            if (QTest::currentTestFailed())
                return;
        }
    }

    // The two steps of the server's arithmetic on their own (as the administrator, who
    // may call them): a shown single read as the runner reads it, a double made a single
    // as a C cast makes it, over many values at random.
    void arithmeticSteps()
    {
        QRandomGenerator random(4711);
        QList<float> singles { 16777217.f, 123456792.f, 1e14f, 1e15f, 999999986991104.f, 1e16f,
            1e-45f, 1e-5f, 0.0001f, 9.99999e-5f, 3.4028235e38f, -3.4028235e38f, 59.5f, 0.1f, -0.f,
            kInf, -kInf, std::numeric_limits<float>::quiet_NaN() };
        while (singles.size() < 20000) {
            const float f = std::bit_cast<float>(random.generate());
            singles << f;
            if (std::isfinite(f))
                singles << std::trunc(f);
        }
        QStringList texts;
        for (float f : singles) {
            char digits[64];
            texts << QString::fromLatin1(
                digits, std::to_chars(digits, digits + 64, f).ptr - digits);
        }
        const PgResult read = run(m_admin,
            u"SELECT qelvi.shown_value(v) FROM unnest($1::real[]) WITH ORDINALITY AS a (v, n) "
            "ORDER BY n"_s,
            { u"{"_s + texts.join(u',') + u"}"_s });
        QCOMPARE(read.rows(), int(singles.size()));
        for (int i = 0; i < read.rows(); ++i) {
            const QByteArray text = read.text(i, 0).toLatin1();
            double server = 0;
            std::from_chars(text.begin(), text.end(), server);
            const double runner = val(singleText(singles[i]));
            QVERIFY2(std::bit_cast<quint64>(server) == std::bit_cast<quint64>(runner),
                qPrintable(u"%1: server %2, runner %3"_s.arg(
                    texts[i], read.text(i, 0), doubleText(runner))));
        }

        QList<double> doubles { 0x1p128 - 0x1p103, std::nextafter(0x1p128 - 0x1p103, 0.),
            -(0x1p128 - 0x1p103), 0x1p-150, std::nextafter(0x1p-150, 1.), -0x1p-150, 0x1p-149 * 1.5,
            5.551115123125783e-17, 0.30000000000000004, 16777217., 0. };
        while (doubles.size() < 20000) {
            const double d = std::bit_cast<double>(random.generate64());
            if (std::isfinite(d))
                doubles << d;
        }
        QStringList dtexts;
        for (double d : doubles) {
            char digits[64];
            dtexts << QString::fromLatin1(
                digits, std::to_chars(digits, digits + 64, d).ptr - digits);
        }
        const PgResult made = run(m_admin,
            u"SELECT qelvi.single_of(v) FROM unnest($1::float8[]) WITH ORDINALITY AS a (v, n) "
            "ORDER BY n"_s,
            { u"{"_s + dtexts.join(u',') + u"}"_s });
        QCOMPARE(made.rows(), int(doubles.size()));
        for (int i = 0; i < made.rows(); ++i) {
            const float runner = float(doubles[i]);
            const float server = made.single(i, 0);
            QVERIFY2(std::bit_cast<quint32>(server) == std::bit_cast<quint32>(runner)
                    || (server == 0 && runner == 0),
                qPrintable(
                    u"%1: server %2, runner %3"_s.arg(dtexts[i], bits(server), bits(runner))));
        }
    }

    // The administrator's command that adds an author or a taker.
    void userCommand_data() { rows(kUsers); }
    void userCommand()
    {
        QFETCH(int, row);
        const auto &u = kUsers[row];
        QProcess p;
        p.setProcessEnvironment(adminEnvironment());
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(QStringLiteral(QELVI_SERVER_USER), QStringList { kDatabase } + u.arguments);
        QVERIFY(p.waitForFinished(60000));
        const QString said = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == u.exitCode && said.contains(u.words), qPrintable(said));
        const PgResult r = run(m_admin,
            u"SELECT rolcanlogin, rolpassword IS NULL, "
            "pg_has_role(oid, 'qelvi_authors', 'MEMBER'), "
            "pg_has_role(oid, 'qelvi_takers', 'MEMBER') FROM pg_authid WHERE rolname = $1"_s,
            { u.name });
        QCOMPARE(r.rows(), u.exitCode == 0 ? 1 : 0);
        if (r.rows() == 1) {
            QCOMPARE(r.text(0, 0), u"t"_s);
            QCOMPARE(r.text(0, 1), u"t"_s); // no terminal: no password
            QCOMPARE(r.text(0, 2), u.author ? u"t"_s : u"f"_s);
            QCOMPARE(r.text(0, 3), u.taker ? u"t"_s : u"f"_s);
        }
    }

    void cleanupTestCase()
    {
        for (PgConnection *c : { &m_admin, &m_author, &m_taker, &m_taker2 })
            c->close();
        PgConnection postgres;
        if (!postgres.open(at(u"admin"_s, m_facts[u"dbname"_s]))) {
            postgres.exec(u"DROP DATABASE IF EXISTS "_s + kDatabase);
            for (const QString &role : { u"qelvi_new_author"_s, u"qelvi_new_taker"_s })
                postgres.exec(u"DROP ROLE IF EXISTS "_s + role);
            postgres.exec(u"DROP ROLE IF EXISTS \"Li \"\"Ming\"\"; 1\""_s);
        }
    }

private:
    QProcessEnvironment adminEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PGHOST"_s, m_facts[u"socket"_s]);
        env.insert(u"PGPORT"_s, m_facts[u"port"_s]);
        env.insert(u"PGUSER"_s, m_facts[u"admin"_s]);
        return env;
    }
};

QTEST_GUILESS_MAIN(tst_serverclassroom)
#include "serverclassroom.moc"
