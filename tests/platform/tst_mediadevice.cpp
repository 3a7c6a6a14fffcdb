#include "platform/mediadevice.h"
#include "support/testpieces.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <SDL_mixer.h>

// The media device on SDL's silent "dummy" output, which still consumes the audio in
// real time, so positions move as they would with sound.
class tst_mediadevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandNamesIgnoreLetterCase_data();
    void commandNamesIgnoreLetterCase();
    void failuresOnlySetTheErrorState_data();
    void failuresOnlySetTheErrorState();
    void deviceTypeChoosesTheDecoder_data();
    void deviceTypeChoosesTheDecoder();
    void wavePlayPausePrevAndEnd();
    void midiLengthAndClock();
    void repeatGoesStraightIntoTheNextRound_data();
    void repeatGoesStraightIntoTheNextRound();
    void anotherDeviceTakesTheMusic();
    void runsSilentlyWithoutSoundAndLeavesSignalsAlone_data();
    void runsSilentlyWithoutSoundAndLeavesSignalsAlone();

private:
    QString piece(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

QString tst_mediadevice::piece(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void tst_mediadevice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    piece(QStringLiteral("one.wav"), TestPieces::wav(1000));
    piece(QStringLiteral("short.wav"), TestPieces::wav(300));
    piece(QStringLiteral("UPPER.WAV"), TestPieces::wav(400));
    piece(QStringLiteral("four.mid"), TestPieces::midi(4, 240));
    piece(QStringLiteral("FOUR.MID"), TestPieces::midi(4, 240));
    piece(QStringLiteral("wave-named.mid"), TestPieces::wav(300));
    piece(QStringLiteral("junk.mp3"), QByteArray(4000, 'x'));
    QVERIFY(QFile::copy(TestPieces::shipped(QStringLiteral("gaoshanls.mp3")),
        m_dir.filePath(QStringLiteral("tune.mp3"))));
}

void tst_mediadevice::commandNamesIgnoreLetterCase_data()
{
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("play");
    QTest::newRow("as written by the program") << "Open"
                                               << "Play";
    QTest::newRow("lower case") << "open"
                                << "play";
    QTest::newRow("upper case") << "OPEN"
                                << "PLAY";
}

void tst_mediadevice::commandNamesIgnoreLetterCase()
{
    QFETCH(QString, open);
    QFETCH(QString, play);
    MediaDevice device;
    device.setFileName(m_dir.filePath(QStringLiteral("one.wav")));
    device.setCommand(open);
    QCOMPARE(device.Error(), int(MediaDevice::NoError));
    QCOMPARE(device.Mode(), int(MediaDevice::ModeStop));
    device.setCommand(play);
    QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
    device.setCommand(QStringLiteral("cLoSe"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModeNotOpen));
}

void tst_mediadevice::failuresOnlySetTheErrorState_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("error");

    const QStringList open { QStringLiteral("Open") };
    QTest::newRow("play with nothing open")
        << ""
        << "" << QStringList { "Play" } << int(MediaDevice::ErrorNotOpen);
    QTest::newRow("pause with nothing open")
        << ""
        << "" << QStringList { "Pause" } << int(MediaDevice::ErrorNotOpen);
    QTest::newRow("prev with nothing open")
        << ""
        << "" << QStringList { "Prev" } << int(MediaDevice::ErrorNotOpen);
    QTest::newRow("no file name") << ""
                                  << "" << open << int(MediaDevice::ErrorCannotOpen);
    QTest::newRow("missing file") << "gone.mp3"
                                  << "" << open << int(MediaDevice::ErrorCannotOpen);
    QTest::newRow("not music") << "junk.mp3"
                               << "" << open << int(MediaDevice::ErrorCannotOpen);
    QTest::newRow("wave audio for an mp3")
        << "tune.mp3"
        << "WaveAudio" << open << int(MediaDevice::ErrorCannotOpen);
    QTest::newRow("sequencer for a wave file")
        << "wave-named.mid"
        << "Sequencer" << open << int(MediaDevice::ErrorCannotOpen);
    QTest::newRow("unknown device type")
        << "one.wav"
        << "CDAudio" << open << int(MediaDevice::ErrorUnknownDeviceType);
    QTest::newRow("unknown command")
        << "one.wav"
        << "" << QStringList { "Open", "Eject" } << int(MediaDevice::ErrorUnknownCommand);
    QTest::newRow("failed open closes the old piece")
        << "one.wav"
        << "" << QStringList { "Open", "Play", "Open" } << -1;
    QTest::newRow("close with nothing open is harmless")
        << ""
        << "" << QStringList { "Close" } << int(MediaDevice::NoError);
}

