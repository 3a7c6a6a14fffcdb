// The program's small files against what a careless or hostile folder holds in their
// place: a FIFO, a device, a folder, a link to a file outside, a huge file.
#include "base/safefile.h"
#include "formats/files.h"
#include "formats/result/resultdocument.h"
#include "forms/handoff.h"
#include "music/musicini.h"
#include "support/testfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

class tst_safefile : public QObject
{
    Q_OBJECT

private slots:
    // Each reader, with each kind of thing where its file belongs: no file, at once
    // (a FIFO nobody writes would block an ordinary open for good).
    void readersTakeOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        for (const char *file : { "temp.txt", "temp1.txt", "music.ini" })
            for (const char *kind : { "fifo", "device", "folder" })
                QTest::newRow(QByteArray(file).append(' ').append(kind).constData())
                    << QString::fromLatin1(file) << QString::fromLatin1(kind);
    }
    void readersTakeOnlyRegularFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        TestFolder folder;
        const QByteArray path = QFile::encodeName(folder.file(file));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == QLatin1String("device"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), folder.file(file)));
        else
            QVERIFY(QDir(folder.path()).mkdir(file));

        QVERIFY(!readRegularFile(folder.file(file), 1024));
        if (file == QLatin1String("temp.txt"))
            QVERIFY(!HandOff::readTestName());
        else if (file == QLatin1String("temp1.txt"))
            QVERIFY(!HandOff::readModeCode());
        else
            QCOMPARE(MusicIni::readPath(), QString());
    }

    void readsStopAtTheirBound()
    {
        TestFolder folder;
        folder.write(QStringLiteral("big"), QByteArray(100000, 'x'));
        QCOMPARE(
            readRegularFile(folder.file(QStringLiteral("big")), 10).value(), QByteArray(10, 'x'));
        QCOMPARE(readRegularFile(folder.file(QStringLiteral("big")), 1 << 20)->size(), 100000);
    }

    // Every writer replaces a link in its file's place; the file behind it is untouched.
    void writersReplaceLinksInsteadOfFollowingThem_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("temp.txt") << QStringLiteral("temp.txt");
        QTest::newRow("temp1.txt") << QStringLiteral("temp1.txt");
        QTest::newRow("music.ini") << QStringLiteral("music.ini");
        QTest::newRow("exported test file") << QStringLiteral("导出.txt");
        QTest::newRow("history CSV") << QStringLiteral("记录.csv");
        QTest::newRow("result PDF") << QStringLiteral("结果.pdf");
    }
    void writersReplaceLinksInsteadOfFollowingThem()
    {
        QFETCH(QString, file);
        TestFolder folder;
        QTemporaryDir outside;
        const QString victim = outside.filePath(QStringLiteral("victim.txt"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write(QByteArray(3800, 'v'));
        v.close();
        QVERIFY(QFile::link(victim, folder.file(file)));

        QString reason;
        if (file == QLatin1String("temp.txt"))
            QVERIFY(HandOff::writeTestName(QStringLiteral("测试一")));
        else if (file == QLatin1String("temp1.txt"))
            QVERIFY(HandOff::writeModeCode(2));
        else if (file == QLatin1String("music.ini"))
            QVERIFY2(MusicIni::writePath(QStringLiteral("/a/b.mp3"), &reason), qPrintable(reason));
        else if (file.endsWith(QLatin1String(".txt")))
            QVERIFY2(Exchange::writeFile(folder.file(file), {}, &reason), qPrintable(reason));
        else if (file.endsWith(QLatin1String(".csv")))
            QVERIFY2(ResultDocument::writeFile(folder.file(file), "a,b\r\n", &reason),
                qPrintable(reason));
        else
            QVERIFY2(ResultDocument::savePdf({}, folder.file(file), &reason), qPrintable(reason));

        QVERIFY(QFileInfo(victim).size() == 3800);
        QVERIFY(!QFileInfo(folder.file(file)).isSymLink());
        QVERIFY(!folder.read(file).isEmpty());
        // Nothing is left behind but the file itself.
        QCOMPARE(QDir(folder.path()).entryList({ file + QStringLiteral(".*") }, QDir::Files),
            QStringList());
    }

    void aFailedWriteKeepsTheOldFileAndSaysWhy()
    {
        TestFolder folder;
        folder.write(QStringLiteral("music.ini"), "old\r\n");
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
        QString reason;
        // A folder where the file should be: not replaced, and said so in Chinese.
        QVERIFY(!replaceFile(folder.file(QStringLiteral("sub")), "new", &reason));
        QVERIFY2(!reason.isEmpty() && reason.at(0).unicode() > 0x2e80, qPrintable(reason));
        QCOMPARE(folder.read(QStringLiteral("music.ini")), QByteArray("old\r\n"));
    }

    // A write the disk cannot take (here: a file-size limit, as a full disk refuses it)
    // reports failure, leaves the old file whole and nothing beside it: for each writer.
    void aWriteTheDiskRefusesKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("writer");
        for (const char *w : { "replaceFile", "test-file export", "CSV export", "PDF" })
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void aWriteTheDiskRefusesKeepsTheOldFile()
    {
        QFETCH(QString, writer);
        TestFolder folder;
        const QByteArray old(100, 'o');
        folder.write(QStringLiteral("out"), old);
        const QString path = folder.file(QStringLiteral("out"));

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before = {};
        ::getrlimit(RLIMIT_FSIZE, &before);
        rlimit small = before;
        small.rlim_cur = 200;
        ::setrlimit(RLIMIT_FSIZE, &small);
        QString error;
        bool written = false;
        if (writer == QLatin1String("replaceFile")) {
            written = replaceFile(path, QByteArray(5000, 'n'), &error);
        } else if (writer == QLatin1String("test-file export")) {
            Exchange::Test test { QStringLiteral("测试"), {}, {} };
            Exchange::Question question;
            question.text = QStringLiteral("一道很长的题目，用来写满文件。");
            for (int i = 0; i < 50; ++i)
                test.questions.append(question);
            written = Exchange::writeFile(
                path, Exchange::Package { { { QStringLiteral("类"), { test } } } }, &error);
        } else {
            Results::Record record;
            record.test = QStringLiteral("测试");
            record.resultText = QString(400, u'字');
            record.evaluation = record.resultText;
            written = writer == QLatin1String("PDF")
                ? ResultDocument::savePdf(record, path, &error)
                : ResultDocument::writeFile(path, ResultDocument::csv({ record }), &error);
        }
        ::setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(!written);
        // The reason in Chinese; the exports name the file too.
        QVERIFY2(!error.isEmpty() && !error.contains(QStringLiteral("large")), qPrintable(error));
        QVERIFY2(writer == QLatin1String("replaceFile") || error.contains(QStringLiteral("out")),
            qPrintable(error));
        QCOMPARE(folder.read(QStringLiteral("out")), old);
        QCOMPARE(QDir(folder.path()).entryList({ QStringLiteral("out*") }, QDir::Files),
            QStringList { QStringLiteral("out") });
    }
};

QTEST_MAIN(tst_safefile)
#include "tst_safefile.moc"
