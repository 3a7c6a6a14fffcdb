// The bank file and its list of tables: which files are refused and how, name
// clashes across categories, tests and scoring tables, hostile names, and the
// all-or-nothing actions.

#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/recordset.h"
#include "store/server/serversession.h"
#include "support/serverbanks.h"
#include "support/testfolder.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Everything in the bank: each table's name and rows.
QMap<QString, QList<QStringList>> snapshot(const TestFolder &folder)
{
    QMap<QString, QList<QStringList>> all;
    for (const QString &table : folder.tables())
        all.insert(table, folder.rows(table));
    return all;
}

bool execRaw(const TestFolder &folder, const QString &sql)
{
    StoreError error;
    QSqlDatabase db = BankFile::connection(folder.bank(), &error);
    QSqlQuery q(db);
    const bool ok = q.exec(sql);
    q.finish();
    return ok;
}

} // namespace

class tst_Catalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ServerSession::install(); }
    void brokenBankIsReportedNotReplaced_data();
    void brokenBankIsReportedNotReplaced();
    void freshBankHoldsOnlyTheCategoryList();
    void connectionFollowsTheProgramFolder();

    void createTestMakesBothTablesAndTheRow();
    void takenNamesAreRefusedWith3010_data();
    void takenNamesAreRefusedWith3010();
    void namesNoTableMayHave_data();
    void namesNoTableMayHave();
    void renamesKeepRowsAndFollowLetterCase();
    void hostileNamesRoundTripOrAreRefused_data();
    void hostileNamesRoundTripOrAreRefused();

    void actionsAreAllOrNothing();
    void rowsThatAreMissingAreNotGuessed();

    void locationsNameTheirKindOfBank_data();
    void locationsNameTheirKindOfBank();
    void recordSetFollowsItsBankLocation();
};

void tst_Catalogue::brokenBankIsReportedNotReplaced_data()
{
    QTest::addColumn<QByteArray>("bytes"); // file contents; "<dir>" for a folder, "<none>" absent
    QTest::addColumn<int>("number");

    QTest::newRow("missing") << "<none>"_ba << int(StoreError::BankMissing);
    QTest::newRow("a folder") << "<dir>"_ba << int(StoreError::BankUnreadable);
    QTest::newRow("text file") << QByteArray("这不是题库\r\n").repeated(300)
                               << int(StoreError::NotABank);
    QTest::newRow("empty file") << QByteArray() << int(StoreError::NoCategoryList);
    QTest::newRow("database without the list") << "<other>"_ba << int(StoreError::NoCategoryList);
    QTest::newRow("unreadable") << "<mode 000>"_ba << int(StoreError::BankUnreadable);
}

void tst_Catalogue::brokenBankIsReportedNotReplaced()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, number);
    if (ServerBanks::enabled())
        QSKIP("the bank file's own case");

    TestFolder folder(TestFolder::NoBank);
    const QString bank = folder.bank();
    if (bytes == "<dir>") {
        QDir().mkdir(bank);
    } else if (bytes == "<other>") {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
            db.setDatabaseName(bank);
            QVERIFY(db.open());
            QSqlQuery(db).exec(u"CREATE TABLE notes (text TEXT)"_s);
            db.close();
        }
        QSqlDatabase::removeDatabase(u"other"_s);
    } else if (bytes == "<mode 000>") {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        folder.write(u"test.mdb"_s, "x");
        QFile::setPermissions(bank, {});
    } else if (bytes != "<none>") {
        folder.write(u"test.mdb"_s, bytes);
    }
    const QByteArray before = folder.read(u"test.mdb"_s);

    Recordset rs;
    const StoreError opened = rs.open(bank, u"分类列表"_s);
    QCOMPARE(opened.number(), number);
    QVERIFY2(
        opened.message().contains(QDir::toNativeSeparators(bank)), qPrintable(opened.message()));
    QVERIFY(!rs.isOpen());
    QCOMPARE(rs.MoveFirst().number(), int(StoreError::NotOpen));

    // The catalogue refuses the same way, and nothing is created or changed.
    QCOMPARE(Catalogue::createCategory(bank, u"新类"_s).number(), number);
    QCOMPARE(BankFile::check(bank).number(), number);
    QCOMPARE(QFileInfo::exists(bank), bytes != "<none>");
    QCOMPARE(folder.read(u"test.mdb"_s), before);
}

