// The server killed at random moments while a copy of the program commits through the
// store: afterwards every change the store confirmed is there, and none is half-made.
#include "clusteraction.h"
#include "store/catalogue.h"
#include "store/recordset.h"
#include "store/server/serversession.h"
#include "support/serverbanks.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kCrashes = 20;

// The texts of question n: every field tells n, so that a row is whole or is not.
QStringList question(int n)
{
    QStringList fields { u"问%1"_s.arg(n) };
    for (int i = 0; i < 6; ++i)
        fields << u"%1-%2"_s.arg(n).arg(QChar(u'A' + i)) << QString::number(n * 10 + i);
    return fields;
}

} // namespace

class tst_ServerKills : public QObject
{
    Q_OBJECT

private slots:
    void confirmedChangesOutliveCrashes()
    {
        const QString bank = ServerBanks::openEmpty();
        QVERIFY(!Catalogue::createCategory(bank, u"类"_s));
        QVERIFY(!Catalogue::createTest(bank, u"T"_s, u"类"_s));

        std::atomic<bool> done = false;
        std::thread killer([&] {
            for (int i = 0; i < kCrashes; ++i) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(QRandomGenerator::global()->bounded(30, 300)));
                cluster("crash");
                cluster("revive");
            }
            done = true;
        });

        QSet<int> questions; // confirmed
        QSet<int> tests;
        QSet<int> batches;
        int failures = 0;
        for (int n = 0; !done || n < 50; ++n) {
            StoreError e;
            if (n % 5 == 4) {
                e = Catalogue::createTest(bank, u"T%1"_s.arg(n), u"类"_s);
                if (!e)
                    tests << n;
            } else if (n % 7 == 6) {
                // Three questions in one transaction: all of them or none.
                const QList<QStringList> rows { question(n), question(n + 100000),
                    question(n + 200000) };
                e = Catalogue::inOneTransaction(bank, [&](Catalogue::Batch &batch) {
                    return batch.appendRows(u"T"_s, 13, rows.size(),
                        [&](qsizetype row, Catalogue::Batch::Field *fields) {
                            for (int f = 0; f < 13; ++f)
                                fields[f].text = &rows.at(row).at(f);
                        });
                });
                if (!e)
                    batches << n;
            } else {
                Recordset rs;
                const QStringList fields = question(n);
                e = rs.open(bank, u"T"_s);
                if (!e)
                    e = rs.AddNew();
                for (int f = 0; !e && f < fields.size(); ++f)
                    e = rs.setValue(rs.fieldNames().at(f), fields.at(f));
                if (!e)
                    e = rs.Update();
                if (!e)
                    questions << n;
                rs.release();
            }
            if (e) {
                ++failures;
                QVERIFY2(e.number() == StoreError::ServerUnreachable
                        || e.number() == StoreError::ServerRefused,
                    qPrintable(e.message()));
                // Connected again as the program offers it, as soon as the server is back.
                PgConnection *c = ServerSession::connection(bank);
                QVERIFY(c);
                for (int tries = 0; tries < 200 && c->reconnect(); ++tries)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        killer.join();
        PgConnection *c = ServerSession::connection(bank);
        for (int tries = 0; tries < 200 && (!c->isOpen() || !c->exec(u"SELECT 1"_s).ok());
             ++tries) {
            c->reconnect();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        QVERIFY(failures > 0); // the server did go away under the writes

        // Read back as another copy does.
        QSet<int> present;
        Recordset rs;
        QVERIFY(!rs.open(bank, u"T"_s));
        for (StoreError e = rs.MoveFirst(); !e && rs.hasCurrent(); e = rs.MoveNext()) {
            const int n = rs.value(u"题目"_s).mid(1).toInt();
            QStringList stored;
            for (const QString &field : rs.fieldNames())
                stored << rs.value(field);
            QCOMPARE(stored, question(n));
            present << n;
        }
        rs.release();
        for (const int n : std::as_const(questions))
            QVERIFY2(present.contains(n), qPrintable(u"question %1 was confirmed"_s.arg(n)));
        for (const int n : std::as_const(batches))
            QVERIFY2(present.contains(n), qPrintable(u"batch %1 was confirmed"_s.arg(n)));
        for (int n = 6; n < 100000; n += 7) {
            const int parts = int(present.contains(n)) + int(present.contains(n + 100000))
                + int(present.contains(n + 200000));
            QVERIFY2(parts == 0 || parts == 3, qPrintable(u"batch %1 is half there"_s.arg(n)));
        }
        const QStringList tables = Catalogue::tables(bank);
        for (const int n : std::as_const(tests)) {
            QVERIFY(tables.contains(u"T%1"_s.arg(n)));
            QVERIFY(tables.contains(u"T%1评分"_s.arg(n)));
        }
        qInfo("%d crashes: %lld questions, %lld batches and %lld tests confirmed, %d refused",
            kCrashes, qint64(questions.size()), qint64(batches.size()), qint64(tests.size()),
            failures);
    }
};

QTEST_GUILESS_MAIN(tst_ServerKills)
#include "serverkills.moc"
