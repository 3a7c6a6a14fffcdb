// The classroom as its users meet it in the program: an author publishes the sample test,
// takers take it in the runner on the server bank and their results reach the server,
// scored there to what the runner showed, also when the server was down at the end.
#include "bank/frmBFEdit.h"
#include "bank/frmPublish.h"
#include "base/currentbank.h"
#include "clusteraction.h"
#include "formats/importer.h"
#include "forms/forms.h"
#include "results/frmClassHistory.h"
#include "results/frmHistory.h"
#include "results/historymodel.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/classroom.h"
#include "store/results/keeping.h"
#include "store/results/outbox.h"
#include "store/server/serversession.h"
#include "support/bankwindows.h"
#include "support/serverbanks.h"
#include "support/windowtest.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString kCategory = u"情商测试"_s;
const QString kTest = u"日常情商自测"_s;

PgConnection &admin()
{
    static PgConnection c;
    // One the server dropped (killed and started again) is opened afresh.
    if (!c.isOpen() || !c.exec(u"SELECT 1"_s).ok()) {
        c.close();
        c.open(ServerBanks::at(u"admin"_s));
    }
    return c;
}

// One text of the server's own, as the owner reads it.
QString serverText(const QString &sql, const QVariantList &values = {})
{
    const PgResult r = admin().exec(sql, values);
    return r.ok() && r.rows() > 0 ? r.text(0, 0) : u"(%1)"_s.arg(r.error().message);
}

// The sample test on the server bank, published; the bank's location.
QString publishedSample(const TestFolder &folder)
{
    admin().exec(u"DELETE FROM qelvi.results"_s);
    admin().exec(u"DELETE FROM qelvi.finishes"_s);
    if (const StoreError e = Exchange::copyBank(TestFolder::sampleBank(), folder.bank()))
        qWarning("copyBank: %s", qPrintable(e.message()));
    if (const StoreError e = Classroom::setPublished(folder.bank(), kTest, true))
        qWarning("publish: %s", qPrintable(e.message()));
    return folder.bank();
}

// This copy connects to the server bank as one of the cluster's roles.
void connectAs(const QString &role)
{
    if (const PgError e = ServerSession::open(ServerBanks::at(role)))
        qWarning("connect as %s: %s", qPrintable(role), qPrintable(e.message));
    setCurrentBank(ServerSession::current());
}

// The chooser from the menu, the test taken by clicks, every question answered with
// option; the runner, still open.
frmTest *take(MainWindowFixture &main, int option, const std::function<void()> &beforeLast = {})
{
    main->mnuTesting_Click();
    QCoreApplication::processEvents();
    if (!bankwindows::chooseTest(kCategory, kTest))
        return nullptr;
    settle();
    frmTest *runner = Forms::find<frmTest>();
    if (!runner)
        return nullptr;
    const int questions = runner->Label9->text().toInt();
    for (int q = 1; q <= questions; ++q) {
        if (q == questions && beforeLast)
            beforeLast();
        QTest::mouseClick(runner->optionLabels()[option], Qt::LeftButton);
    }
    return runner;
}

Results::Outbox::Entry onlyEntry()
{
    const auto all = Results::Outbox::entries(Keeping::historyPath());
    return all.size() == 1 ? *all.cbegin() : Results::Outbox::Entry();
}

QString resultCount()
{
    return serverText(u"SELECT count(*) FROM qelvi.results"_s);
}

} // namespace

class tst_ClassroomClient : public QObject
{
    Q_OBJECT

private slots:
    // A taker sees the chooser only; his result is scored by the server to the total the
    // runner showed and listed as handed in.
    void takerHandsInWhatTheRunnerShowed()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        connectAs(u"taker"_s);
        QVERIFY(main->windowTitle().endsWith(u"（答题者）"_s));
        QVERIFY(messages.last().contains(u"只能进行已经发布的测试"_s));
        for (QAction *edit : { main->mnuFL, main->mnuImport, main->mnuCreatTest, main->mnuOpenTest,
                 main->mnuDelTest, main->mnuPublish })
            QVERIFY2(!edit->isEnabled(), qPrintable(edit->text()));
        QVERIFY(main->mnuTesting->isEnabled());
        messages.clear();

