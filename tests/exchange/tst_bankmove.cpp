// A bank moved from its file to a server bank and back: every value as it was. Run
// on the bank file alone, and once more through the suite's server (tests/CMakeLists.txt).
#include "formats/importer.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/server/serversession.h"
#include "support/accessbanks.h"
#include "support/testfolder.h"

#include "exchangebanks.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_BankMove : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ServerSession::install(); }

    // Real banks of users, and one where NULL, empty texts and singles at their edges
    // stand beside each other: moved through the bank under test (a file, or the
    // server) and back, they hold what the same move file to file gives.
    void movedThereAndBackHoldsEveryValue_data()
    {
        QTest::addColumn<QString>("manifest");
        QTest::newRow("awkward") << u"awkward2000.json"_s;
        QTest::newRow("sample") << u"sample2000.json"_s;
        QTest::newRow("edges") << QString();
    }
    void movedThereAndBackHoldsEveryValue()
    {
        QFETCH(QString, manifest);
        QTemporaryDir files;
        const QString source = files.filePath(u"source.mdb"_s);
        const QString direct = files.filePath(u"direct.mdb"_s);
        const QString back = files.filePath(u"back.mdb"_s);
        if (manifest.isEmpty()) {
            QVERIFY(!BankFile::createFreshBank(source));
            QVERIFY(!Catalogue::createCategory(source, u"类"_s));
            QVERIFY(!Catalogue::createTest(source, u"T"_s, u"类"_s));
            BankFile::closeConnection();
            ExchangeBanks::withDatabase(source, [](QSqlDatabase &db) {
                QSqlQuery q(db);
                QVERIFY(
                    q.exec(u"INSERT INTO T (题目, 选项A, 选项A分数, 选项B, 选项B分数, 选项C分数) "
                           "VALUES ('', NULL, 0.100000001490116, '  ', -0.5, 16777216.0), "
                           "(NULL, 'x''y', 3.4028234663852886e38, '\"', 1.40129846e-45, NULL)"_s));
                QVERIFY(q.exec(u"INSERT INTO T评分 VALUES (0.30000001192092896, 1e-7, ''), "
                               "(NULL, NULL, NULL)"_s));
            });
        } else {
            QVERIFY(ExchangeBanks::fromManifest(AccessBanks::fixture(manifest), source));
        }
        TestFolder folder;
        QVERIFY(!BankFile::createFreshBank(direct));
        QVERIFY(!BankFile::createFreshBank(back));

        const StoreError there = Exchange::copyBank(source, folder.bank());
        QVERIFY2(!there, qPrintable(there.message()));
        const StoreError again = Exchange::copyBank(folder.bank(), back);
        QVERIFY2(!again, qPrintable(again.message()));
        QVERIFY(!Exchange::copyBank(source, direct));
        BankFile::closeConnection();
        const QStringList moved = ExchangeBanks::dump(back);
        QVERIFY(moved.size() > 1);
        QCOMPARE(moved, ExchangeBanks::dump(direct));

        // Once there, a second move finds every name taken and writes nothing.
        const auto before = folder.tables();
        QCOMPARE(Exchange::copyBank(source, folder.bank()).number(), int(StoreError::TableExists));
        QCOMPARE(folder.tables(), before);
    }
};

QTEST_GUILESS_MAIN(tst_BankMove)
#include "tst_bankmove.moc"