void tst_Catalogue::freshBankHoldsOnlyTheCategoryList()
{
    TestFolder folder;
    QCOMPARE(folder.tables(), QStringList { u"分类列表"_s });
    const QList<FieldDef> fields = Catalogue::fields(folder.bank(), u"分类列表"_s);
    QCOMPARE(fields.size(), 1);
    QCOMPARE(fields.first().name, u"分类"_s);
    QVERIFY(folder.rows(u"分类列表"_s).isEmpty());
    if (folder.isServer())
        return;
    QCOMPARE(BankFile::createFreshBank(folder.bank()).number(), int(StoreError::BankExists));
}

void tst_Catalogue::connectionFollowsTheProgramFolder()
{
    if (ServerBanks::enabled())
        QSKIP("the bank file's own case");
    TestFolder first;
    first.addCategory(u"甲"_s);
    {
        TestFolder second;
        second.addCategory(u"乙"_s);
        QCOMPARE(second.rows(u"分类列表"_s), QList<QStringList> { { u"乙"_s } });
        QCOMPARE(BankFile::connectedPath(), QFileInfo(second.bank()).absoluteFilePath());
    }
    // A record set that was open on the first bank goes on working after the switch.
    Recordset rs;
    QVERIFY(!rs.open(first.bank(), u"分类列表"_s));
    {
        TestFolder third;
        third.addCategory(u"丙"_s);
    }
    QCOMPARE(rs.value(u"分类"_s), u"甲"_s);
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"分类"_s, u"丁"_s));
    QVERIFY(!rs.Update());
    QCOMPARE(first.rows(u"分类列表"_s), (QList<QStringList> { { u"甲"_s }, { u"丁"_s } }));
}

