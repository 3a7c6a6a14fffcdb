#include "platform/mediadevice.h"
#include "support/diskaudio.h"
#include "support/testpieces.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

// The media device on SDL's "disk" output, which writes every mixed sample to a file
// in real time: a playing piece must be heard there, a paused one must not.
class tst_mediadevicesound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void soundWhilePlayingSilenceWhilePaused_data();
    void soundWhilePlayingSilenceWhilePaused();

private:
    // The loudest sample written while waiting, after the output settled; -1 when the
    // output wrote too little to tell.
    int peakOver(int settleMs, int listenMs);
    DiskAudio m_audio;
    QTemporaryDir m_dir; // the pieces
};

void tst_mediadevicesound::initTestCase()
{
    QVERIFY(m_audio.isValid());
    QVERIFY(m_dir.isValid());
}

int tst_mediadevicesound::peakOver(int settleMs, int listenMs)
{
    QTest::qWait(settleMs);
    const qint64 from = m_audio.mark();
    QTest::qWait(listenMs);
    // Signed 16-bit stereo samples, as the mixer asks the output for.
    const std::optional<QByteArray> mixed = m_audio.since(from);
    if (!mixed)
        return -1;
    const QByteArray &bytes = *mixed;
    // Fewer samples than half the time waited: the output did not run.
    if (bytes.size() < 44100 * 4 * listenMs / 2000)
        return -1;
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
    int peak = 0;
    for (qsizetype i = 0; i < bytes.size() / 2; ++i)
        peak = qMax(peak, std::abs(int(samples[i])));
    return peak;
}

void tst_mediadevicesound::soundWhilePlayingSilenceWhilePaused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wav") << "tone.wav" << TestPieces::wav(4000);
    QTest::newRow("midi") << "notes.mid" << TestPieces::midi(16, 240);
    QFile mp3(TestPieces::shipped(QStringLiteral("gaoshanls.mp3")));
    QTest::newRow("mp3") << "piece.mp3"
                         << (mp3.open(QIODevice::ReadOnly) ? mp3.readAll() : QByteArray());
}

void tst_mediadevicesound::soundWhilePlayingSilenceWhilePaused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QVERIFY(!bytes.isEmpty());
    QFile piece(m_dir.filePath(name));
    QVERIFY(piece.open(QIODevice::WriteOnly));
    piece.write(bytes);
    piece.close();

    MediaDevice device;
    device.setFileName(piece.fileName());
    device.setCommand(QStringLiteral("Open"));
    QCOMPARE(device.Error(), int(MediaDevice::NoError));
    QCOMPARE(MediaDevice::audioDriver(), QStringLiteral("disk"));
    QVERIFY(!MediaDevice::playsIntoSilence()); // it is heard, in the file

    device.setCommand(QStringLiteral("Play"));
    const int playing = peakOver(300, 500);
    QVERIFY2(playing > 1000, qPrintable(QString::number(playing)));

    device.setCommand(QStringLiteral("Pause"));
    const int paused = peakOver(300, 500);
    QCOMPARE(paused, 0);

    device.setCommand(QStringLiteral("Play"));
    const int resumed = peakOver(300, 500);
    QVERIFY2(resumed > 1000, qPrintable(QString::number(resumed)));
    device.setCommand(QStringLiteral("Close"));
}

QTEST_GUILESS_MAIN(tst_mediadevicesound)
#include "tst_mediadevicesound.moc"
