#include "platform/midilength.h"

#include <QRandomGenerator>
#include <QTest>

// Builds Standard MIDI Files event by event.
namespace {
QByteArray be(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xff));
    return out;
}

QByteArray vlq(quint32 value)
{
    QByteArray out(1, char(value & 0x7f));
    while (value >>= 7)
        out.prepend(char((value & 0x7f) | 0x80));
    return out;
}

QByteArray ev(quint32 delta, const QByteArray &body)
{
    return vlq(delta) + body;
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

QByteArray tempo(quint32 delta, quint32 usPerQuarter)
{
    return ev(delta, bytes({ 0xff, 0x51, 0x03 }) + be(usPerQuarter, 3));
}

QByteArray noteOn(quint32 delta)
{
    return ev(delta, bytes({ 0x90, 60, 100 }));
}

QByteArray noteOff(quint32 delta)
{
    return ev(delta, bytes({ 0x80, 60, 0 }));
}

QByteArray endOfTrack(quint32 delta = 0)
{
    return ev(delta, bytes({ 0xff, 0x2f, 0x00 }));
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    return QByteArray(id, 4) + be(quint32(body.size()), 4) + body;
}

QByteArray smf(quint16 division, const QList<QByteArray> &tracks, quint16 format = 1)
{
    QByteArray out = chunk("MThd", be(format, 2) + be(quint16(tracks.size()), 2) + be(division, 2));
    for (const QByteArray &t : tracks)
        out += chunk("MTrk", t);
    return out;
}
} // namespace

class tst_midilength : public QObject
{
    Q_OBJECT

private slots:
    void length_data();
    void length();
    void refusesWhatIsNoMidiFile_data();
    void refusesWhatIsNoMidiFile();
    void survivesDamagedFiles();
};

void tst_midilength::length_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("ms");

    const QByteArray oneBeat = noteOn(0) + noteOff(480) + endOfTrack();
    QTest::newRow("no tempo: 120 bpm") << smf(480, { oneBeat }) << qint64(500);
    QTest::newRow("60 bpm") << smf(480, { tempo(0, 1000000) + oneBeat }) << qint64(1000);
    QTest::newRow("tempo change midway") << smf(
        480, { tempo(0, 500000) + noteOn(0) + tempo(480, 1000000) + noteOff(480) + endOfTrack() })
                                         << qint64(1500);
    QTest::newRow("tempo map in its own track")
        << smf(480, { tempo(480, 250000) + endOfTrack(), noteOn(0) + noteOff(960) + endOfTrack() })
        << qint64(500 + 250);
    QTest::newRow("tempo after the end does not count")
        << smf(480, { oneBeat, tempo(960, 100000) + endOfTrack(0) }) << qint64(960 * 500 / 480 + 0);
    QTest::newRow("longest track wins") << smf(
        96, { noteOn(0) + noteOff(96) + endOfTrack(), noteOn(0) + noteOff(384) + endOfTrack() })
                                        << qint64(2000);
    QTest::newRow("end of track after a rest")
        << smf(480, { noteOn(0) + noteOff(480) + endOfTrack(960) }) << qint64(1500);
    QTest::newRow("running status") << smf(480,
        { noteOn(0) + ev(480, bytes({ 60, 0 })) + ev(480, bytes({ 62, 100 }))
            + ev(480, bytes({ 62, 0 })) + endOfTrack() })
                                    << qint64(1500);
    QTest::newRow("program change has one data byte")
        << smf(480, { ev(0, bytes({ 0xc0, 5 })) + ev(480, bytes({ 0xd0, 40 })) + endOfTrack(480) })
        << qint64(1000);
    QTest::newRow("sysex and text skipped") << smf(480,
        { ev(0, bytes({ 0xf0, 3, 0x7e, 0x7f, 0xf7 })) + ev(240, bytes({ 0xff, 0x01, 2, 'h', 'i' }))
            + ev(240, bytes({ 0xf7, 1, 0 })) + endOfTrack() })
                                            << qint64(500);
    QTest::newRow("nothing after end of track is read")
        << smf(480, { oneBeat + noteOn(4800) + noteOff(4800) }) << qint64(500);
    QTest::newRow("no end of track: last whole event")
        << smf(480, { noteOn(0) + noteOff(480) + vlq(480) }) << qint64(500);
    QTest::newRow("unknown chunk skipped")
        << smf(480, {}).replace(10, 2, be(1, 2)) + chunk("XTRA", "junk") + chunk("MTrk", oneBeat)
        << qint64(500);
    QTest::newRow("longer header")
        << chunk("MThd", be(1, 2) + be(1, 2) + be(480, 2) + "xx") + chunk("MTrk", oneBeat)
        << qint64(500);
    QTest::newRow("track cut short by the file")
        << (smf(480, { noteOn(0) + noteOff(480) + noteOn(480) + noteOff(480) })).chopped(4)
        << qint64(1000);
    QTest::newRow("time code 25 fps, 40 per frame")
        << smf(quint16(0xe700 | 40), { noteOn(0) + noteOff(2500) + endOfTrack() }) << qint64(2500);
    QTest::newRow("time code 29.97 fps")
        << smf(quint16(0xe300 | 100), { noteOn(0) + noteOff(2997) + endOfTrack() }) << qint64(1000);
    QTest::newRow("no tracks") << smf(480, {}) << qint64(0);
    QTest::newRow("largest values stay finite")
        << smf(1, { tempo(0, 0xffffff) + noteOn(0x0fffffff) + noteOff(0x0fffffff) + endOfTrack() })
        << qint64(std::llround(2.0L * 0x0fffffff * 0xffffff / 1000.0L));
}

