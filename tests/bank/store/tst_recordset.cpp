// The record set on its own: the values of Single fields, refused changes, the
// walks the question and score editors make, and finding rows by name.

#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/recordset.h"
#include "support/testfolder.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Recordset : public QObject
{
    Q_OBJECT

private slots:
    void singleFieldsTakeNumbersOnly_data();
    void singleFieldsTakeNumbersOnly();
    void refusedChangeWritesNothingAndStays();
    void emptyTableWalk();
    void editorWalksThroughAddAndDelete();
    void newRecordLandsWhereTheUserExpects();
    void findFirstMatchesExactlyAndNeverGuesses();
    void rowsAddedElsewhereAppearOnRefresh();
    void conflictAskedUntilSettled_data();
    void conflictAskedUntilSettled();
    void signalsTellBindingsWhatHappened();
    void opensOnlyATableOfExactlyThatName_data();
    void opensOnlyATableOfExactlyThatName();
};

void tst_Recordset::singleFieldsTakeNumbersOnly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("shown"); // as read back
    QTest::addColumn<QVariant>("stored"); // in the file

    const QVariant null(QMetaType::fromType<double>());
    QTest::newRow("integer") << u"30"_s << 0 << u"30"_s << QVariant(30.0);
    QTest::newRow("half") << u"2.5"_s << 0 << u"2.5"_s << QVariant(2.5);
    QTest::newRow("tenth is a single") << u"0.1"_s << 0 << u"0.1"_s << QVariant(double(0.1f));
    QTest::newRow("negative") << u"-0.5"_s << 0 << u"-0.5"_s << QVariant(-0.5);
    QTest::newRow("blanks around") << u"  7 "_s << 0 << u"7"_s << QVariant(7.0);
    QTest::newRow("exponent") << u"1e3"_s << 0 << u"1000"_s << QVariant(1000.0);
    QTest::newRow("leading point") << u".5"_s << 0 << u"0.5"_s << QVariant(0.5);
    QTest::newRow("beyond single digits")
        << u"16777217"_s << 0 << u"16777216"_s << QVariant(16777216.0);
    QTest::newRow("empty is NULL") << QString() << 0 << QString() << null;
    QTest::newRow("blank is NULL") << u"  "_s << 0 << QString() << null;
    QTest::newRow("word") << u"abc"_s << int(StoreError::NotANumber) << u"1"_s << QVariant(1.0);
    QTest::newRow("two points") << u"1.2.3"_s << int(StoreError::NotANumber) << u"1"_s
                                << QVariant(1.0);
    QTest::newRow("lone minus") << u"-"_s << int(StoreError::NotANumber) << u"1"_s << QVariant(1.0);
    QTest::newRow("minus after digits")
        << u"5-"_s << int(StoreError::NotANumber) << u"1"_s << QVariant(1.0);
    QTest::newRow("too large") << u"1e39"_s << int(StoreError::NumberOutOfRange) << u"1"_s
                               << QVariant(1.0);
}

void tst_Recordset::singleFieldsTakeNumbersOnly()
{
    QFETCH(QString, typed);
    QFETCH(int, error);
    QFETCH(QString, shown);
    QFETCH(QVariant, stored);

    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"1"_s, u"2"_s, u"旧"_s } });
    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), u"T评分"_s));
    QVERIFY(rs.isSingleField(u"分数下限"_s));
    QVERIFY(!rs.isSingleField(u"评价"_s));
    QVERIFY(!rs.setValue(u"分数下限"_s, typed));
    const StoreError e = rs.Update();
    QCOMPARE(e.number(), error);
    if (error) {
        QCOMPARE(e.field(), u"分数下限"_s);
        QCOMPARE(e.text(), typed);
        QVERIFY(e.message().contains(u"分数下限"_s));
        QVERIFY(e.message().contains(typed));
        rs.release();
        QVERIFY(!rs.open(folder.bank(), u"T评分"_s));
    }
    QCOMPARE(rs.value(u"分数下限"_s), shown);
    if (folder.isServer()) {
        // Stored as a single on the server, read back by another reader.
        QCOMPARE(folder.rows(u"T评分"_s).value(0).value(0), error ? u"1"_s : shown);
        return;
    }
    StoreError problem;
    QSqlQuery q(BankFile::connection(folder.bank(), &problem));
    QVERIFY(q.exec(u"SELECT \"分数下限\" FROM \"T评分\""_s) && q.next());
    QCOMPARE(q.value(0).isNull(), stored.isNull());
    if (!stored.isNull())
        QCOMPARE(q.value(0).toDouble(), stored.toDouble());
    q.finish();
}