void tst_Catalogue::createTestMakesBothTablesAndTheRow()
{
    TestFolder folder;
    folder.addTest(u"性格"_s, u"老测试"_s);
    QVERIFY(!Catalogue::createTest(folder.bank(), u"新测试"_s, u"性格"_s));

    QCOMPARE(folder.tables(),
        (QStringList { u"分类列表"_s, u"性格"_s, u"老测试"_s, u"老测试评分"_s, u"新测试"_s,
            u"新测试评分"_s }));
    QStringList names, types;
    for (const FieldDef &f : Catalogue::fields(folder.bank(), u"新测试"_s)) {
        names << f.name;
        types << (f.type == FieldType::Single ? u"S"_s : u"T"_s);
    }
    QCOMPARE(names,
        (QStringList { u"题目"_s, u"选项A"_s, u"选项A分数"_s, u"选项B"_s, u"选项B分数"_s,
            u"选项C"_s, u"选项C分数"_s, u"选项D"_s, u"选项D分数"_s, u"选项E"_s, u"选项E分数"_s,
            u"选项F"_s, u"选项F分数"_s }));
    QCOMPARE(types.join(QString()), u"TTSTSTSTSTSTS"_s);
    names.clear();
    for (const FieldDef &f : Catalogue::fields(folder.bank(), u"新测试评分"_s))
        names << f.name + (f.type == FieldType::Single ? u":S"_s : u":T"_s);
    QCOMPARE(names, (QStringList { u"分数下限:S"_s, u"分数上限:S"_s, u"评价:T"_s }));

    QCOMPARE(folder.rows(u"性格"_s), (QList<QStringList> { { u"老测试"_s }, { u"新测试"_s } }));
    QVERIFY(folder.rows(u"新测试"_s).isEmpty());
    QVERIFY(folder.rows(u"新测试评分"_s).isEmpty());
    if (folder.isServer())
        return;
    // The stored schema is plain: no key, no index.
    StoreError e;
    QSqlQuery q(BankFile::connection(folder.bank(), &e));
    QVERIFY(q.exec(u"SELECT count(*) FROM sqlite_master WHERE type = 'index'"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void tst_Catalogue::takenNamesAreRefusedWith3010_data()
{
    QTest::addColumn<QString>("action"); // category, test, rename-test, rename-category
    QTest::addColumn<QString>("name");

    // The bank holds category 心理 (test Mood), category Work (test 压力).
    const struct
    {
        const char *row;
        const char *name;
    } clashes[] = {
        { "like a category", "心理" },
        { "like a test", "Mood" },
        { "like a scoring table", "Mood评分" },
        { "the category list", "分类列表" },
        { "ASCII case of a test", "mood" },
        { "ASCII case of a category", "WORK" },
        { "case of a scoring table", "MOOD评分" },
    };
    for (const char *action : { "category", "test", "rename-test", "rename-category" }) {
        for (const auto &c : clashes)
            QTest::addRow("%s %s", action, c.row)
                << QString::fromLatin1(action) << QString::fromUtf8(c.name);
    }
    // A test X评分 next to a test X: its question table is X's scoring table.
    QTest::newRow("test named X评分") << u"test"_s << u"压力评分"_s;
    // A test whose scoring table would be taken though its own name is free.
    QTest::newRow("test named W when W评分 is taken") << u"test"_s << u"Mood"_s;
}

void tst_Catalogue::takenNamesAreRefusedWith3010()
{
    QFETCH(QString, action);
    QFETCH(QString, name);

    TestFolder folder;
    folder.addTest(u"心理"_s, u"Mood"_s);
    folder.addTest(u"Work"_s, u"压力"_s);
    folder.addTest(u"Work"_s, u"Other"_s);
    folder.addCategory(u"空类"_s);
    folder.addRows(u"Mood"_s, { { u"问题"_s, u"是"_s, u"1"_s } });
    const auto before = snapshot(folder);

    StoreError e;
    if (action == u"category")
        e = Catalogue::createCategory(folder.bank(), name);
    else if (action == u"test")
        e = Catalogue::createTest(folder.bank(), name, u"心理"_s);
    else if (action == u"rename-test")
        e = Catalogue::renameTest(folder.bank(), u"Other"_s, name, u"Work"_s);
    else
        e = Catalogue::renameCategory(folder.bank(), u"空类"_s, name);
    QCOMPARE(e.number(), int(StoreError::TableExists));
    QCOMPARE(snapshot(folder), before);
}

void tst_Catalogue::namesNoTableMayHave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("empty") << QString() << int(StoreError::EmptyName);
    QTest::newRow("sqlite_ prefix") << u"sqlite_stat1"_s << int(StoreError::ReservedName);
    QTest::newRow("SQLITE_ any case") << u"SQLite_测试"_s << int(StoreError::ReservedName);
    QTest::newRow("NUL inside") << QString(u"a\0b"_s) << int(StoreError::InvalidName);
    // A line break would cut the name short in temp.txt; no control character is kept.
    QTest::newRow("newline") << u"第一行\n第二行"_s << int(StoreError::InvalidName);
    QTest::newRow("CR LF") << u"第一行\r\n第二行"_s << int(StoreError::InvalidName);
    QTest::newRow("tab") << u"甲\t乙"_s << int(StoreError::InvalidName);
    QTest::newRow("U+001F") << u"甲\u001f"_s << int(StoreError::InvalidName);
    QTest::newRow("DEL") << u"\u007f甲"_s << int(StoreError::InvalidName);
    QTest::newRow("broken UTF-16") << QString(QChar(0xD800)) << int(StoreError::InvalidName);
}

void tst_Catalogue::namesNoTableMayHave()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    TestFolder folder;
    folder.addTest(u"类"_s, u"旧"_s);
    const auto before = snapshot(folder);
    QCOMPARE(Catalogue::createCategory(folder.bank(), name).number(), number);
    QCOMPARE(Catalogue::createTest(folder.bank(), name, u"类"_s).number(), number);
    QCOMPARE(Catalogue::renameTest(folder.bank(), u"旧"_s, name, u"类"_s).number(), number);
    QCOMPARE(Catalogue::renameCategory(folder.bank(), u"类"_s, name).number(), number);
    QCOMPARE(snapshot(folder), before);
}

void tst_Catalogue::renamesKeepRowsAndFollowLetterCase()
{
    TestFolder folder;
    folder.addTest(u"mind"_s, u"quiz"_s);
    folder.addRows(u"quiz"_s, { { u"q1"_s }, { u"q2"_s } });
    folder.addRows(u"quiz评分"_s, { { u"0"_s, u"10"_s, u"好"_s } });

    // A category renamed keeps its tests.
    QVERIFY(!Catalogue::renameCategory(folder.bank(), u"mind"_s, u"心灵"_s));
    QCOMPARE(folder.rows(u"分类列表"_s), QList<QStringList> { { u"心灵"_s } });
    QCOMPARE(folder.rows(u"心灵"_s), QList<QStringList> { { u"quiz"_s } });

    // A change of letter case only goes through; both tables follow.
    QVERIFY(!Catalogue::renameTest(folder.bank(), u"quiz"_s, u"Quiz"_s, u"心灵"_s));
    QVERIFY(Catalogue::hasTable(folder.bank(), u"Quiz"_s));
    QVERIFY(!Catalogue::hasTable(folder.bank(), u"quiz"_s));
    QVERIFY(Catalogue::hasTable(folder.bank(), u"Quiz评分"_s));
    QCOMPARE(folder.rows(u"Quiz"_s).size(), 2);
    QCOMPARE(folder.rows(u"Quiz评分"_s).first(), (QStringList { u"0"_s, u"10"_s, u"好"_s }));
    QCOMPARE(folder.rows(u"心灵"_s), QList<QStringList> { { u"Quiz"_s } });

    // Renaming to the same name changes nothing and is no error.
    const auto before = snapshot(folder);
    QVERIFY(!Catalogue::renameTest(folder.bank(), u"Quiz"_s, u"Quiz"_s, u"心灵"_s));
    QCOMPARE(snapshot(folder), before);

    // A test renamed to its own scoring table's name clashes with that table.
    QCOMPARE(Catalogue::renameTest(folder.bank(), u"Quiz"_s, u"Quiz评分"_s, u"心灵"_s).number(),
        int(StoreError::TableExists));

    // After a delete the name is free again.
    QVERIFY(!Catalogue::deleteTest(folder.bank(), u"Quiz"_s, u"心灵"_s));
    QVERIFY(folder.rows(u"心灵"_s).isEmpty());
    QVERIFY(!Catalogue::createTest(folder.bank(), u"Quiz"_s, u"心灵"_s));
    QVERIFY(folder.rows(u"Quiz"_s).isEmpty());

    // A category that lists a test is kept; an empty one goes with its row.
    QCOMPARE(Catalogue::deleteCategory(folder.bank(), u"心灵"_s).number(),
        int(StoreError::CategoryNotEmpty));
    QVERIFY(!Catalogue::deleteTest(folder.bank(), u"Quiz"_s, u"心灵"_s));
    QVERIFY(!Catalogue::deleteCategory(folder.bank(), u"心灵"_s));
    QCOMPARE(folder.tables(), QStringList { u"分类列表"_s });
    QVERIFY(folder.rows(u"分类列表"_s).isEmpty());
}

void tst_Catalogue::hostileNamesRoundTripOrAreRefused_data()
{
    QTest::addColumn<QString>("name");
    const QList<QPair<const char *, QString>> names = {
        { "single quote", u"it's"_s },
        { "double quotes", u"say \"hi\""_s },
        { "lone double quote", u"\""_s },
        { "brackets", u"[x] (y) {z}"_s },
        { "semicolon", u"a; b"_s },
        { "SQL keyword", u"SELECT"_s },
        { "statement", u"x\"; DROP TABLE \"分类列表\"; --"_s },
        { "comment", u"--"_s },
        { "leading blank", u" 前"_s },
        { "trailing blank", u"后 "_s },
        { "only blanks", u"   "_s },
        { "dot", u"main.分类列表"_s },
        // The longest whose test (the name and "·2") is still within the name limit.
        { "253 characters", QString(253, QChar(u'长')) },
        { "emoji", u"😀测试🎉"_s },
        { "right to left", u"مرحبا بالعالم"_s },
        { "percent and underscore", u"50%_off"_s },
        { "just past the control characters", u"a\u0080b"_s },
        { "backslash", u"C:\\temp\\x"_s },
    };
    for (const auto &[row, name] : names)
        QTest::newRow(row) << name;
}

void tst_Catalogue::hostileNamesRoundTripOrAreRefused()
{
    QFETCH(QString, name);
    TestFolder folder;
    folder.addTest(u"守卫"_s, u"哨兵"_s);
    folder.addRows(u"哨兵"_s, { { u"别动我"_s, u"好"_s, u"2.5"_s } });
    const auto before = snapshot(folder);
    const QString bank = folder.bank();
    const QString other = name + u"·2"_s;

    QVERIFY(!Catalogue::createCategory(bank, name));
    QVERIFY(folder.tables().contains(name));
    QVERIFY(!Catalogue::createTest(bank, other, name));
    QVERIFY(folder.tables().contains(other + u"评分"_s));
    QCOMPARE(folder.rows(name), QList<QStringList> { { other } });

    // Found again by exact equality through a record set.
    Recordset rs;
    QVERIFY(!rs.open(bank, u"分类列表"_s));
    QVERIFY(!rs.FindFirst(u"分类"_s, name));
    QCOMPARE(rs.value(u"分类"_s), name);
    QVERIFY(!rs.Close());
    QVERIFY(!rs.open(bank, name));
    QVERIFY(!rs.FindFirst(u"测试"_s, other));
    QVERIFY(!rs.Close());

    // Renamed both ways and back.
    const QString renamed = u"改"_s + name;
    QVERIFY(!Catalogue::renameTest(bank, other, renamed, name));
    QCOMPARE(folder.rows(name), QList<QStringList> { { renamed } });
    QVERIFY(Catalogue::hasTable(bank, renamed + u"评分"_s));
    QVERIFY(!Catalogue::renameCategory(bank, name, renamed + u"类"_s));
    QVERIFY(!Catalogue::renameCategory(bank, renamed + u"类"_s, name));

    QVERIFY(!Catalogue::deleteTest(bank, renamed, name));
    QVERIFY(!Catalogue::deleteCategory(bank, name));
    QCOMPARE(snapshot(folder), before);
}

void tst_Catalogue::actionsAreAllOrNothing()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T"_s, { { u"问"_s } });
    folder.addCategory(u"B评分"_s); // takes the scoring table name of a test B
    const QString bank = folder.bank();

    // Create: B is free but B评分 is not; B must not stay behind.
    auto before = snapshot(folder);
    QCOMPARE(Catalogue::createTest(bank, u"B"_s, u"类"_s).number(), int(StoreError::TableExists));
    QCOMPARE(snapshot(folder), before);

    // Rename: B is free but B评分 is not; T keeps both tables and its row.
    QCOMPARE(Catalogue::renameTest(bank, u"T"_s, u"B"_s, u"类"_s).number(),
        int(StoreError::TableExists));
    QCOMPARE(snapshot(folder), before);

    // Create in a category that does not exist: no tables are left.
    QCOMPARE(
        Catalogue::createTest(bank, u"C"_s, u"没有的类"_s).number(), int(StoreError::NoSuchTable));
    QCOMPARE(snapshot(folder), before);

    // The bank file's own triggers make the last steps fail.
    if (folder.isServer())
        return;
    // Delete: the row cannot go (a trigger refuses it), so the dropped tables come back.
    QVERIFY(execRaw(folder,
        u"CREATE TRIGGER keep BEFORE DELETE ON \"类\" "
        "BEGIN SELECT RAISE(ABORT, 'kept'); END"_s));
    before = snapshot(folder);
    const StoreError e = Catalogue::deleteTest(bank, u"T"_s, u"类"_s);
    QCOMPARE(e.number(), int(StoreError::Engine));
    QVERIFY2(e.message().contains(u"kept"_s), qPrintable(e.message()));
    QCOMPARE(snapshot(folder), before);
    QVERIFY(execRaw(folder, u"DROP TRIGGER keep"_s));

    // Rename of a category: the row cannot change, so the table keeps its name.
    QVERIFY(execRaw(folder,
        u"CREATE TRIGGER keep BEFORE UPDATE ON \"分类列表\" "
        "BEGIN SELECT RAISE(ABORT, 'kept'); END"_s));
    QCOMPARE(Catalogue::renameCategory(bank, u"类"_s, u"新类"_s).number(), int(StoreError::Engine));
    QCOMPARE(snapshot(folder), before);
}

