// The results history file and the CSV export, without windows: what a stored file
// and a spreadsheet would show.
#include "formats/result/resultdocument.h"
#include "store/results/history.h"
#include "store/results/progress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

using Results::Answer;
using Results::History;
using Results::Record;

namespace {

Record record(const QString &test, const QString &total, const QDateTime &at,
    const QList<Answer> &answers = {})
{
    Record r;
    r.takenAt = at;
    r.test = test;
    r.category = QStringLiteral("情商测试");
    r.total = total;
    r.evaluation = QStringLiteral("评价：") + total;
    r.resultText = QStringLiteral("    你的得分是") + total + QStringLiteral("。") + r.evaluation;
    r.answers = answers;
    return r;
}

const QDateTime t0 = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15, 250));

bool write(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Runs one statement on the SQLite file at path (made when missing), as another program.
bool sql(const QString &path, const QString &statement)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        db.setDatabaseName(path);
        ok = db.open() && QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    return ok;
}

} // namespace

class tst_historyStore : public QObject
{
    Q_OBJECT

private slots:
    // Records come back whole, the user's text unchanged, newest first whatever the
    // order they were stored in; removing takes the chosen ones with their answers.
    void keepsReadsAndRemoves()
    {
        QTemporaryDir dir;
        const History history(dir.filePath(QStringLiteral("results.db")));
        QVERIFY(history.records().isEmpty());
        QVERIFY2(!QFileInfo::exists(history.path()), "reading must not create the file");

        const QList<Answer> answers {
            { 1, QStringLiteral("题目一, \"引号\"\n第二行"), QStringLiteral("A"),
                QStringLiteral("当场沉下脸"), QStringLiteral("1") },
            { 2, QStringLiteral("题目二"), QStringLiteral("F"), QString(), QStringLiteral("-2.5") }
        };
        Record middle = record(QStringLiteral("日常情商自测"), QStringLiteral("13"), t0, answers);
        Record newest = record(QStringLiteral("日常情商自测"), QStringLiteral("42"), t0.addDays(1));
        Record oldest
            = record(QStringLiteral("另一个'测试'"), QStringLiteral("3.5"), t0.addSecs(-60));
        for (Record *r : { &middle, &newest, &oldest }) {
            const StoreError e = history.append(r);
            QVERIFY2(!e, qPrintable(e.message()));
        }
        QVERIFY(middle.id > 0 && newest.id > 0 && oldest.id > 0);

        StoreError error;
        const QList<Record> read = history.records(&error);
        QVERIFY(!error);
        QCOMPARE(read.size(), 3);
        QCOMPARE(read.at(0).id, newest.id);
        QCOMPARE(read.at(1).id, middle.id);
        QCOMPARE(read.at(2).id, oldest.id);
        const Record &m = read.at(1);
        QCOMPARE(m.takenAt, t0);
        QCOMPARE(m.test, middle.test);
        QCOMPARE(m.category, middle.category);
        QCOMPARE(m.total, middle.total);
        QCOMPARE(m.evaluation, middle.evaluation);
        QCOMPARE(m.resultText, middle.resultText);
        QCOMPARE(m.answers.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(m.answers[i].question, answers[i].question);
            QCOMPARE(m.answers[i].questionText, answers[i].questionText);
            QCOMPARE(m.answers[i].option, answers[i].option);
            QCOMPARE(m.answers[i].optionText, answers[i].optionText);
            QCOMPARE(m.answers[i].score, answers[i].score);
        }
        QVERIFY(read.at(0).answers.isEmpty());

        QVERIFY(!history.remove({ middle.id, 999999 }));
        QList<Record> left = history.records();
        QCOMPARE(left.size(), 2);
        QCOMPARE(left.at(0).id, newest.id);
        QCOMPARE(left.at(1).id, oldest.id);
        // The answers went with their record: a new record never inherits them.
        QVERIFY(!history.remove({ newest.id, oldest.id }));
        QVERIFY(history.records().isEmpty());
    }

    // What a long list reads: the ids of a test's records (or of all) newest first, the
    // listed fields of chosen ids in the order asked, one record whole, and the tests
    // each once. Each agrees with the whole records read at once.
    void readsWhatAListShows_data()
    {
        QTest::addColumn<QString>("test");
        QTest::newRow("every test") << QString();
        QTest::newRow("one test") << QStringLiteral("甲");
        QTest::newRow("a quote in the name") << QStringLiteral("乙'测试");
        QTest::newRow("no record of it") << QStringLiteral("丙");
    }