void tst_Recordset::refusedChangeWritesNothingAndStays()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T"_s, { { u"一"_s, u"是"_s, u"1"_s }, { u"二"_s, u"否"_s, u"0"_s } });
    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), u"T"_s));
    QVERIFY(!rs.MoveNext());

    // Two changes, one refused: neither is written, the record set does not move.
    QVERIFY(!rs.setValue(u"题目"_s, u"改过的题"_s));
    QVERIFY(!rs.setValue(u"选项A分数"_s, u"3..5"_s));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const StoreError e = attempt == 0 ? rs.MoveNext()
            : attempt == 1                ? rs.AddNew()
                                          : rs.Refresh();
        QCOMPARE(e.number(), int(StoreError::NotANumber));
        QCOMPARE(rs.AbsolutePosition(), 1);
        QVERIFY(rs.hasChanges());
    }
    QCOMPARE(folder.rows(u"T"_s).at(1).at(0), u"二"_s);

    // Mended, the same commit goes through with both changes.
    QVERIFY(!rs.setValue(u"选项A分数"_s, u"3.5"_s));
    QVERIFY(!rs.MovePrevious());
    QCOMPARE(
        folder.rows(u"T"_s).at(1).mid(0, 3), (QStringList { u"改过的题"_s, u"否"_s, u"3.5"_s }));

    // A refused new record is not stored either, and stays pending.
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"选项B分数"_s, u"x"_s));
    QCOMPARE(rs.MoveLast().number(), int(StoreError::NotANumber));
    QVERIFY(rs.isAdding());
    QCOMPARE(rs.RecordCount(), 2);
    // Closing is refused too; release() lets a window go anyway.
    QCOMPARE(rs.Close().number(), int(StoreError::NotANumber));
    QVERIFY(rs.isOpen());
    rs.release();
    QVERIFY(!rs.isOpen());
    QCOMPARE(folder.rows(u"T"_s).size(), 2);
}

void tst_Recordset::emptyTableWalk()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), u"T"_s));
    QCOMPARE(rs.AbsolutePosition(), -1);
    QCOMPARE(rs.RecordCount(), 0);
    for (auto move : { &Recordset::MoveFirst, &Recordset::MoveLast, &Recordset::MoveNext,
             &Recordset::MovePrevious })
        QCOMPARE((rs.*move)().number(), int(StoreError::NoCurrentRecord));
    QCOMPARE(rs.Delete().number(), int(StoreError::NoCurrentRecord));
    QCOMPARE(rs.Update().number(), int(StoreError::NoCurrentRecord));
    QCOMPARE(rs.setValue(u"题目"_s, u"x"_s).number(), int(StoreError::NoCurrentRecord));

    // Add-new with no change, then a move: dropped, and the move still fails.
    QVERIFY(!rs.AddNew());
    QCOMPARE(rs.Update().number(), int(StoreError::NothingPending));
    QVERIFY(rs.isAdding());
    QCOMPARE(rs.MoveLast().number(), int(StoreError::NoCurrentRecord));
    QVERIFY(!rs.isAdding());
    QCOMPARE(rs.RecordCount(), 0);
    QVERIFY(folder.rows(u"T"_s).isEmpty());
}

