// Two copies of the program on one server bank: what the other copy stores appears in
// this copy's windows without a click, and what this copy's user is typing stays as
// typed. Runs on the suite's server (tests/CMakeLists.txt); a bank file tells no other
// copy anything, its windows read again when they move.
#include "binding/DBList.h"
#include "binding/Data.h"
#include "store/banknews.h"
#include "support/serverbanks.h"
#include "support/testfolder.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void otherCopy(const QString &sql, const QVariantList &values)
{
    const PgResult r = ServerBanks::otherCopy().exec(sql, values);
    QVERIFY2(r.ok(), qPrintable(r.error().message));
}

} // namespace

class tst_SharedBank : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!ServerBanks::enabled())
            QSKIP("a bank file tells no other copy");
    }

    void listShowsWhatAnotherCopyStores()
    {
        TestFolder folder;
        folder.addCategory(u"甲"_s);
        QWidget window;
        auto *data = new Data(&window);
        data->hide();
        auto *list = new DBList(&window);
        list->setGeometry(0, 0, 200, 200);
        list->setRowSource(data, u"分类"_s);
        data->setDatabaseName(folder.bank());
        data->setRecordSource(u"分类列表"_s);
        QVERIFY(!data->Refresh());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(list->Text(), u"甲"_s);

        otherCopy(u"INSERT INTO qelvi.categories (name) VALUES ($1)"_s, { u"乙"_s });
        QTRY_COMPARE(entries(list), (QStringList { u"甲"_s, u"乙"_s }));
        QCOMPARE(list->Text(), u"甲"_s); // the user's choice stays
        otherCopy(u"UPDATE qelvi.categories SET name = $1 WHERE name = $2"_s, { u"丁"_s, u"甲"_s });
        QTRY_COMPARE(entries(list), (QStringList { u"丁"_s, u"乙"_s }));
        otherCopy(u"DELETE FROM qelvi.categories WHERE name = $1"_s, { u"乙"_s });
        QTRY_COMPARE(entries(list), QStringList { u"丁"_s });
    }

    void typedTextStaysWhileAnotherCopyStores()
    {
        TestFolder folder;
        folder.addTest(u"类"_s, u"T"_s);
        folder.addRows(u"T"_s, { { u"一"_s }, { u"二"_s } });
        QWidget window;
        auto *data = new Data(&window);
        auto *box = new QLineEdit(&window);
        data->bind(box, u"题目"_s);
        data->setDatabaseName(folder.bank());
        data->setRecordSource(u"T"_s);
        QVERIFY(!data->Refresh());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(box->text(), u"一"_s);
        box->selectAll();
        QTest::keyClicks(box, u"mine"_s);

        QSignalSpy news(BankNews::instance(), &BankNews::changed);
        QVERIFY(folder.changeElsewhere(u"T"_s, u"题目"_s, 1, u"他的二"_s));
        QTRY_VERIFY(news.count() >= 1);
        QCOMPARE(box->text(), u"mine"_s);
        QVERIFY(!data->recordset().MoveNext());
        QCOMPARE(box->text(), u"他的二"_s); // read anew
        QCOMPARE(folder.rows(u"T"_s).value(0).value(0), u"mine"_s);
    }
};

QTEST_MAIN(tst_SharedBank)
#include "tst_sharedbank.moc"