void tst_Catalogue::rowsThatAreMissingAreNotGuessed()
{
    TestFolder folder;
    folder.addTest(u"甲"_s, u"T1"_s);
    folder.addTest(u"乙"_s, u"T2"_s);
    const QString bank = folder.bank();
    const auto before = snapshot(folder);

    // T2 is listed in 乙, not in 甲: nothing is renamed or deleted, no row of 甲 changes.
    QCOMPARE(
        Catalogue::renameTest(bank, u"T2"_s, u"U"_s, u"甲"_s).number(), int(StoreError::NotFound));
    QCOMPARE(Catalogue::deleteTest(bank, u"T2"_s, u"甲"_s).number(), int(StoreError::NotFound));
    QCOMPARE(
        Catalogue::renameCategory(bank, u"没有"_s, u"新"_s).number(), int(StoreError::NoSuchTable));
    QCOMPARE(Catalogue::deleteCategory(bank, u"没有"_s).number(), int(StoreError::NotFound));
    QCOMPARE(snapshot(folder), before);

    // A test whose tables went missing can still be removed from its category. (The
    // server keeps no table apart from its row.)
    if (folder.isServer())
        return;
    QVERIFY(!Catalogue::dropTable(bank, u"T1"_s));
    QVERIFY(!Catalogue::dropTable(bank, u"T1评分"_s));
    QVERIFY(!Catalogue::deleteTest(bank, u"T1"_s, u"甲"_s));
    QVERIFY(folder.rows(u"甲"_s).isEmpty());
}