// The question editor's steps: 添加 on 5 questions, then 下一题; 删除 of the first.
void tst_Recordset::editorWalksThroughAddAndDelete()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    for (int i = 1; i <= 5; ++i)
        folder.addRows(u"T"_s, { { u"题%1"_s.arg(i) } });
    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), u"T"_s));

    // 添加: add-new, move last (drops the blank), count + 1, add-new.
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.MoveLast());
    QCOMPARE(rs.RecordCount() + 1, 6);
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"题目"_s, u"题6"_s));
    // 下一题: the move stores it at the end and lands on it.
    QVERIFY(!rs.MoveNext());
    QCOMPARE(rs.AbsolutePosition() + 1, 6);
    QCOMPARE(rs.value(u"题目"_s), u"题6"_s);
    QCOMPARE(folder.rows(u"T"_s).size(), 6);

    // 删除 of question 3: delete, move previous: question 2.
    QVERIFY(!rs.MoveFirst());
    QVERIFY(!rs.MoveNext());
    QVERIFY(!rs.MoveNext());
    QVERIFY(!rs.Delete());
    QCOMPARE(rs.AbsolutePosition(), -1);
    QVERIFY(!rs.hasCurrent());
    QVERIFY(!rs.MovePrevious());
    QCOMPARE(rs.value(u"题目"_s), u"题2"_s);
    // And after a delete, MoveNext goes to the record that followed.
    QVERIFY(!rs.Delete());
    QVERIFY(!rs.MoveNext());
    QCOMPARE(rs.value(u"题目"_s), u"题4"_s);

    // 删除 of question 1: before the first; a new record is begun and stored.
    QVERIFY(!rs.MoveFirst());
    QVERIFY(!rs.Delete());
    QVERIFY(!rs.MovePrevious());
    QCOMPARE(rs.AbsolutePosition(), -1);
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"题目"_s, u"新1"_s));
    // 上一题: update stores it (at the end) and it stays current.
    QVERIFY(!rs.Update());
    QCOMPARE(rs.value(u"题目"_s), u"新1"_s);
    QCOMPARE(rs.AbsolutePosition(), rs.RecordCount() - 1);

    QStringList order;
    for (const QStringList &row : folder.rows(u"T"_s))
        order << row.first();
    QCOMPARE(order, (QStringList { u"题4"_s, u"题5"_s, u"题6"_s, u"新1"_s }));
}

void tst_Recordset::newRecordLandsWhereTheUserExpects()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"0"_s, u"9"_s, u"A"_s }, { u"10"_s, u"19"_s, u"B"_s } });
    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), u"T评分"_s));

    // From a record: stored at the end, the record before add-new is current again.
    QVERIFY(!rs.AddNew());
    QCOMPARE(rs.value(u"评价"_s), QString());
    QVERIFY(!rs.setValue(u"评价"_s, u"C"_s));
    QVERIFY(!rs.commit());
    QCOMPARE(rs.AbsolutePosition(), 0);
    QCOMPARE(rs.value(u"评价"_s), u"A"_s);
    QCOMPARE(rs.RecordCount(), 3);

    // Delete while a new record is pending drops the new record; the next move back
    // goes to the last record.
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"评价"_s, u"丢弃"_s));
    QVERIFY(!rs.Delete());
    QVERIFY(!rs.isAdding());
    QCOMPARE(rs.RecordCount(), 3);
    QVERIFY(!rs.MovePrevious());
    QCOMPARE(rs.value(u"评价"_s), u"C"_s);
    QCOMPARE(rs.MoveNext().number(), 0);
    QCOMPARE(rs.MoveNext().number(), int(StoreError::NoCurrentRecord));

    // From after the last record: the stored record becomes current.
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"分数下限"_s, u"20"_s));
    QVERIFY(!rs.MovePrevious());
    QCOMPARE(rs.value(u"评价"_s), u"C"_s);
    QCOMPARE(rs.RecordCount(), 4);
    QCOMPARE(folder.rows(u"T评分"_s).last(), (QStringList { u"20"_s, QString(), QString() }));
}