    void readsWhatAListShows()
    {
        QFETCH(QString, test);
        QTemporaryDir dir;
        const History history(dir.filePath(QStringLiteral("results.db")));
        QVERIFY(history.ids(test).isEmpty());
        QVERIFY(history.tests().isEmpty());
        QCOMPARE(history.record(1).id, 0);
        QVERIFY(!QFileInfo::exists(history.path()));

        const QStringList tests { QStringLiteral("甲"), QStringLiteral("乙'测试"),
            QStringLiteral("甲"), QStringLiteral("甲") };
        // Stored out of time order; the second and third were taken at the same time.
        const int minutes[] = { 5, 1, 3, 3 };
        for (int i = 0; i < tests.size(); ++i) {
            Record r = record(tests[i], QString::number(i), t0.addSecs(60 * minutes[i]),
                { { 1, QStringLiteral("题"), QStringLiteral("B"), QStringLiteral("选项"),
                    QString::number(i) } });
            QVERIFY(!history.append(&r));
        }
        const QList<Record> whole = history.recordsOf(test);
        QList<qint64> expected;
        for (const Record &r : history.records())
            if (test.isEmpty() || r.test == test)
                expected << r.id;
        QCOMPARE(whole.size(), expected.size());
        for (int i = 0; i < whole.size(); ++i)
            QCOMPARE(whole[i].id, expected[i]);

        StoreError error;
        QCOMPARE(history.ids(test, &error), expected);
        QVERIFY(!error);
        QList<qint64> backwards(expected.rbegin(), expected.rend());
        backwards.insert(backwards.size() / 2, 999999); // not stored: passed over
        const QList<Record> listed = history.listed(backwards, &error);
        QVERIFY(!error);
        QCOMPARE(listed.size(), expected.size());
        for (int i = 0; i < listed.size(); ++i) {
            const Record &w = whole[whole.size() - 1 - i];
            QCOMPARE(listed[i].id, w.id);
            QCOMPARE(listed[i].takenAt, w.takenAt);
            QCOMPARE(listed[i].test, w.test);
            QCOMPARE(listed[i].category, w.category);
            QCOMPARE(listed[i].total, w.total);
            QCOMPARE(listed[i].evaluation, w.evaluation);
            QVERIFY(listed[i].resultText.isEmpty() && listed[i].answers.isEmpty());
            const Record one = history.record(w.id);
            QCOMPARE(one.resultText, w.resultText);
            QCOMPARE(one.answers.size(), 1);
            QCOMPARE(one.answers[0].score, w.answers[0].score);
        }
        // The chart's totals: oldest first, at the times kept.
        const QList<Results::Total> totals = history.totals(test, {}, &error);
        QVERIFY(!error);
        QCOMPARE(totals.size(), test.isEmpty() ? 0 : whole.size());
        for (int i = 0; i < totals.size(); ++i) {
            const Record &w = whole[whole.size() - 1 - i];
            QCOMPARE(totals[i].at, w.takenAt.toMSecsSinceEpoch());
            QCOMPARE(totals[i].total, w.total.toDouble());
        }
        QStringList distinct = history.tests();
        distinct.sort();
        QCOMPARE(distinct, (QStringList { QStringLiteral("乙'测试"), QStringLiteral("甲") }));
    }

