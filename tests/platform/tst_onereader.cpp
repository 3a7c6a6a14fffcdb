// Every place in the program that opens a file itself, rather than through the guarded
// reader and writer (readFile, readRegularFile, replaceFile), is one of the rows below,
// each behind its own check that the file is a regular one. A new direct opening
// anywhere in the sources fails this test until it is made safe and given its row.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What opens a file directly: Qt's, the C library's and the system's own ways, and
// the libraries' that take a path.
const QRegularExpression kOpening(
    uR"(QSaveFile|\bQFile\s+\w+\s*\(|\bQFile::copy|\bfopen\s*\()"
    uR"(|std::[io]?fstream|(^|[^\w.>])::open\s*\(|sqlite3_open)"
    uR"(|QSqlDatabase::addDatabase|SDL_RWFromFile|\bmdb_open\s*\()"
    uR"(|new QMovie\s*\(\s*\w*[Pp]ath|QPdfWriter\s+\w+\s*\(\s*\w*[Pp]ath)"_s);

// Where the guarded path itself lives: it is the one place these rules are kept.
const QString kGuard = u"src/platform/safefile.cpp"_s;

struct Found
{
    QString file;
    QString line;
};

QList<Found> openings()
{
    QList<Found> out;
    const QString root = QStringLiteral(QELVI_SOURCE_DIR "/");
    QDirIterator it(
        root + u"src"_s, { u"*.cpp"_s, u"*.h"_s }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString file = path.mid(root.size());
        if (file == kGuard)
            continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
        for (const QString &line : lines) {
            const QString code = line.section(u"//"_s, 0, 0);
            if (code.contains(kOpening))
                out.append({ file, line.trimmed() });
        }
    }
    return out;
}

} // namespace

class tst_onereader : public QObject
{
    Q_OBJECT

private slots:
    // One row for each place that may open a file itself, with what guards it.
    void directOpeningsAreTheKnownOnes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("part"); // part of the line
        // The bank's connection, after checkFile (regular file or link, told once).
        QTest::newRow("bank connection")
            << u"src/bank/store/bankfile.cpp"_s
            << u"addDatabase(QStringLiteral(\"QSQLITE\"), kConnection)"_s;
        // Another bank, on the copy openCopy made through readFile.
        QTest::newRow("another bank's copy")
            << u"src/bank/store/bankfile.cpp"_s
            << u"addDatabase(QStringLiteral(\"QSQLITE\"), connection)"_s;
        // A new bank, only where nothing exists.
        QTest::newRow("fresh bank") << u"src/bank/store/bankfile.cpp"_s
                                    << u"addDatabase(QStringLiteral(\"QSQLITE\"), name)"_s;
        // results.db, after checkPath (regular file or link, never a FIFO).
        QTest::newRow("results history") << u"src/results/store/history.cpp"_s
                                         << u"addDatabase(QStringLiteral(\"QSQLITE\"), m_name)"_s;
        // The Access converter: the bank's lock after checkFile, its folder, its new
        // file (O_EXCL), the format probe (O_NONBLOCK, regular files only).
        QTest::newRow("converter lock")
            << u"src/bank/store/jetbank.cpp"_s << u"O_RDONLY | O_CLOEXEC);"_s;
        QTest::newRow("converter folder sync")
            << u"src/bank/store/jetbank.cpp"_s << u"O_DIRECTORY : 0"_s;
        QTest::newRow("converter new file") << u"src/bank/store/jetbank.cpp"_s << u"O_EXCL"_s;
        QTest::newRow("format probe") << u"src/bank/store/jetbank.cpp"_s << u"O_NONBLOCK"_s;
        QTest::newRow("converted bank") << u"src/bank/store/jetbank.cpp"_s << u"sqlite3_open_v2"_s;
        QTest::newRow("Access reader") << u"src/bank/store/jetreader.cpp"_s << u"mdb_open"_s;
        // A music piece, streamed by the decoder after isRegularFile.
        QTest::newRow("music piece") << u"src/platform/mediadevice.cpp"_s << u"SDL_RWFromFile"_s;
    }
    void directOpeningsAreTheKnownOnes()
    {
        QFETCH(QString, file);
        QFETCH(QString, part);
        const QList<Found> found = openings();
        const bool present = std::any_of(found.cbegin(), found.cend(),
            [&](const Found &f) { return f.file == file && f.line.contains(part); });
        QVERIFY2(present, qPrintable(file + u": no longer "_s + part + u"; drop the row"_s));
    }

    // Nothing else opens a file: every other reader and writer goes through safefile.
    void noOtherDirectOpening()
    {
        const QList<std::pair<QString, QString>> rows {
            { u"src/bank/store/bankfile.cpp"_s, u"addDatabase"_s },
            { u"src/results/store/history.cpp"_s, u"addDatabase"_s },
            { u"src/bank/store/jetbank.cpp"_s, u"::open"_s },
            { u"src/bank/store/jetbank.cpp"_s, u"sqlite3_open_v2"_s },
            { u"src/bank/store/jetreader.cpp"_s, u"mdb_open"_s },
            { u"src/platform/mediadevice.cpp"_s, u"SDL_RWFromFile"_s },
        };
        QStringList strays;
        for (const Found &f : openings()) {
            const bool allowed = std::any_of(rows.cbegin(), rows.cend(),
                [&](const auto &r) { return f.file == r.first && f.line.contains(r.second); });
            if (!allowed)
                strays << f.file + u": "_s + f.line;
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(tst_onereader)
#include "tst_onereader.moc"
