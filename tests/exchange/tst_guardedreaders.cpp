// Every import source, the band sheet among them, against what a hostile folder holds in
// the file's place: nothing is waited on or read without end, and each refusal names the
// file and its true reason. Another bank is read only from its tables, through a copy.
#include "exchangebanks.h"

#include "formats/files.h"
#include "formats/text/testtext.h"
#include "support/testfolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace Exchange;

namespace {

const QString kTest = u"日常情商自测"_s;

// What stands in the file's place.
enum class Kind { Fifo, ZeroLink, Sparse, Folder };

bool place(const QString &path, Kind kind)
{
    const QByteArray name = QFile::encodeName(path);
    switch (kind) {
    case Kind::Fifo:
        return ::mkfifo(name.constData(), 0600) == 0;
    case Kind::ZeroLink:
        return QFile::link(u"/dev/zero"_s, path);
    case Kind::Sparse: {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.resize(qint64(1) << 30);
    }
    case Kind::Folder:
        return QDir().mkdir(path);
    }
    return false;
}

// The reader a window reaches for a file of this name.
QString readThrough(const QString &path)
{
    QString error;
    if (QFileInfo(path).completeBaseName() == u"评分表") {
        readBandFile(path, &error);
        return error;
    }
    QStringList notes;
    readFile(path, &notes, &error);
    return error;
}

// A bank of the program with one test of one question, whose named table is replaced
// by a view that yields rows without end.
void bankWithEndlessView(const QString &path, const QString &table, const QString &field)
{
    ExchangeBanks::withDatabase(path, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.exec(u"CREATE TABLE \"分类列表\" (\"分类\" TEXT)"_s);
        q.exec(u"INSERT INTO \"分类列表\" VALUES ('情商')"_s);
        q.exec(u"CREATE TABLE \"情商\" (\"测试\" TEXT)"_s);
        q.exec(u"INSERT INTO \"情商\" VALUES ('T')"_s);
        q.exec(u"DROP TABLE %1"_s.arg(ExchangeBanks::quote(table)));
        q.exec(u"CREATE VIEW %1 AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
               "FROM n) SELECT 'a' || x AS %2 FROM n"_s.arg(
                   ExchangeBanks::quote(table), ExchangeBanks::quote(field)));
    });
}

QStringList besides(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

} // namespace

