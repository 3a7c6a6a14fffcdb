// The background music going round, heard on SDL's "disk" output, which writes every
// mixed sample to a file in real time. Each piece starts loud and goes on quietly, so
// every start of it shows in the samples as a rise from quiet to loud.
#include "forms/forms.h"
#include "music/frmMusic.h"
#include "support/diskaudio.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/testpieces.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace {

constexpr int kRate = 44100; // frames a second, as the mixer asks the output for
constexpr qint64 frames(int ms)
{
    return qint64(kRate) * ms / 1000;
}
int ms(qint64 frameCount)
{
    return int(frameCount * 1000 / kRate);
}

// What the output holds: where each start of the piece begins, and the longest
// stretch of silence just before each start but the first.
struct Rounds
{
    QList<qint64> starts; // frames
    QList<qint64> silences; // frames, one per seam

    QString describe() const
    {
        QStringList rounds, quiet;
        for (qsizetype i = 1; i < starts.size(); ++i)
            rounds << QString::number(ms(starts[i] - starts[i - 1]));
        for (qint64 s : silences)
            quiet << QString::number(ms(s));
        return QStringLiteral("rounds (ms) %1; silence at seams (ms) %2")
            .arg(rounds.join(u' '), quiet.join(u' '));
    }
};

// Signed 16-bit stereo samples; the louder channel of each frame.
Rounds findRounds(const QByteArray &bytes)
{
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
    const qint64 count = bytes.size() / 4;
    QList<int> level(count);
    int peak = 0;
    for (qint64 i = 0; i < count; ++i) {
        level[i] = qMax(std::abs(int(samples[2 * i])), std::abs(int(samples[2 * i + 1])));
        peak = qMax(peak, level[i]);
    }
    Rounds found;
    if (peak == 0)
        return found;
    // The loudest sample of each 5 ms, with hysteresis: a start is a rise above half
    // the peak after the music fell below a quarter of it.
    const qint64 window = frames(5);
    bool armed = false;
    for (qint64 w = 0; w + window <= count; w += window) {
        const int loudest = *std::max_element(level.begin() + w, level.begin() + w + window);
        if (loudest < peak / 4) {
            armed = true;
        } else if (armed && loudest > peak / 2) {
            armed = false;
            qint64 start = qMax<qint64>(0, w - window);
            while (level[start] <= peak / 4)
                ++start;
            found.starts << start;
        }
    }
    constexpr int silent = 100; // about -50 dB
    for (qsizetype i = 1; i < found.starts.size(); ++i) {
        qint64 longest = 0, run = 0;
        for (qint64 f = qMax(found.starts[i - 1], found.starts[i] - frames(150));
             f < found.starts[i]; ++f) {
            run = level[f] <= silent ? run + 1 : 0;
            longest = qMax(longest, run);
        }
        found.silences << longest;
    }
    return found;
}

} // namespace

class tst_musicloop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void oneCleanRestartPerRound_data();
    void oneCleanRestartPerRound();

private:
    DiskAudio m_audio;
};

void tst_musicloop::initTestCase()
{
    QVERIFY(m_audio.isValid());
}

void tst_musicloop::oneCleanRestartPerRound_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("length");
    QTest::newRow("wav") << "marked.wav" << TestPieces::markedWav(1000, 30) << 1000;
    QTest::newRow("mp3") << "marked.mp3" << TestPieces::markedMp3(1000, 30) << 1000;
    QTest::newRow("midi") << "accented.mid" << TestPieces::midi(4, 240, 40) << 1000;
}

// Every round is the whole piece: a start cut short by a second restart would show as
// a short round, a late restart as silence at the seam, a lost last note as a MIDI
// round shorter than the first.
void tst_musicloop::oneCleanRestartPerRound()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, length);
    QVERIFY(!bytes.isEmpty());

    TestFolder folder;
    folder.write(name, bytes);
    folder.write(QStringLiteral("music.ini"), folder.file(name).toUtf8() + "\r\n");
    const qint64 from = m_audio.mark();
    Rounds rounds;
    {
        MainWindowFixture main(QSize(1024, 768), true);
        QCOMPARE(Forms::find<frmMusic>()->MMControl1->Length(), length);
        const int seams = 5;
        for (int waited = 0; rounds.starts.size() <= seams && waited < 4 * seams * length;
             waited += length / 2) {
            QTest::qWait(length / 2);
            const std::optional<QByteArray> mixed = m_audio.since(from);
            QVERIFY(mixed);
            rounds = findRounds(*mixed);
        }
    }
    const QString report = rounds.describe();
    qInfo("%s: %s", qPrintable(name), qPrintable(report));
    QVERIFY2(rounds.starts.size() > 5, qPrintable(report));

    const qint64 first = rounds.starts[1] - rounds.starts[0];
    for (qsizetype i = 1; i < rounds.starts.size(); ++i) {
        const qint64 round = rounds.starts[i] - rounds.starts[i - 1];
        QVERIFY2(round >= frames(length - 5), qPrintable(report));
        if (name.endsWith(QLatin1String(".mid"))) {
            QVERIFY2(std::abs(round - first) <= frames(20), qPrintable(report));
            QVERIFY2(round <= frames(length + 20), qPrintable(report));
        } else {
            QVERIFY2(rounds.silences[i - 1] < frames(50), qPrintable(report));
            QVERIFY2(round < frames(length + 50), qPrintable(report));
        }
    }
}

QTEST_MAIN(tst_musicloop)
#include "tst_musicloop.moc"
