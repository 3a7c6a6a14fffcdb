// A logout, Ctrl+C or a closed terminal ends the program in every state, message
// boxes open or not, with what the windows hold committed as far as the bank takes
// it and nothing changed that the user had not confirmed.
#include "support/testfolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <csignal>

namespace {
const QString kTest = QStringLiteral("情商自测");
}

class tst_logout : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsTheProgram_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("stored"); // question, option A, its score
        const QStringList changed { "退出前改的题", "题A", "1" };
        const QStringList untouched { "原来的题", "题A", "1" };
        QTest::newRow("SIGTERM, typing") << SIGTERM << "typing" << changed;
        QTest::newRow("SIGINT, typing") << SIGINT << "typing" << changed;
        QTest::newRow("SIGHUP, typing") << SIGHUP << "typing" << changed;
        // The score that is no number is left out; the rest of the question is kept.
        QTest::newRow("SIGTERM, refusal box open") << SIGTERM << "refusing" << changed;
        QTest::newRow("SIGHUP, refusal box open") << SIGHUP << "refusing" << changed;
        // Ctrl+Q, one editor let go and the other kept: neither gave anything up, and
        // the logout stores what the bank takes.
        QTest::newRow("SIGTERM, after 是 and 否 to closing together")
            << SIGTERM << "kept" << changed;
        // An unanswered question is no consent: the test stays.
        QTest::newRow("SIGTERM, delete question open") << SIGTERM << "asking" << untouched;
        // Another copy deleted the question: this copy's text is stored as a new one.
        QTest::newRow("SIGTERM, deleted-question box open") << SIGTERM << "deleted" << changed;
        QTest::newRow("SIGHUP, deleted-question box open") << SIGHUP << "deleted" << changed;
        // The window thread held for good: the program still ends; nothing is committed.
        QTest::newRow("SIGTERM, window thread held") << SIGTERM << "held" << untouched;
        QTest::newRow("SIGHUP, window thread held") << SIGHUP << "held" << untouched;
    }
    void signalEndsTheProgram()
    {
        QFETCH(int, signal);
        QFETCH(QString, state);
        QFETCH(QStringList, stored);

        TestFolder folder;
        folder.addTest(QStringLiteral("情商"), kTest);
        folder.addRows(kTest, { { QStringLiteral("原来的题"), QStringLiteral("题A"), "1" } });

        QProcess program;
        program.setProgram(
            QCoreApplication::applicationDirPath() + QStringLiteral("/prog_loggedout"));
        program.setArguments({ folder.path(), state });
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start();
        QVERIFY(program.waitForStarted());
        // Guards against a hang only; how fast it ends is not asserted here.
        while (!program.readAllStandardOutput().contains("ready"))
            QVERIFY2(program.waitForReadyRead(30000), "never reached its state");
        ::kill(pid_t(program.processId()), signal);
        QVERIFY2(program.waitForFinished(30000), "still running after the signal");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        const QList<QStringList> rows = folder.rows(kTest);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().mid(0, 3), stored);
        QVERIFY(folder.tables().contains(kTest));
    }
};

QTEST_MAIN(tst_logout)
#include "tst_logout.moc"
