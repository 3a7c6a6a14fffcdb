// The music controller's parts without its window: the progress bar's range rules
// and the music.ini file.
#include "base/programfolder.h"
#include "music/musicini.h"
#include "music/progressbar.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

class tst_musicparts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void progressBarKeepsItsRange_data();
    void progressBarKeepsItsRange();
    void decodesUtf8ElseGbk_data();
    void decodesUtf8ElseGbk();
    void readsTheFirstLine_data();
    void readsTheFirstLine();
    void resolvesOnlyTheExactShippedPath_data();
    void resolvesOnlyTheExactShippedPath();
    void writesOneLineWithCrLf();
    void reportsAWriteThatFails();

private:
    QByteArray ini() const;
    void writeIni(const QByteArray &bytes) const;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
};

void tst_musicparts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previous = programFolder();
    setProgramFolder(m_dir->path());
}

void tst_musicparts::cleanup()
{
    setProgramFolder(m_previous);
    m_dir.reset();
}

QByteArray tst_musicparts::ini() const
{
    QFile f(m_dir->filePath(QStringLiteral("music.ini")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void tst_musicparts::writeIni(const QByteArray &bytes) const
{
    QFile f(m_dir->filePath(QStringLiteral("music.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void tst_musicparts::progressBarKeepsItsRange_data()
{
    // Steps "min=…", "max=…", "value=…" applied in order to a new bar (0, 100, 0).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<bool>>("accepted");
    QTest::addColumn<QList<float>>("after"); // min, max, value

    using B = QList<bool>;
    using F = QList<float>;
    QTest::newRow("value in range") << QStringList { "value=50" } << B { true } << F { 0, 100, 50 };
    QTest::newRow("value at the maximum")
        << QStringList { "value=100" } << B { true } << F { 0, 100, 100 };
    QTest::newRow("value above the maximum")
        << QStringList { "value=100.5" } << B { false } << F { 0, 100, 0 };
    QTest::newRow("value below the minimum")
        << QStringList { "min=1", "value=0" } << B { true, false } << F { 1, 100, 1 };
    QTest::newRow("maximum equal to the minimum")
        << QStringList { "max=0" } << B { false } << F { 0, 100, 0 };
    QTest::newRow("maximum below the minimum")
        << QStringList { "min=10", "max=5" } << B { true, false } << F { 10, 100, 10 };
    QTest::newRow("minimum reaching the maximum")
        << QStringList { "min=100" } << B { false } << F { 0, 100, 0 };
    QTest::newRow("a piece's length, then minimum 1") << QStringList { "max=58182", "min=1",
        "value=30000" } << B { true, true, true } << F { 1, 58182, 30000 };
    QTest::newRow("nothing open: length 0, then minimum 1")
        << QStringList { "max=0", "min=1" } << B { false, true } << F { 1, 100, 1 };
    QTest::newRow("maximum below the value: the value goes to the start")
        << QStringList { "value=80", "max=50" } << B { true, true } << F { 0, 50, 0 };
    QTest::newRow("minimum above the value")
        << QStringList { "value=5", "min=10" } << B { true, true } << F { 10, 100, 10 };
    QTest::newRow("not a number") << QStringList { "value=nan", "max=nan", "min=nan" }
                                  << B { false, false, false } << F { 0, 100, 0 };
    QTest::newRow("single precision compare") << QStringList { "max=16777217", "value=16777216" }
                                              << B { true, true } << F { 0, 16777216, 16777216 };
}

void tst_musicparts::progressBarKeepsItsRange()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<bool>, accepted);
    QFETCH(QList<float>, after);

    ProgressBar bar;
    for (int i = 0; i < steps.size(); ++i) {
        const QStringList step = steps[i].split(QLatin1Char('='));
        const float v = step[1] == QLatin1String("nan") ? std::numeric_limits<float>::quiet_NaN()
                                                        : step[1].toFloat();
        bool ok = false;
        if (step[0] == QLatin1String("min"))
            ok = bar.setMin(v);
        else if (step[0] == QLatin1String("max"))
            ok = bar.setMax(v);
        else
            ok = bar.setValue(v);
        QVERIFY2(ok == accepted[i], qPrintable(steps[i]));
    }
    QCOMPARE(bar.Min(), after[0]);
    QCOMPARE(bar.Max(), after[1]);
    QCOMPARE(bar.Value(), after[2]);
    // The drawn bar follows.
    const int drawn = bar.QProgressBar::value();
    QCOMPARE(
        drawn, int(std::lround((after[2] - after[0]) / (after[1] - after[0]) * bar.maximum())));
}

void tst_musicparts::decodesUtf8ElseGbk_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString chinese = QStringLiteral("D:\\音乐\\高山流水.mp3");
    QStringEncoder gbk("GBK");
    QTest::newRow("ASCII") << QByteArray("C:\\m.mp3") << QStringLiteral("C:\\m.mp3");
    QTest::newRow("UTF-8") << chinese.toUtf8() << chinese;
    QTest::newRow("GBK") << QByteArray(gbk.encode(chinese)) << chinese;
    QTest::newRow("UTF-8 byte-order mark dropped")
        << QByteArray("\xef\xbb\xbf") + chinese.toUtf8() << chinese;
}

void tst_musicparts::decodesUtf8ElseGbk()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(MusicIni::decode(bytes), text);
}

void tst_musicparts::readsTheFirstLine_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("path");

    QTest::newRow("missing") << false << QByteArray() << QString();
    QTest::newRow("empty") << true << QByteArray() << QString();
    QTest::newRow("CR LF") << true << QByteArray("/m/a.mp3\r\n/m/b.mp3\r\n") << "/m/a.mp3";
    QTest::newRow("LF") << true << QByteArray("/m/a.mp3\n/m/b.mp3") << "/m/a.mp3";
    QTest::newRow("CR") << true << QByteArray("/m/a.mp3\r/m/b.mp3") << "/m/a.mp3";
    QTest::newRow("no line end") << true << QByteArray("/m/a b.mp3") << "/m/a b.mp3";
    QTest::newRow("blanks kept") << true << QByteArray(" /m/a.mp3 \r\n") << " /m/a.mp3 ";
}

void tst_musicparts::readsTheFirstLine()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, path);
    if (exists)
        writeIni(bytes);
    QCOMPARE(MusicIni::readPath(), path);
}

