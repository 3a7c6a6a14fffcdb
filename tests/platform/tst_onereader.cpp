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
const QString kGuard = u"src/base/safefile.cpp"_s;

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

// Each place that may open a file itself, with what guards it.
const struct
{
    const char *name;
    const char *file;
    const char *part; // of the line
} kKnown[] = {
    // The bank's connection, after checkFile (regular file or link, told once).
    { "bank connection", "src/store/bankfile.cpp", "\"QSQLITE\"), kConnection)" },
    // Another bank, on the copy openCopy made through readFile.
    { "another bank's copy", "src/store/bankfile.cpp", "\"QSQLITE\"), connection)" },
    // A new bank, only where nothing exists.
    { "fresh bank", "src/store/bankfile.cpp", "\"QSQLITE\"), name)" },
    // results.db, after checkPath (regular file or link, never a FIFO).
    { "results history", "src/store/results/history.cpp", "\"QSQLITE\"), m_name)" },
    // results.db for the item analysis, after databaseFile, never created there.
    { "item analysis", "src/store/results/itemtable.cpp", "sqlite3_open_v2" },
    // The Access converter: the bank's lock after checkFile, its folder, its new file
    // (O_EXCL), the format probe (O_NONBLOCK, regular files only), the converted bank.
    { "converter lock", "src/formats/access2000/jetbank.cpp", "O_RDONLY | O_CLOEXEC);" },
    { "converter folder sync", "src/formats/access2000/jetbank.cpp", "O_DIRECTORY : 0" },
    { "converter new file", "src/formats/access2000/jetbank.cpp", "O_EXCL" },
    { "format probe", "src/formats/access2000/jetbank.cpp", "O_NONBLOCK" },
    { "converted bank", "src/formats/access2000/newbank.cpp", "sqlite3_open_v2" },
    { "Access reader", "src/formats/access2000/jetreader.cpp", "mdb_open" },
    // The null device, write-only, where libmdb's own lines go while it reads.
    { "libmdb's lines", "src/formats/access2000/jetreader.cpp", "::open(\"/dev/null\", O_WRONLY" },
    // A music piece, streamed by the decoder after isRegularFile.
    { "music piece", "src/platform/mediadevice.cpp", "SDL_RWFromFile" },
};

bool known(const Found &f, const QString &file, const QString &part)
{
    return f.file == file && f.line.contains(part);
}

} // namespace

class tst_onereader : public QObject
{
    Q_OBJECT

private slots:
    // Each known place still opens its file there (else its row is dropped).
    void directOpeningsAreTheKnownOnes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("part");
        for (const auto &k : kKnown)
            QTest::newRow(k.name) << QString::fromLatin1(k.file) << QString::fromUtf8(k.part);
    }
    void directOpeningsAreTheKnownOnes()
    {
        QFETCH(QString, file);
        QFETCH(QString, part);
        const QList<Found> found = openings();
        QVERIFY2(std::any_of(found.cbegin(), found.cend(),
                     [&](const Found &f) { return known(f, file, part); }),
            qPrintable(file + u": no longer "_s + part + u"; drop the row"_s));
    }

    // Nothing else opens a file: every other reader and writer goes through safefile.
    void noOtherDirectOpening()
    {
        QStringList strays;
        for (const Found &f : openings()) {
            if (std::none_of(std::cbegin(kKnown), std::cend(kKnown), [&](const auto &k) {
                    return known(f, QString::fromLatin1(k.file), QString::fromUtf8(k.part));
                }))
                strays << f.file + u": "_s + f.line;
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(tst_onereader)
#include "tst_onereader.moc"