void tst_Recordset::findFirstMatchesExactlyAndNeverGuesses()
{
    TestFolder folder;
    folder.addTest(u"类2"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"1"_s }, { u"59.5"_s }, { u"0.1"_s } });
    // A category's table may list one name twice in the file; the server holds each
    // name once, so there the texts are questions.
    const QString table = folder.isServer() ? u"T"_s : u"类"_s;
    const QString field = folder.isServer() ? u"题目"_s : u"测试"_s;
    if (!folder.isServer())
        folder.addCategory(table);
    folder.addRows(
        table, { { u"it's"_s }, { u"Abc"_s }, { u"abc"_s }, { u"abc"_s }, { QString() } });

    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), table));
    QVERIFY(!rs.FindFirst(field, u"abc"_s));
    QCOMPARE(rs.AbsolutePosition(), 2); // letter case counts; the first of two
    QVERIFY(!rs.FindFirst(field, u"it's"_s));
    QCOMPARE(rs.AbsolutePosition(), 0);
    QVERIFY(!rs.FindFirst(field, QString()));
    QCOMPARE(rs.AbsolutePosition(), 4);
    QCOMPARE(rs.FindFirst(u"没有"_s, u"x"_s).number(), int(StoreError::NoSuchField));

    // No match: no current record, so a change made next cannot land on another row.
    const StoreError miss = rs.FindFirst(field, u"ABC"_s);
    QCOMPARE(miss.number(), int(StoreError::NotFound));
    QCOMPARE(rs.AbsolutePosition(), -1);
    QCOMPARE(rs.setValue(field, u"改"_s).number(), int(StoreError::NoCurrentRecord));
    QCOMPARE(rs.Delete().number(), int(StoreError::NoCurrentRecord));
    QVERIFY(!rs.MoveNext());
    QCOMPARE(rs.AbsolutePosition(), 0);

    QVERIFY(!rs.open(folder.bank(), u"T评分"_s));
    QVERIFY(!rs.FindFirst(u"分数下限"_s, u"0.1"_s));
    QCOMPARE(rs.AbsolutePosition(), 2);
    QVERIFY(!rs.FindFirst(u"分数下限"_s, u"59.50"_s));
    QCOMPARE(rs.AbsolutePosition(), 1);
    QCOMPARE(rs.FindFirst(u"分数下限"_s, u"abc"_s).number(), int(StoreError::NotFound));
}

void tst_Recordset::rowsAddedElsewhereAppearOnRefresh()
{
    TestFolder folder;
    folder.addCategory(u"甲"_s);
    Recordset list, other;
    QVERIFY(!list.open(folder.bank(), u"分类列表"_s));
    QVERIFY(!other.open(folder.bank(), u"分类列表"_s));
    folder.addCategory(u"乙"_s);
    QCOMPARE(list.RecordCount(), 1);
    QCOMPARE(list.column(u"分类"_s), QStringList { u"甲"_s });

    // A record deleted by another record set: a change to it is reported.
    QVERIFY(!other.Delete());
    QCOMPARE(list.value(u"分类"_s), QString());
    QVERIFY(!list.setValue(u"分类"_s, u"丙"_s));
    QCOMPARE(list.Update().number(), int(StoreError::RecordGone));

    QVERIFY(!list.Refresh());
    QCOMPARE(list.RecordCount(), 1);
    QCOMPARE(list.value(u"分类"_s), u"乙"_s);

    // A table dropped under an open record set: Refresh says so and closes. (On the
    // server the category went with its row.)
    if (!folder.isServer())
        QVERIFY(!Catalogue::dropTable(folder.bank(), u"甲"_s));
    Recordset gone;
    QCOMPARE(gone.open(folder.bank(), u"甲"_s).number(), int(StoreError::NoSuchTable));
    QVERIFY(!gone.isOpen());
}

// Another copy writes the field again while the user is asked about its first change:
// the answer counts only for what the user saw, so the user is asked once more.
void tst_Recordset::conflictAskedUntilSettled_data()
{
    QTest::addColumn<int>("resolution");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<int>("asked");
    using R = Recordset::Resolution;
    QTest::newRow("keep mine") << int(R::KeepMine) << QStringList { u"我的"_s } << 2;
    QTest::newRow("take stored") << int(R::TakeStored) << QStringList { u"他的2"_s } << 1;
    QTest::newRow("store as new") << int(R::StoreAsNew) << QStringList { u"他的2"_s, u"我的"_s }
                                  << 1;
}