void tst_mediadevice::failuresOnlySetTheErrorState()
{
    QFETCH(QString, file);
    QFETCH(QString, type);
    QFETCH(QStringList, commands);
    QFETCH(int, error);

    MediaDevice device;
    device.setFileName(file.isEmpty() ? QString() : m_dir.filePath(file));
    device.setDeviceType(type);
    for (const QString &c : commands) {
        if (error == -1 && c == commands.last())
            device.setFileName(m_dir.filePath(QStringLiteral("gone.wav")));
        device.setCommand(c);
    }
    if (error == -1) {
        QCOMPARE(device.Error(), int(MediaDevice::ErrorCannotOpen));
    } else {
        QCOMPARE(device.Error(), error);
        QCOMPARE(device.ErrorMessage().isEmpty(), error == MediaDevice::NoError);
    }
    if (commands.last() != QLatin1String("Eject")) {
        QCOMPARE(device.Mode(), int(MediaDevice::ModeNotOpen));
        QCOMPARE(device.Length(), 0);
        QCOMPARE(device.Position(), 0);
    }

    // The device stays usable: a good open clears the error.
    device.setFileName(m_dir.filePath(QStringLiteral("one.wav")));
    device.setDeviceType(QString());
    device.setCommand(QStringLiteral("Open"));
    QCOMPARE(device.Error(), int(MediaDevice::NoError));
    QCOMPARE(device.Length(), 1000);
}

void tst_mediadevice::deviceTypeChoosesTheDecoder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");

    QTest::newRow("wave audio") << "one.wav"
                                << "WaveAudio" << 1000;
    QTest::newRow("sequencer") << "four.mid"
                               << "Sequencer" << 1000;
    QTest::newRow("type in other letter case") << "four.mid"
                                               << "sequencer" << 1000;
    QTest::newRow("empty: upper-case .WAV") << "UPPER.WAV"
                                            << "" << 400;
    QTest::newRow("empty: upper-case .MID") << "FOUR.MID"
                                            << "" << 1000;
    QTest::newRow("empty: .mp3") << "tune.mp3"
                                 << "" << -1;
    QTest::newRow("mpeg video") << "tune.mp3"
                                << "MPEGVideo" << -1;
}

void tst_mediadevice::deviceTypeChoosesTheDecoder()
{
    QFETCH(QString, file);
    QFETCH(QString, type);
    QFETCH(int, length);

    MediaDevice device;
    device.setFileName(m_dir.filePath(file));
    device.setDeviceType(type);
    device.setCommand(QStringLiteral("Open"));
    QCOMPARE(device.Error(), int(MediaDevice::NoError));
    QCOMPARE(device.Mode(), int(MediaDevice::ModeStop));
    QCOMPARE(device.Position(), 0);
    if (length >= 0)
        QCOMPARE(device.Length(), length);
    else // the default piece: about a minute
        QVERIFY2(device.Length() > 30000 && device.Length() < 90000,
            qPrintable(QString::number(device.Length())));
}