void tst_musicparts::resolvesOnlyTheExactShippedPath_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("shipped");
    QTest::newRow("exact") << "E:\\Qelvi\\gaoshanls.mp3" << true;
    QTest::newRow("letter case") << "E:\\QELVI\\gaoshanls.mp3" << false;
    QTest::newRow("trailing blank") << "E:\\Qelvi\\gaoshanls.mp3 " << false;
    QTest::newRow("other piece") << "E:\\Qelvi\\other.mp3" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_musicparts::resolvesOnlyTheExactShippedPath()
{
    QFETCH(QString, line);
    QFETCH(bool, shipped);
    QCOMPARE(
        MusicIni::resolve(line), shipped ? m_dir->filePath(QStringLiteral("gaoshanls.mp3")) : line);
}

void tst_musicparts::writesOneLineWithCrLf()
{
    writeIni("a line much longer than the one that replaces it\r\nand a second\r\n");
    QString reason;
    QVERIFY(MusicIni::writePath(QStringLiteral("/音乐/曲.mp3"), &reason));
    QCOMPARE(ini(), QByteArray("/\xe9\x9f\xb3\xe4\xb9\x90/\xe6\x9b\xb2.mp3\r\n"));
    QVERIFY(MusicIni::writePath(QString(), &reason));
    QCOMPARE(ini(), QByteArray("\r\n"));
    QCOMPARE(MusicIni::readPath(), QString());
    // What is written reads back the same.
    QVERIFY(MusicIni::writePath(QStringLiteral("/音乐/曲.mp3"), &reason));
    QCOMPARE(MusicIni::readPath(), QStringLiteral("/音乐/曲.mp3"));
}

void tst_musicparts::reportsAWriteThatFails()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("music.ini")));
    QString reason;
    QVERIFY(!MusicIni::writePath(QStringLiteral("/m/a.mp3"), &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("music.ini"))).isDir());
}

QTEST_MAIN(tst_musicparts)
#include "tst_musicparts.moc"
