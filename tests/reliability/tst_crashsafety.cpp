// The bank survives a writer killed at any moment, and two copies of the program
// committing to one bank at once: after each kill the file is sound, every commit
// reported before it is there, and no test or category exists in part.
#include "bankimage.h"

#include "support/testfolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

namespace {

QString writerProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/prog_crashwriter");
}

// A writer's output cut into complete lines (a line cut short by the kill is dropped).
QList<QStringList> linesOf(const QByteArray &out)
{
    QList<QStringList> lines;
    const QList<QByteArray> raw = out.split('\n');
    for (qsizetype i = 0; i + 1 < raw.size(); ++i)
        lines << WriterLines::split(QString::fromUtf8(raw.at(i)));
    return lines;
}

struct Replay
{
    int commits = 0; // actions reported committed
    QStringList open; // the action begun last and not reported committed, if any
    QStringList refusals; // E lines
    QStringList tablesSeen; // T lines
    bool ended = false;
};

// Applies every reported commit to expected and tells what was left open.
Replay replay(const QByteArray &out, BankImage::Expected *expected)
{
    Replay r;
    for (const QStringList &line : linesOf(out)) {
        const QString &kind = line.at(0);
        if (kind == QLatin1String("B")) {
            r.open = line.mid(1);
        } else if (kind == QLatin1String("K") && !r.open.isEmpty()) {
            expected->apply(r.open);
            r.open.clear();
            ++r.commits;
        } else if (kind == QLatin1String("E")) {
            r.refusals << line.mid(1).join(u' ');
        } else if (kind == QLatin1String("T")) {
            r.tablesSeen << line.value(1);
        } else if (kind == QLatin1String("END")) {
            r.ended = true;
        }
    }
    return r;
}

} // namespace

class tst_crashsafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(writerProgram()), "prog_crashwriter is not built");
    }

    // A writer killed with SIGKILL at random moments, again and again on one bank.
    void killedWriterLosesNothing()
    {
        TestFolder folder;
        BankImage::Expected expected;
        QRandomGenerator pace(20240611); // fixed: the same delays on every run
        constexpr int kKills = 60;
        int survived = 0, commits = 0, interrupted = 0, interruptedLanded = 0;

        for (int run = 0; run < kKills; ++run) {
            QProcess writer;
            writer.setProcessChannelMode(QProcess::SeparateChannels);
            writer.start(writerProgram(),
                { folder.bank(), QStringLiteral("k%1").arg(run), QString::number(7919 * run + 1) });
            QByteArray out;
            // Killed only once it has committed something, however slow the machine.
            while (!out.contains("\nK\n")) {
                QVERIFY2(writer.waitForReadyRead(10000),
                    qPrintable(QStringLiteral("run %1: the writer committed nothing: %2")
                                   .arg(run)
                                   .arg(QString::fromUtf8(writer.readAllStandardError()))));
                out += writer.readAllStandardOutput();
            }
            QThread::msleep(pace.bounded(1, 250));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            out += writer.readAllStandardOutput();
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            const Replay r = replay(out, &expected);
            QVERIFY2(r.refusals.isEmpty(), qPrintable(r.refusals.join(u'\n')));
            const BankImage::Snapshot bank = BankImage::read(folder.bank());
            if (!r.open.isEmpty()) {
                ++interrupted;
                if (BankImage::Expected::landed(r.open, bank)) {
                    expected.apply(r.open);
                    ++interruptedLanded;
                }
            }
            const QString problem = BankImage::check(bank, expected);
            QVERIFY2(problem.isEmpty(),
                qPrintable(QStringLiteral("after kill %1 (%2 commits reported, open: %3): %4")
                               .arg(run)
                               .arg(r.commits)
                               .arg(r.open.join(u' '), problem)));
            commits += r.commits;
            ++survived;
        }
        qInfo("kills survived with nothing lost: %d of %d; commits reported: %d; "
              "kills inside an action: %d (%d of them landed whole, the rest not at all)",
            survived, kKills, commits, interrupted, interruptedLanded);
        QVERIFY(commits >= kKills);
        QVERIFY(interrupted > 0);
    }

    // Two copies commit to one bank at once, to shared tables too; neither is refused
    // (a busy bank is waited for), nothing is lost, and each then sees all tables.
    void twoCopiesShareOneBank()
    {
        TestFolder folder;
        folder.addTest(WriterLines::kShared, WriterLines::kSharedTest);
        BankImage::Expected expected;
        expected.apply({ QStringLiteral("cat"), WriterLines::kShared });
        expected.apply({ QStringLiteral("test"), WriterLines::kSharedTest, WriterLines::kShared });

        const QStringList tags { QStringLiteral("A"), QStringLiteral("B") };
        QProcess writers[2];
        for (int i = 0; i < 2; ++i) {
            writers[i].start(writerProgram(),
                { folder.bank(), tags[i], QString::number(31 + i), QStringLiteral("3"),
                    tags[1 - i] });
        }
        Replay replays[2];
        for (int i = 0; i < 2; ++i) {
            QVERIFY(writers[i].waitForFinished(60000));
            const QByteArray err = writers[i].readAllStandardError();
            replays[i] = replay(writers[i].readAllStandardOutput(), &expected);
            QVERIFY2(replays[i].refusals.isEmpty(), qPrintable(replays[i].refusals.join(u'\n')));
            QVERIFY2(writers[i].exitStatus() == QProcess::NormalExit && writers[i].exitCode() == 0,
                qPrintable(QString::fromUtf8(err)));
            QVERIFY(replays[i].ended);
            QVERIFY(replays[i].open.isEmpty());
        }

        const BankImage::Snapshot bank = BankImage::read(folder.bank());
        const QString problem
            = BankImage::check(bank, expected, { QStringLiteral("A-"), QStringLiteral("B-") });
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QStringList tables = bank.tables;
        tables.sort();
        for (Replay &r : replays) {
            r.tablesSeen.sort();
            QCOMPARE(r.tablesSeen, tables);
        }
        const QString counts
            = QStringLiteral("commits: %1 + %2").arg(replays[0].commits).arg(replays[1].commits);
        // Both really wrote to what they share.
        for (const QString &owner : { QStringLiteral("A-"), QStringLiteral("B-") }) {
            QVERIFY2(!bank.questionNames(WriterLines::kSharedTest).filter(owner).isEmpty(),
                qPrintable(counts));
            QVERIFY2(
                !bank.column(WriterLines::kShared, 0).filter(owner).isEmpty(), qPrintable(counts));
        }
        qInfo("concurrent commits: %d + %d, lost 0", replays[0].commits, replays[1].commits);
    }
};

QTEST_GUILESS_MAIN(tst_crashsafety)
#include "tst_crashsafety.moc"
