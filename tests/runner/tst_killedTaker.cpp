// A taker whose program is killed (SIGKILL) at a random moment of a test starts it
// again and continues: at most the answer being given is lost, and the total and the
// result are those of answering straight through, to the bit.
#include "platform/msgbox.h"
#include "store/results/history.h"
#include "support/mainwindow.h"
#include "takingfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

using namespace TakingFixture;

namespace {

QString takerProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/prog_taker");
}

const QString unfinished = QStringLiteral("上次的测试还没有做完，要接着做吗？");

// Answers questions from..last of the open runner as the taker of pattern does.
void answerFrom(frmTest *runner, int from, quint32 pattern)
{
    for (int q = from; q <= kLongQuestions; ++q)
        QTest::mouseClick(runner->optionLabels()[takerOption(q, pattern)], Qt::LeftButton);
}

struct Outcome
{
    QString total; // the running total as carried at the end
    QString result;
};

Outcome finish(frmTest *runner)
{
    Outcome out { runner->Text7->text(), resultText() };
    runner->Unload();
    settle();
    return out;
}

int reportedAnswers(const QByteArray &out)
{
    int n = 0;
    for (const QByteArray &line : out.split('\n'))
        if (line.startsWith("A "))
            n = line.mid(2).toInt();
    return n;
}

} // namespace

class tst_killedTaker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(takerProgram()), "prog_taker is not built"); }

    void killedAtRandomThenContinued()
    {
        TestFolder folder;
        addLongTest(folder);
        MainWindowFixture main;
        ScriptedMessages messages;
        const Results::History history(folder.file(QStringLiteral("results.db")));
        QRandomGenerator pace(20261209); // fixed: the same moments on every run
        constexpr int kKills = 24;
        int kills = 0, inFlightLanded = 0, lastLanded = 0;

        for (int run = 0; kills < kKills && run < 3 * kKills; ++run) {
            const quint32 pattern = quint32(run + 1);
            frmTest *runner = openRunner(longTest());
            answerFrom(runner, 1, pattern);
            const Outcome straight = finish(runner);
            const qsizetype keptBefore = history.records().size();

            // Killed after a random number of answers, a little later still: within the
            // next few clicks (one takes well under a millisecond), so that the kill falls
            // inside the test and at any moment of a click.
            QProcess taker;
            taker.start(takerProgram(), { folder.path(), QString::number(pattern) });
            const int wanted = int(pace.bounded(1, kLongQuestions));
            QByteArray out;
            while (reportedAnswers(out) < wanted && !out.contains("END")) {
                QVERIFY2(taker.waitForReadyRead(20000),
                    qPrintable(QStringLiteral("run %1: the taker answered nothing: %2")
                                   .arg(run)
                                   .arg(QString::fromUtf8(taker.readAllStandardError()))));
                out += taker.readAllStandardOutput();
            }
            QThread::usleep(pace.bounded(0, 2000));
            taker.kill();
            QVERIFY(taker.waitForFinished(10000));
            out += taker.readAllStandardOutput();
            if (out.contains("END"))
                continue; // it finished first: no kill inside the test
            ++kills;
            const int reported = reportedAnswers(out);
            // The history reads as ever, even with a write cut short in it.
            StoreError unreadable;
            history.records(&unreadable);
            QVERIFY2(!unreadable, qPrintable(unreadable.message()));

            messages.clear();
            messages.answer(MsgAnswer::Yes);
            runner = openRunner(longTest());
            if (messages.texts() == QStringList { unfinished }) {
                const int kept = runner->Label8->text().toInt() - 1;
                QVERIFY2(kept == reported || kept == reported + 1,
                    qPrintable(QStringLiteral("run %1: %2 answers reported, %3 kept")
                                   .arg(run)
                                   .arg(reported)
                                   .arg(kept)));
                inFlightLanded += kept > reported;
                answerFrom(runner, kept + 1, pattern);
                const Outcome continued = finish(runner);
                QCOMPARE(continued.total, straight.total);
                QCOMPARE(continued.result, straight.result);
            } else {
                // Nothing to continue: the last answer, and with it the result, landed.
                QVERIFY2(messages.texts().isEmpty() && reported == kLongQuestions - 1,
                    qPrintable(QStringLiteral("run %1: %2 answers reported, shown: %3")
                                   .arg(run)
                                   .arg(reported)
                                   .arg(messages.texts().join(u'|'))));
                ++lastLanded;
                runner->Unload();
                settle();
            }

            // One record more, with the taker's answers and the straight run's result.
            const QList<Results::Record> records = history.records();
            QCOMPARE(records.size(), keptBefore + 1);
            QCOMPARE(records.at(0).resultText, straight.result);
            QCOMPARE(records.at(0).answers.size(), kLongQuestions);
            for (const Results::Answer &a : records.at(0).answers)
                QCOMPARE(
                    a.option, QString(QChar(char16_t(u'A' + takerOption(a.question, pattern)))));
        }
        qInfo("kills inside a test: %d; the answer being given landed in %d, the last one in %d",
            kills, inFlightLanded, lastLanded);
        QCOMPARE(kills, kKills);
    }
};

QTEST_MAIN(tst_killedTaker)
#include "tst_killedTaker.moc"