void tst_Catalogue::locationsNameTheirKindOfBank_data()
{
    QTest::addColumn<QString>("location"); // "<folder>" stands for a fresh folder
    QTest::addColumn<int>("number");

    QTest::newRow("a server not connected")
        << u"postgresql://bank.example/qelvi"_s << int(StoreError::ServerUnreachable);
    QTest::newRow("a scheme with signs")
        << u"qelvi+tls.2://host:5432/bank"_s << int(StoreError::UnknownBank);
    QTest::newRow("a colon in a folder name")
        << u"<folder>/a:b/test.mdb"_s << int(StoreError::BankMissing);
    QTest::newRow("a word and a colon") << u"notes:test.mdb"_s << int(StoreError::BankMissing);
    QTest::newRow("a drive letter") << u"C:/qelvi-none/test.mdb"_s << int(StoreError::BankMissing);
    QTest::newRow("a file's own path") << u"<folder>/test.mdb"_s << int(StoreError::None);
}

// Every way into the bank picks the kind of bank from its location alike: a location
// no backend serves is refused by name, and nothing is made for it; a path is a file.
void tst_Catalogue::locationsNameTheirKindOfBank()
{
    QFETCH(QString, location);
    QFETCH(int, number);
    TestFolder folder;
    if (folder.isServer() && number == StoreError::None)
        QSKIP("the bank file's own case");
    location.replace(u"<folder>"_s, folder.path());
    const auto here = [] { return QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot); };
    const QStringList before = here();

    Recordset rs;
    const StoreError opened = rs.open(location, u"分类列表"_s);
    QCOMPARE(opened.number(), number);
    QCOMPARE(rs.isOpen(), number == StoreError::None);
    if (number == StoreError::UnknownBank)
        QVERIFY2(opened.message().contains(location), qPrintable(opened.message()));
    StoreError listed;
    QCOMPARE(Catalogue::tables(location, &listed).isEmpty(), number != StoreError::None);
    QCOMPARE(listed.number(), number);
    QCOMPARE(Catalogue::checkNewName(location, u"新类"_s).number(), number);
    QCOMPARE(
        Catalogue::fields(location, u"分类列表"_s, &listed).isEmpty(), number != StoreError::None);
    QCOMPARE(listed.number(), number);
    QCOMPARE(Catalogue::inOneTransaction(location, [](Catalogue::Batch &) { return StoreError(); })
                 .number(),
        number);
    QCOMPARE(Catalogue::createCategory(location, u"新类"_s).number(), number);
    QCOMPARE(Catalogue::hasTable(location, u"新类"_s), number == StoreError::None);
    QCOMPARE(here(), before);
}