class tst_guardedreaders : public QObject
{
    Q_OBJECT

private slots:
    void everyReaderRefusesWhatIsNoFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        const struct
        {
            const char *name;
            Kind kind;
            const char *reason;
        } kinds[] = { { "a FIFO", Kind::Fifo, "不是普通文件" },
            { "a link to /dev/zero", Kind::ZeroLink, "不是普通文件" },
            { "a 1 GB sparse file", Kind::Sparse, "超过" },
            { "a folder", Kind::Folder, "文件夹" } };
        for (const char *file :
            { "e.txt", "e.csv", "e.tsv", "e.lss", "e.mdb", "e.db", "评分表.csv" })
            for (const auto &k : kinds)
                QTest::addRow("%s, %s", file, k.name)
                    << QString::fromUtf8(file) << int(k.kind) << QString::fromUtf8(k.reason);
    }
    // Read as the import window reads it: a refusal at once, the bank untouched.
    void everyReaderRefusesWhatIsNoFile()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, reason);
        TestFolder folder(TestFolder::SampleBank);
        const QByteArray bank = ExchangeBanks::bytes(folder.bank());
        QVERIFY(place(folder.file(name), Kind(kind)));
        const QString error = readThrough(folder.file(name));
        QVERIFY2(error.contains(name) && error.contains(reason), qPrintable(error));
        QVERIFY2(!error.contains(u"。。"_s), qPrintable(error));
        QCOMPARE(ExchangeBanks::bytes(folder.bank()), bank);
        if (Kind(kind) == Kind::Sparse)
            QCOMPARE(QFileInfo(folder.file(name)).size(), qint64(1) << 30);
    }

    // A view of endless rows where a table belongs is refused unread, in Chinese.
    void anotherBankIsReadOnlyFromTables_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::newRow("the category list") << u"分类列表"_s << u"分类"_s;
        QTest::newRow("a category") << u"情商"_s << u"测试"_s;
        QTest::newRow("a test") << u"T"_s << u"题目"_s;
    }
    void anotherBankIsReadOnlyFromTables()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        TestFolder folder;
        const QString other = folder.file(u"other.db"_s);
        bankWithEndlessView(other, table, field);
        const QByteArray before = ExchangeBanks::bytes(other);
        const QString error = readThrough(other);
        QVERIFY2(error.contains(table) && error.contains(u"视图"_s), qPrintable(error));
        QCOMPARE(ExchangeBanks::bytes(other), before);
        QCOMPARE(besides(folder.path()).filter(u"other.db"_s), QStringList { u"other.db"_s });
    }

    // A bank in write-ahead-log mode is read with what its log holds, and nothing is
    // left beside it that was not there.
    void aBankInWalModeIsReadWithoutTouchingIt_data()
    {
        QTest::addColumn<bool>("writerOpen");
        QTest::newRow("closed") << false;
        QTest::newRow("another program has it open") << true;
    }
    void aBankInWalModeIsReadWithoutTouchingIt()
    {
        QFETCH(bool, writerOpen);
        TestFolder folder(TestFolder::SampleBank);
        const QString other = folder.file(u"wal.db"_s);
        QVERIFY(QFile::copy(folder.bank(), other));
        const QString writer = u"writer"_s;
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, writer);
        db.setDatabaseName(other);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"PRAGMA journal_mode = WAL"_s));
        QVERIFY(q.exec(
            u"INSERT INTO %1 (\"题目\") VALUES ('日志里的题')"_s.arg(ExchangeBanks::quote(kTest))));
        q.finish();
        if (!writerOpen) {
            db.close();
        }
        const QStringList filesBefore = besides(folder.path());
        const QByteArray before = ExchangeBanks::bytes(other);
        QString error;
        QStringList notes;
        const Package p = readFile(other, &notes, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(writeText(p).contains("日志里的题"));
        QCOMPARE(besides(folder.path()), filesBefore);
        QCOMPARE(ExchangeBanks::bytes(other), before);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(writer);
    }

    // A survey file's XML faults: the true reason in Chinese on the first line with its
    // line number, one stop, the parser's own words only on the detail line.
    void surveyFaultsAreSaidInChinese_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("tag not closed")
            << QByteArray("<document>\n<questions>\n</document>\n") << u"第 3 行不是格式正确的"_s;
        QTest::newRow("cut short") << QByteArray("<document>\n<questions>\n") << u"没有写完"_s;
        QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE d [\n<!ENTITY a \"aaaaaaaaaa\">\n";
        for (char e = 'b'; e <= 'j'; ++e)
            bomb += QByteArray("<!ENTITY ") + e + " \""
                + QByteArray(10, '&').replace("&", QByteArray("&") + char(e - 1) + ";") + "\">\n";
        bomb += "]>\n<document>&j;</document>\n";
        QTest::newRow("entities without end") << bomb << u"展开后太长"_s;
        QTest::newRow("undefined entity")
            << QByteArray("<document>&nothing;</document>") << u"实体"_s;
    }
    void surveyFaultsAreSaidInChinese()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        TestFolder folder;
        folder.write(u"s.lss"_s, bytes);
        const QString error = readThrough(folder.file(u"s.lss"_s));
        const QString first = error.section(u'\n', 0, 0);
        QVERIFY2(first.contains(reason), qPrintable(error));
        QVERIFY2(!error.contains(u"。。"_s) && first.endsWith(u'。'), qPrintable(error));
        QVERIFY2(!QString(first)
                      .remove(u"XML"_s)
                      .remove(u"s.lss"_s)
                      .contains(QRegularExpression(u"[A-Za-z]{2}"_s)),
            qPrintable(error));
    }

    // A surrogate pair given as two escapes is the one character it names.
    void anEscapedPairIsOneCharacter()
    {
        QString error;
        const Package p = readText(
            "分类: 类\n测试: 测\n题目: \"笑\\uD83D\\uDE00\"\nA 1: 是\n", u"a.txt"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(p.categories.value(0).tests.value(0).questions.value(0).text,
            std::optional<QString>(u"笑\U0001F600"_s));
    }
};

QTEST_GUILESS_MAIN(tst_guardedreaders)
#include "tst_guardedreaders.moc"