    // A file of the first form (no bank, version, taker or band yet) reads with those
    // empty wherever a list reads; the next record stored adds them, and then the list
    // filters by taker and names each taker once.
    void olderFileGainsTheAddedColumns()
    {
        QTemporaryDir dir;
        const History history(dir.filePath(QStringLiteral("results.db")));
        QVERIFY(sql(history.path(),
            u"CREATE TABLE results (id INTEGER PRIMARY KEY, taken_at TEXT NOT NULL, test TEXT "
            "NOT NULL, category TEXT NOT NULL, total TEXT NOT NULL, evaluation TEXT NOT NULL, "
            "result_text TEXT NOT NULL)"_s));
        QVERIFY(sql(history.path(),
            u"INSERT INTO results VALUES (7, '2026-03-01T09:30:15.250Z', '甲', '', '3', '评价', "
            "'全文')"_s));
        QVERIFY(sql(history.path(),
            u"INSERT INTO results VALUES (8, '2026-03-01T09:00:00+08:00', '丁', '', '4.5', '', "
            "'')"_s));
        QVERIFY(sql(history.path(),
            u"CREATE TABLE answers (result_id INTEGER NOT NULL, question INTEGER NOT NULL, "
            "question_text TEXT NOT NULL, option TEXT NOT NULL, option_text TEXT NOT NULL, score "
            "TEXT NOT NULL, PRIMARY KEY (result_id, question))"_s));
        StoreError error;
        const QList<Record> listed = history.listed({ 7 }, &error);
        QVERIFY2(!error, qPrintable(error.message()));
        QCOMPARE(listed.size(), 1);
        const Record one = history.record(7, &error);
        QVERIFY(!error);
        QCOMPARE(one.resultText, u"全文"_s);
        for (const Record &r : { listed[0], one, history.records().value(0) }) {
            QCOMPARE(r.total, u"3"_s);
            QVERIFY(r.bank.isEmpty() && r.version.isEmpty() && r.taker.isEmpty());
            QCOMPARE(r.band, 0);
        }
        QVERIFY(history.takers(QString(), &error).isEmpty());
        QVERIFY(!error);
        // The chart reads the program's form of a time and any other ISO form alike.
        const auto totalOf = [&](const QString &test, const QString &version = {}) {
            const QList<Results::Total> totals = history.totals(test, version);
            return totals.size() == 1 ? std::pair(totals[0].at, totals[0].total)
                                      : std::pair(qint64(-1), -1.0);
        };
        QCOMPARE(totalOf(u"甲"_s),
            std::pair(
                QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15, 250), Qt::UTC).toMSecsSinceEpoch(),
                3.0));
        QCOMPARE(totalOf(u"丁"_s),
            std::pair(QDateTime(QDate(2026, 3, 1), QTime(1, 0), Qt::UTC).toMSecsSinceEpoch(), 4.5));
        QVERIFY(history.totals(u"甲"_s, u"0123456789abcdef"_s).isEmpty());
        QVERIFY(history.ids(u"甲"_s, u"小王"_s, &error).isEmpty());
        QVERIFY(!error);

        Record named = record(u"甲"_s, u"5"_s, t0.addDays(1));
        named.taker = u"小王"_s;
        named.version = u"0123456789abcdef"_s;
        named.band = 2;
        Record other = record(u"乙"_s, u"1"_s, t0.addDays(2));
        other.taker = u"小李"_s;
        for (Record *r : { &named, &other })
            QVERIFY(!history.append(r));
        QCOMPARE(history.ids(u"甲"_s, u"小王"_s), (QList<qint64> { named.id }));
        QCOMPARE(
            totalOf(u"甲"_s, named.version), std::pair(named.takenAt.toMSecsSinceEpoch(), 5.0));
        QCOMPARE(history.ids(u"甲"_s, QString()), (QList<qint64> { named.id, 7 }));
        QCOMPARE(history.ids(QString(), u"小李"_s), (QList<qint64> { other.id }));
        QVERIFY(history.ids(u"乙"_s, u"小王"_s).isEmpty());
        QCOMPARE(history.takers(u"甲"_s), QStringList { u"小王"_s });
        QStringList all = history.takers();
        all.sort();
        QCOMPARE(all, (QStringList { u"小李"_s, u"小王"_s }));
        const Record back = history.listed({ named.id }).value(0);
        QCOMPARE(back.taker, named.taker);
        QCOMPARE(back.version, named.version);
        QCOMPARE(back.band, 2);
        QVERIFY(history.listed({ 7 }).value(0).taker.isEmpty());
    }

    // A file that cannot take the record: nothing is stored, the failure names the
    // file, and the user's file is left as it was.
    void refusesWhatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder in its place") << QStringLiteral("folder");
        QTest::newRow("folder that does not exist") << QStringLiteral("nofolder");
    }

    void refusesWhatCannotBeWritten()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("results.db"));
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("results.db")));
        } else {
            path = dir.filePath(QStringLiteral("gone/results.db"));
        }
        const History history(path);
        Record r = record(QStringLiteral("测"), QStringLiteral("1"), t0);
        const StoreError error = history.append(&r);
        QVERIFY(error);
        QVERIFY2(
            error.message().contains(QStringLiteral("测试记录文件")), qPrintable(error.message()));
        QCOMPARE(r.id, 0);

        StoreError readError;
        QVERIFY(history.records(&readError).isEmpty());
        QCOMPARE(bool(readError), kind != QLatin1String("nofolder"));
    }

    // What may stand at results.db: each is kept in, refused with its true reason in
    // Chinese, or set aside when damaged; never waited on, never an outside file changed.
    void hostileHistory_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // part of the message, empty: the record is kept
        QTest::addColumn<QString>("aside"); // the name the damaged file is kept under
        QTest::newRow("a FIFO") << u"fifo"_s << u"不是普通文件"_s << QString();
        QTest::newRow("a link to /dev/zero") << u"zero"_s << u"不是普通文件"_s << QString();
        QTest::newRow("a dangling link") << u"dangling"_s << u"不存在"_s << QString();
        QTest::newRow("a link to another program's database")
            << u"foreign"_s << u"别的程序的表"_s << QString();
        QTest::newRow("a history of another layout")
            << u"layout"_s << u"表的结构不同"_s << QString();
        QTest::newRow("a link to an empty file outside") << u"empty"_s << QString() << QString();
        QTest::newRow("random bytes") << u"garbage"_s << QString() << u"results.db.damaged"_s;
        QTest::newRow("random bytes, the first name taken")
            << u"garbage taken"_s << QString() << u"results.db.damaged.2"_s;
    }

    void hostileHistory()
    {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QFETCH(QString, aside);
        QTemporaryDir dir;
        QTemporaryDir outside;
        QStringList told;
        Results::setNotice([&](const QString &text) { told << text; });
        const auto cleanup = qScopeGuard([] { Results::setNotice({}); });
        const QString path = dir.filePath(u"results.db"_s);
        const QString target = outside.filePath(u"other.db"_s);
        const QByteArray garbage(4096, 'x');
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"zero")
            QVERIFY(QFile::link(u"/dev/zero"_s, path));
        else if (kind == u"dangling")
            QVERIFY(QFile::link(target, path));
        else if (kind.startsWith(u"garbage"))
            QVERIFY(write(path, garbage));
        if (kind == u"garbage taken")
            QVERIFY(write(path + u".damaged"_s, "older"));
        if (kind == u"foreign" || kind == u"layout") {
            QVERIFY(sql(kind == u"foreign" ? target : path,
                kind == u"foreign" ? u"CREATE TABLE contacts (name TEXT)"_s
                                   : u"CREATE TABLE results (id INTEGER PRIMARY KEY, x TEXT)"_s));
        }
        if (kind == u"empty")
            QVERIFY(write(target, {}));
        if (kind == u"foreign" || kind == u"empty")
            QVERIFY(QFile::link(target, path));
        const QByteArray outsideBefore = bytes(target);

        for (int round = 0; round < 2; ++round) {
            Record r = record(u"测"_s, u"1"_s, t0);
            const StoreError error = History(path).append(&r);
            if (refusal.isEmpty()) {
                QVERIFY2(!error, qPrintable(error.message()));
                QCOMPARE(History(path).records().size(), round + 1);
                continue;
            }
            QVERIFY(error);
            const QString message = error.message();
            QVERIFY2(message.contains(refusal), qPrintable(message));
            // Chinese throughout, one stop at the end of each sentence.
            QVERIFY2(!message.contains(u"。。"_s), qPrintable(message));
            QVERIFY2(!QString(message)
                          .remove(QRegularExpression(u"“[^”]*”"_s))
                          .contains(QRegularExpression(u"[A-Za-z]{3}"_s)),
                qPrintable(message));
            StoreError readError;
            History(path).records(&readError);
            // Another program's file reads as a history with nothing in it.
            QCOMPARE(bool(readError), kind != u"foreign");
        }
        if (kind != u"empty")
            QCOMPARE(bytes(target), outsideBefore);
        if (!aside.isEmpty()) {
            QCOMPARE(bytes(dir.filePath(aside)), garbage);
            if (kind == u"garbage taken")
                QCOMPARE(bytes(dir.filePath(u"results.db.damaged"_s)), QByteArray("older"));
        }
        // One notice for a file set aside or a link into another folder, none otherwise.
        QCOMPARE(told.size(), (!aside.isEmpty() || kind == u"empty") ? 1 : 0);
        if (!told.isEmpty())
            QVERIFY2(
                told.first().contains(aside.isEmpty() ? target : aside), qPrintable(told.first()));
    }

    // A damaged history met when the history is read is set aside the same way.
    void damagedHistoryReadIsSetAside()
    {
        QTemporaryDir dir;
        QStringList told;
        Results::setNotice([&](const QString &text) { told << text; });
        const auto cleanup = qScopeGuard([] { Results::setNotice({}); });
        const QString path = dir.filePath(u"results.db"_s);
        QVERIFY(write(path, QByteArray(8192, '\x01')));
        StoreError error;
        QVERIFY(History(path).records(&error).isEmpty());
        QVERIFY2(!error, qPrintable(error.message()));
        QCOMPARE(told.size(), 1);
        QCOMPARE(bytes(path + u".damaged"_s), QByteArray(8192, '\x01'));
        QVERIFY(!QFileInfo::exists(path));
    }

    // The answers of a run go onto one connection held from click to click, with the file
    // in write-ahead-log mode; every answer is there for another connection at once, a file
    // set aside meanwhile is left as it was (the next answer starts the new file), and when
    // the run lets go the file is back in its rollback journal with no log beside it.
    void answersHeldBetweenClicks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"results.db"_s);
        const auto release = qScopeGuard([] { Results::Progress::release(); });
        const Results::Progress progress(path);
        // Bytes 18 and 19 of the header: 1 for the rollback journal, 2 for the log.
        const auto journal = [](const QString &file) { return int(bytes(file).at(18)); };
        for (int q = 1; q <= 3; ++q)
            QVERIFY(!progress.keep(u"测"_s, u"v1"_s, q, q % 6));
        QCOMPARE(journal(path), 2);
        QVERIFY(QFileInfo::exists(path + u"-wal"_s));
        const std::optional<Results::Unfinished> run = Results::Progress(path).load(u"测"_s);
        QVERIFY(run);
        QCOMPARE(run->options, (QList<int> { 1, 2, 3 }));

        // Set aside as damaged while held, the way the history does it.
        for (const QString &part : { u""_s, u"-wal"_s, u"-shm"_s })
            QVERIFY(QFile::rename(path + part, path + u".damaged"_s + part));
        const QByteArray asideLog = bytes(path + u".damaged-wal"_s);
        QVERIFY(!progress.keep(u"测"_s, u"v1"_s, 4, 0));
        QCOMPARE(bytes(path + u".damaged-wal"_s), asideLog);
        QVERIFY(!progress.keep(u"测"_s, u"v1"_s, 1, 5));
        QCOMPARE(Results::Progress(path).load(u"测"_s)->options, QList<int> { 5 });

        Results::Progress::release();
        QCOMPARE(journal(path), 1);
        QVERIFY(!QFileInfo::exists(path + u"-wal"_s));
        QCOMPARE(Results::Progress(path).load(u"测"_s)->options, QList<int> { 5 });
        QVERIFY(!progress.forget(u"测"_s));
        QVERIFY(!Results::Progress(path).load(u"测"_s));
        QCOMPARE(journal(path), 1);
    }

    // What a spreadsheet reads: a byte-order mark, CR LF rows, the Chinese text intact,
    // fields with commas, quotes and line breaks quoted, a column for every question.
    void csvForASpreadsheet()
    {
        Record a = record(QStringLiteral("测试, \"甲\""), QStringLiteral("3.5"), t0,
            { { 1, QStringLiteral("题"), QStringLiteral("B"), QStringLiteral("是"),
                  QStringLiteral("1.5") },
                { 2, QStringLiteral("题"), QStringLiteral("A"), QStringLiteral("否"),
                    QStringLiteral("2") } });
        a.evaluation = QStringLiteral("第一行\n第二行");
        Record b = record(QStringLiteral("乙"), QStringLiteral("-1"), t0.addSecs(3600));
        b.category.clear();

        const QByteArray bytes = ResultDocument::csv({ b, a });
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = QString::fromUtf8(bytes.mid(3));
        const QString date = ResultDocument::dateText(t0);
        const QString later = ResultDocument::dateText(t0.addSecs(3600));
        QCOMPARE(text,
            QStringLiteral("测试时间,测试分类,测试项目,得分,评价,测试者,测试版本,第1题,第2题\r\n")
                + later + QStringLiteral(",,乙,-1,评价：-1,,版本不明\r\n") + date
                + QStringLiteral(",情商测试,\"测试, \"\"甲\"\"\",3.5,\"第一行\n第二行\",,版本不明,"
                                 "B（1.5分）,A（2分）\r\n"));
    }

    // A result of the class keeps the letters only: the page and the CSV show the letter,
    // no empty score beside it; a zero score is a score.
    void lettersOnlyOfTheClass()
    {
        Record r = record(QStringLiteral("乙"), QStringLiteral("1"), t0,
            { { 1, {}, QStringLiteral("C"), {}, {} },
                { 2, QStringLiteral("题"), QStringLiteral("A"), QStringLiteral("否"),
                    QStringLiteral("0") } });
        const QString page = ResultDocument::html(r);
        QVERIFY(page.contains(QStringLiteral("选择 C.</p>")));
        QVERIFY(page.contains(QStringLiteral("选择 A. 否（0分）")));
        QVERIFY(!page.contains(QStringLiteral("（分）")));
        const QString text = QString::fromUtf8(ResultDocument::csv({ r }).mid(3));
        QVERIFY2(text.endsWith(QStringLiteral(",版本不明,C,A（0分）\r\n")), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(tst_historyStore)
#include "tst_historyStore.moc"