void tst_mediadevice::wavePlayPausePrevAndEnd()
{
    MediaDevice device;
    device.setFileName(m_dir.filePath(QStringLiteral("one.wav")));
    device.setCommand(QStringLiteral("Open"));
    device.setCommand(QStringLiteral("Play"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
    // Right after the start the decoder has nothing yet; the position moves anyway.
    QTest::qWait(20);
    QVERIFY(device.Position() > 0);
    QTRY_VERIFY(device.Position() > 200);

    device.setCommand(QStringLiteral("Pause"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModePause));
    const int paused = device.Position();
    QTest::qWait(250);
    QCOMPARE(device.Position(), paused);

    device.setCommand(QStringLiteral("Play"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device.Position() >= paused);
    QVERIFY(device.Position() < paused + 400);
    QTRY_VERIFY(device.Position() > paused + 100);

    device.setCommand(QStringLiteral("Prev"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModeStop));
    QCOMPARE(device.Position(), 0);
    device.setCommand(QStringLiteral("Play"));
    QVERIFY(device.Position() < 400);

    // At the end the position equals the length and the device stops.
    QTRY_COMPARE_WITH_TIMEOUT(device.Mode(), int(MediaDevice::ModeStop), 3000);
    QCOMPARE(device.Position(), device.Length());
    // Playing from the end starts over.
    device.setCommand(QStringLiteral("Play"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device.Position() < 400);
}

void tst_mediadevice::midiLengthAndClock()
{
    MediaDevice device;
    device.setFileName(m_dir.filePath(QStringLiteral("four.mid")));
    device.setDeviceType(QStringLiteral("Sequencer"));
    device.setCommand(QStringLiteral("Open"));
    QCOMPARE(device.Length(), 1000);
    device.setCommand(QStringLiteral("Play"));
    QTRY_VERIFY(device.Position() > 100);

    device.setCommand(QStringLiteral("Pause"));
    const int paused = device.Position();
    QTest::qWait(200);
    QCOMPARE(device.Position(), paused);
    device.setCommand(QStringLiteral("Play"));
    QTRY_VERIFY(device.Position() > paused + 50);

    // The synthesiser plays on in silence after the last note; the tempo map ends it.
    QTRY_COMPARE_WITH_TIMEOUT(device.Mode(), int(MediaDevice::ModeStop), 3000);
    QCOMPARE(device.Position(), 1000);
    device.setCommand(QStringLiteral("Prev"));
    QCOMPARE(device.Position(), 0);
    device.setCommand(QStringLiteral("Play"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device.Position() < 400);
}

void tst_mediadevice::repeatGoesStraightIntoTheNextRound_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("wav") << "one.wav";
    QTest::newRow("midi") << "four.mid";
}

// At the end of a round a repeating device reads as stopped at its end while the
// mixer already plays the next round; "Prev" and "Play" take that round up. A round
// nobody takes up, or a pause there, stops the music.
void tst_mediadevice::repeatGoesStraightIntoTheNextRound()
{
    QFETCH(QString, name);
    MediaDevice device;
    device.setFileName(m_dir.filePath(name));
    device.setRepeat(true);
    device.setCommand(QStringLiteral("Open"));
    device.setCommand(QStringLiteral("Play"));
    // Reading the device is what notices the end of a round.
    const auto sounding = [&device] {
        device.Mode();
        return Mix_PlayingMusic() != 0;
    };

    for (int round = 0; round < 2; ++round) {
        QTRY_COMPARE_WITH_TIMEOUT(device.Mode(), int(MediaDevice::ModeStop), 3000);
        QCOMPARE(device.Position(), device.Length());
        QVERIFY(sounding());
        device.setCommand(QStringLiteral("Prev"));
        QCOMPARE(device.Position(), 0);
        QVERIFY(sounding());
        device.setCommand(QStringLiteral("Play"));
        QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
        QVERIFY(device.Position() < 400);
    }

    QTRY_COMPARE_WITH_TIMEOUT(device.Mode(), int(MediaDevice::ModeStop), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!sounding(), 2000);
    QCOMPARE(device.Position(), device.Length());
    device.setCommand(QStringLiteral("Play"));
    QCOMPARE(device.Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device.Position() < 400);

    QTRY_COMPARE_WITH_TIMEOUT(device.Mode(), int(MediaDevice::ModeStop), 3000);
    QVERIFY(sounding());
    device.setCommand(QStringLiteral("Pause"));
    QVERIFY(!sounding());
}

void tst_mediadevice::anotherDeviceTakesTheMusic()
{
    MediaDevice first;
    MediaDevice second;
    first.setFileName(m_dir.filePath(QStringLiteral("one.wav")));
    second.setFileName(m_dir.filePath(QStringLiteral("four.mid")));
    first.setCommand(QStringLiteral("Open"));
    second.setCommand(QStringLiteral("Open"));
    first.setCommand(QStringLiteral("Play"));
    second.setCommand(QStringLiteral("Play"));
    QCOMPARE(first.Mode(), int(MediaDevice::ModeStop));
    QCOMPARE(second.Mode(), int(MediaDevice::ModePlay));
    // Closing the one that lost the music leaves the other playing.
    first.setCommand(QStringLiteral("Close"));
    QCOMPARE(second.Mode(), int(MediaDevice::ModePlay));
}

// A helper program opens the device, plays a piece, reports, then sends itself
// SIGTERM: it must end by that signal, not linger. Whatever the audio driver finds
// (here ALSA, on a machine that may have no sound card), the terminal stays quiet.
void tst_mediadevice::runsSilentlyWithoutSoundAndLeavesSignalsAlone_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no such driver")
        << "no-such-driver" << QByteArray("driver=dummy silent=1 mode=526 error=0");
    QTest::newRow("alsa") << "alsa" << QByteArray("mode=526 error=0");
}

void tst_mediadevice::runsSilentlyWithoutSoundAndLeavesSignalsAlone()
{
    QFETCH(QString, driver);
    QFETCH(QByteArray, expected);
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), driver);
    helper.setProcessEnvironment(env);
    helper.start(QCoreApplication::applicationDirPath() + QStringLiteral("/prog_mediadevice"),
        { m_dir.filePath(QStringLiteral("one.wav")) });
    QVERIFY(helper.waitForFinished(30000));
    const QByteArray out = helper.readAllStandardOutput();
    QVERIFY2(out.contains(expected), out.constData());
    QVERIFY2(!out.contains("still running"), out.constData());
    QCOMPARE(helper.readAllStandardError(), QByteArray());
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(tst_mediadevice)
#include "tst_mediadevice.moc"