void tst_Recordset::conflictAskedUntilSettled()
{
    QFETCH(int, resolution);
    QFETCH(QStringList, stored);
    QFETCH(int, asked);

    TestFolder folder;
    folder.addCategory(u"甲"_s);
    Recordset rs;
    QVERIFY(!rs.open(folder.bank(), u"分类列表"_s));
    QCOMPARE(rs.value(u"分类"_s), u"甲"_s); // shown
    const auto otherCopy = [&](const QString &text) {
        QVERIFY(folder.changeElsewhere(u"分类列表"_s, u"分类"_s, 0, text));
    };
    otherCopy(u"他的1"_s);
    QList<Recordset::Conflict> questions;
    rs.setResolver([&](const Recordset::Conflict &c) {
        questions << c;
        if (questions.size() == 1)
            otherCopy(u"他的2"_s);
        return Recordset::Resolution(resolution);
    });
    QVERIFY(!rs.setValue(u"分类"_s, u"我的"_s));
    QVERIFY(!rs.commit());
    QCOMPARE(questions.size(), asked);
    QCOMPARE(questions.first().fields, QStringList { u"分类"_s });
    QCOMPARE(questions.first().stored, QStringList { u"他的1"_s });
    QCOMPARE(questions.last().stored.value(0), asked == 2 ? u"他的2"_s : u"他的1"_s);
    // Who stored it, where the bank knows.
    QCOMPARE(questions.first().changedBy, folder.isServer() ? u"qelvi_test_other"_s : QString());
    QCOMPARE(questions.first().changedAt.isValid(), folder.isServer());
    QVERIFY(!rs.hasChanges());
    QStringList texts;
    for (const QStringList &row : folder.rows(u"分类列表"_s))
        texts << row.value(0);
    QCOMPARE(texts, stored);
}

void tst_Recordset::signalsTellBindingsWhatHappened()
{
    TestFolder folder;
    folder.addCategory(u"甲"_s);
    Recordset rs;
    QSignalSpy landed(&rs, &Recordset::currentChanged);
    QSignalSpy rows(&rs, &Recordset::rowsChanged);
    QSignalSpy committing(&rs, &Recordset::aboutToCommit);
    QVERIFY(!rs.open(folder.bank(), u"分类列表"_s));
    QCOMPARE(landed.count(), 1);
    QCOMPARE(rows.count(), 1);

    // A failed move lands nowhere; a successful one lands once.
    QCOMPARE(rs.MovePrevious().number(), 0);
    QCOMPARE(rs.MovePrevious().number(), int(StoreError::NoCurrentRecord));
    QCOMPARE(landed.count(), 2);
    QCOMPARE(committing.count(), 2);

    // Storing a new record changes the rows and lands.
    QVERIFY(!rs.AddNew());
    QVERIFY(!rs.setValue(u"分类"_s, u"乙"_s));
    rows.clear();
    landed.clear();
    QVERIFY(!rs.MoveFirst());
    QCOMPARE(rows.count(), 1);
    QVERIFY(landed.count() >= 1);
    QCOMPARE(rs.column(u"分类"_s), (QStringList { u"甲"_s, u"乙"_s }));
}

QTEST_GUILESS_MAIN(tst_Recordset)
#include "tst_recordset.moc"

// SQLite finds tables by name without regard to ASCII case and reads its schema and
// views like tables; a record set opens only a table of the bank of exactly that name.
void tst_Recordset::opensOnlyATableOfExactlyThatName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");
    QTest::newRow("the name as made") << u"Mood 情绪"_s << true;
    QTest::newRow("lower case") << u"mood 情绪"_s << false;
    QTest::newRow("upper case") << u"MOOD 情绪"_s << false;
    QTest::newRow("no such table") << u"没有的表"_s << false;
    QTest::newRow("a view") << u"看"_s << false;
    QTest::newRow("the schema") << u"sqlite_master"_s << false;
    QTest::newRow("the schema, new name") << u"sqlite_schema"_s << false;
    QTest::newRow("the temporary schema") << u"sqlite_temp_master"_s << false;
    QTest::newRow("a quote in it") << u"Mood 情绪\" x"_s << false;
}

void tst_Recordset::opensOnlyATableOfExactlyThatName()
{
    QFETCH(QString, name);
    QFETCH(bool, opens);
    TestFolder folder;
    folder.addCategory(u"Mood 情绪"_s);
    if (!folder.isServer()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"view"_s);
        db.setDatabaseName(folder.bank());
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(u"CREATE VIEW 看 AS SELECT * FROM \"Mood 情绪\""_s));
    }
    QSqlDatabase::removeDatabase(u"view"_s);

    Recordset rs;
    const StoreError e = rs.open(folder.bank(), name);
    QCOMPARE(e.number(), opens ? 0 : int(StoreError::NoSuchTable));
    QCOMPARE(rs.isOpen(), opens);
    if (opens)
        QCOMPARE(rs.fieldNames(), QStringList { BankNames::testField() });
}