        QVERIFY(take(main, 2));
        QVERIFY(Forms::find<frmResult>());
        QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'\n')));
        QCOMPARE(serverText(u"SELECT total || '/' || band || '/' || taker FROM qelvi.results"_s),
            u"42/4/qelvi_test_taker"_s);
        QCOMPARE(onlyEntry().state, Results::Outbox::State::Sent);

        main->mnuHistory_Click();
        auto *history = Forms::find<frmHistory>();
        QVERIFY(history);
        QVERIFY(!history->List1->isColumnHidden(HistoryModel::handInColumn));
        QCOMPARE(history->List1->model()->index(0, HistoryModel::handInColumn).data().toString(),
            u"已交到服务器"_s);
    }

    // A history that cannot be written keeps nothing here: the result goes to the server
    // at once, and the taker is told only of the history.
    void handedInWhenTheHistoryCannotBeKept()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        connectAs(u"taker"_s);
        QVERIFY(QDir().mkdir(Keeping::historyPath()));
        messages.clear();
        QVERIFY(take(main, 2));
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY(messages.last().startsWith(u"这次的测试结果没能保存到测试记录里。"_s));
        QCOMPARE(resultCount(), u"1"_s);
    }

    // The server stopped before the last answer: the result shows, waits in the outbox,
    // and goes once the server is back, once however often it is handed in.
    void waitsWhileTheServerIsDown()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        connectAs(u"taker"_s);
        messages.clear();

        ServerDown server;
        QVERIFY(take(main, 2, [&] { server.crash(); }));
        QVERIFY(Forms::find<frmResult>());
        QVERIFY(messages.last().startsWith(u"这次的结果现在交不到题库服务器"_s));
        QCOMPARE(onlyEntry().state, Results::Outbox::State::Waiting);

        server.revive();
        main->handInWaiting();
        QCOMPARE(onlyEntry().state, Results::Outbox::State::Sent);
        QCOMPARE(resultCount(), u"1"_s);

        // The reply lost on the way: the entry handed in again finds its row.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"again"_s);
            db.setDatabaseName(Keeping::historyPath());
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(u"UPDATE outbox SET state = 0"_s));
        }
        QSqlDatabase::removeDatabase(u"again"_s);
        main->handInWaiting();
        QCOMPARE(onlyEntry().state, Results::Outbox::State::Sent);
        QCOMPARE(resultCount(), u"1"_s);
    }

    // Downloaded as the taker connected, the test is taken with the server down and
    // handed in as he connects again.
    void takenOffline()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        connectAs(u"taker"_s);
        QVERIFY(main->mnuOffline->isEnabled());
        ServerDown server;
        server.crash();

        main->mnuOffline_Click();
        QVERIFY2(main->windowTitle().startsWith(u"Qelvi——离线测试（"_s),
            qPrintable(main->windowTitle()));
        QVERIFY(!main->mnuCreatTest->isEnabled());
        messages.clear();
        QVERIFY(take(main, 2));
        QVERIFY(Forms::find<frmResult>());
        QVERIFY(messages.last().startsWith(u"这次的结果现在交不到题库服务器"_s));
        QCOMPARE(onlyEntry().state, Results::Outbox::State::Waiting);
        Forms::unloadTogether({ u"frmResult"_s, u"frmTest"_s });

        server.revive();
        connectAs(u"taker"_s);
        QTRY_COMPARE(onlyEntry().state, Results::Outbox::State::Sent);
        QCOMPARE(serverText(u"SELECT total || '/' || taker FROM qelvi.results"_s),
            u"42/qelvi_test_taker"_s);
    }

    // An author stored a change while the taker answered: nothing is scored, the result
    // stays here, and both windows say so.
    void changedWhileTaken()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        connectAs(u"taker"_s);
        messages.clear();

        QVERIFY(take(main, 2,
            [] { admin().exec(u"UPDATE qelvi.bands SET \"评价\" = \"评价\" || '！'"_s); }));
        QVERIFY(messages.last().startsWith(u"这次的结果没有交到题库服务器。"_s));
        QVERIFY(messages.last().contains(u"改过了"_s));
        QCOMPARE(onlyEntry().state, Results::Outbox::State::Changed);
        QCOMPARE(resultCount(), u"0"_s);
        main->handInWaiting();
        QCOMPARE(resultCount(), u"0"_s);
    }

    // The author's ticks reach the server; a test withdrawn is gone from the takers.
    void publishing()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        QVERIFY(main->mnuPublish->isEnabled());
        main->mnuPublish_Click();
        auto *publish = Forms::find<frmPublish>();
        QVERIFY(publish);
        const QList<QTreeWidgetItem *> rows = publish->List1->findItems(kTest, Qt::MatchExactly, 1);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0]->checkState(frmPublish::PublishedColumn), Qt::Checked);
        QCOMPARE(rows[0]->text(frmPublish::VersionColumn),
            u"第%1版"_s.arg(serverText(u"SELECT content_version FROM qelvi.tests"_s)));

        publish->List1->findItems(kTest, Qt::MatchExactly, 1)[0]->setCheckState(
            frmPublish::AnonymousColumn, Qt::Checked);
        publish->List1->findItems(kTest, Qt::MatchExactly, 1)[0]->setCheckState(
            frmPublish::PublishedColumn, Qt::Unchecked);
        QCOMPARE(serverText(u"SELECT published || '/' || anonymous FROM qelvi.tests"_s),
            u"false/true"_s);
        QVERIFY(messages.texts().isEmpty());

        Classroom::Key key;
        connectAs(u"taker"_s);
        QVERIFY(!Classroom::key(currentBank(), kTest, &key));
        QVERIFY(key.isEmpty());
        QList<Classroom::TestState> seen;
        Classroom::tests(currentBank(), &seen);
        QVERIFY(seen.isEmpty());
    }

    // Three results, one anonymous: the author's class history lists them all, the
    // anonymous one without a name; a taker's lists his own only.
    void classHistory()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        const QString bank = publishedSample(folder);
        connectAs(u"taker"_s);
        QVERIFY(take(main, 2));
        Forms::unloadTogether({ u"frmResult"_s, u"frmTest"_s });
        connectAs(u"taker2"_s);
        QVERIFY(take(main, 1));
        Forms::unloadTogether({ u"frmResult"_s, u"frmTest"_s });
        QVERIFY(admin().exec(u"UPDATE qelvi.tests SET anonymous = true"_s).ok());
        QVERIFY(take(main, 0));
        Forms::unloadTogether({ u"frmResult"_s, u"frmTest"_s });

        main->mnuClassHistory_Click();
        auto *mine = Forms::find<frmClassHistory>();
        QVERIFY(mine);
        QCOMPARE(mine->shownCount(), 1); // the named one; the anonymous one names nobody
        Forms::unloadTogether({ u"frmClassHistory"_s });

        connectAs(u"author"_s);
        main->mnuClassHistory_Click();
        auto *all = Forms::find<frmClassHistory>();
        QVERIFY(all);
        QCOMPARE(all->shownCount(), 3);
        QStringList takers;
        for (int row = 0; row < 3; ++row)
            takers << all->List1->model()->index(row, 4).data().toString();
        takers.sort();
        QCOMPARE(
            takers, QStringList({ u"qelvi_test_taker"_s, u"qelvi_test_taker2"_s, u"（匿名）"_s }));
        QVERIFY(all->selectedRecord());
        QVERIFY(all->selectedRecord()->version.startsWith(u"第"_s));
        QVERIFY(!all->Command4->isEnabled());
        Q_UNUSED(bank);
    }

    // The server killed again and again while waiting results are handed in: each one
    // that was told handed in is there, and none twice.
    void noneLostWhenTheServerDies()
    {
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        publishedSample(folder);
        connectAs(u"taker"_s);
        Classroom::Key key;
        QVERIFY(!Classroom::key(currentBank(), kTest, &key));
        QVERIFY(!key.isEmpty());
        const int questions = serverText(u"SELECT count(*) FROM qelvi.questions"_s).toInt();
        constexpr int kRuns = 300;
        for (int n = 0; n < kRuns; ++n) {
            Results::Record record;
            record.takenAt = QDateTime::currentDateTime();
            record.test = kTest;
            record.total = u"42"_s;
            const auto entry = Results::Outbox::entryFor(
                currentBank(), kTest, key, QString(questions, u'C'), u"42"_s);
            QVERIFY(!Keeping::keep(&record, Results::Outbox::put(entry, &record)));
        }

        std::atomic<bool> done = false;
        std::thread killer([&] {
            for (int i = 0; i < 4; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(40 + 70 * i));
                cluster("crash");
                cluster("revive");
            }
            done = true;
        });
        QSet<QString> told;
        int unreached = 0; // rounds that met the server down
        while (!done || told.size() < kRuns) {
            if (Results::Outbox::handIn(Keeping::historyPath(), currentBank()).error)
                ++unreached;
            for (const auto &e : Results::Outbox::entries(Keeping::historyPath()))
                if (e.state == Results::Outbox::State::Sent)
                    told << e.submission;
            if (done && told.size() < kRuns)
                QTest::qWait(50);
        }
        killer.join();
        QVERIFY(unreached > 0); // the server was killed under the hand-ins
        QCOMPARE(told.size(), kRuns);
        QCOMPARE(resultCount(), QString::number(kRuns));
        QCOMPARE(serverText(u"SELECT count(DISTINCT submission) FROM qelvi.results"_s),
            QString::number(kRuns));
    }

    void cleanup()
    {
        Forms::unloadTogether({ u"frmResult"_s, u"frmTest"_s, u"frmHistory"_s, u"frmClassHistory"_s,
            u"frmPublish"_s });
    }
};

QTEST_MAIN(tst_ClassroomClient)
#include "classroomclient.moc"