// One record set opened on one bank, then on another: it reads and writes the bank it
// was last opened on, also after a location that was refused.
void tst_Catalogue::recordSetFollowsItsBankLocation()
{
    if (ServerBanks::enabled())
        QSKIP("the bank file's own case");
    TestFolder first;
    first.addCategory(u"甲"_s);
    TestFolder second;
    second.addCategory(u"乙"_s);

    Recordset rs;
    QVERIFY(!rs.open(first.bank(), u"分类列表"_s));
    QCOMPARE(rs.value(u"分类"_s), u"甲"_s);
    QVERIFY(!rs.open(second.bank(), u"分类列表"_s));
    QCOMPARE(rs.value(u"分类"_s), u"乙"_s);
    QCOMPARE(
        rs.open(u"qelvi+x://host/bank"_s, u"分类列表"_s).number(), int(StoreError::UnknownBank));
    // Refused, it is bound to no table at all: nothing to read, nothing to write.
    QVERIFY(!rs.isOpen());
    QCOMPARE(rs.AddNew().number(), int(StoreError::NotOpen));
    QCOMPARE(rs.FindFirst(u"分类"_s, u"乙"_s).number(), int(StoreError::NotOpen));
    QVERIFY(rs.fieldNames().isEmpty());
    QVERIFY(!rs.hasField(u"分类"_s));
    QVERIFY(!rs.isSingleField(u"分类"_s));
    QCOMPARE(rs.value(u"分类"_s), QString());
    QVERIFY(rs.column(u"分类"_s).isEmpty());
    QCOMPARE(rs.RecordCount(), 0);

    QVERIFY(!rs.open(first.bank(), u"分类列表"_s));
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"分类"_s, u"丙"_s));
    QVERIFY(!rs.Update());
    QCOMPARE(first.rows(u"分类列表"_s), (QList<QStringList> { { u"甲"_s }, { u"丙"_s } }));
    QCOMPARE(second.rows(u"分类列表"_s), QList<QStringList> { { u"乙"_s } });
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