void tst_midilength::length()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, ms);
    const std::optional<qint64> got = midiLengthMs(file);
    QVERIFY(got.has_value());
    QCOMPARE(*got, ms);
}

void tst_midilength::refusesWhatIsNoMidiFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("a wave file") << QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16);
    QTest::newRow("header cut short") << smf(480, {}).left(13);
    QTest::newRow("header length below 6")
        << chunk("MThd", be(0, 2) + be(1, 2) + be(480, 1)) + "\x01";
    QTest::newRow("zero division") << smf(0, { endOfTrack() });
    QTest::newRow("time code without ticks") << smf(0xe700, { endOfTrack() });
}

void tst_midilength::refusesWhatIsNoMidiFile()
{
    QFETCH(QByteArray, file);
    QVERIFY(!midiLengthMs(file).has_value());
}

// Random damage to a valid file, from a fixed random start so a failure repeats:
// the reader must neither crash nor read past the bytes (the sanitizer build checks
// the latter), and a length is never negative.
void tst_midilength::survivesDamagedFiles()
{
    const QByteArray good = smf(96,
        { tempo(0, 400000) + noteOn(0) + ev(96, bytes({ 60, 0 }))
                + ev(0, bytes({ 0xf0, 2, 1, 0xf7 })) + noteOff(96) + endOfTrack(),
            noteOn(10) + noteOff(500) + endOfTrack() });
    QRandomGenerator random(20240607);
    for (int round = 0; round < 20000; ++round) {
        QByteArray file = good;
        const int edits = 1 + random.bounded(4);
        for (int e = 0; e < edits; ++e) {
            const int at = random.bounded(int(file.size()));
            switch (random.bounded(4)) {
            case 0:
                file[at] = char(random.bounded(256));
                break;
            case 1:
                file.truncate(at);
                break;
            case 2:
                file.insert(at, char(0x80 | random.bounded(128)));
                break;
            default:
                file[at] = char(0xff);
                break;
            }
            if (file.isEmpty())
                break;
        }
        const std::optional<qint64> got = midiLengthMs(file);
        if (got)
            QVERIFY2(*got >= 0, qPrintable(file.toHex()));
    }
}

QTEST_APPLESS_MAIN(tst_midilength)
#include "tst_midilength.moc"
