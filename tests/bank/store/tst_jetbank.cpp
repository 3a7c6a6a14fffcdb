// A user's Access 2000 bank converted into the store: every value of the fixtures
// exact, the original kept byte for byte, faults refused with nothing written, and a
// conversion killed at any moment or run twice at once leaving a sound folder.
#include "formats/access2000/jetbank.h"
#include "formats/access2000/jetreader.h"
#include "store/bankfile.h"
#include "support/accessbanks.h"
#include "support/asnobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <cstdio>
#include <functional>
#include <mdbtools.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

QString converter()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/prog_jetconvert");
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// What is written on stderr (the terminal) while run() runs.
QByteArray stderrOf(const std::function<void()> &run)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "no capture file";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

qint64 rowsOf(const QJsonObject &manifest)
{
    qint64 rows = 0;
    for (const QJsonValue &t : manifest.value(QLatin1String("tables")).toArray())
        rows += t.toObject().value(QLatin1String("rowCount")).toInt();
    return rows;
}

// Where the first row of a table lies in the file: the byte offset of its entry in
// its data page's row table, and of the table's row count in its definition page.
bool locateFirstRow(const QString &file, const QString &table, qint64 *rowEntry, qint64 *rowCount)
{
    MdbHandle *mdb = mdb_open(QFile::encodeName(file).constData(), MDB_NOFLAGS);
    if (!mdb)
        return false;
    QByteArray name = table.toUtf8();
    MdbTableDef *def = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
    bool found = false;
    if (def && mdb_read_columns(def)) {
        mdb_rewind_table(def);
        if (mdb_fetch_row(def)) {
            const qint64 page = def->cur_phys_pg * qint64(mdb->fmt->pg_size);
            *rowEntry = page + mdb->fmt->row_count_offset + 2 + 2 * (def->cur_row - 1);
            *rowCount
                = def->entry->table_pg * qint64(mdb->fmt->pg_size) + mdb->fmt->tab_num_rows_offset;
            found = true;
        }
    }
    if (def)
        mdb_free_tabledef(def);
    mdb_close(mdb);
    return found;
}

// The first row of table flagged deleted, as Access leaves a deleted row in the file.
bool deleteFirstRow(const QString &file, const QString &table)
{
    qint64 entry = 0, count = 0;
    if (!locateFirstRow(file, table, &entry, &count))
        return false;
    QByteArray bytes = readAll(file);
    bytes[entry + 1] = char(quint8(bytes[entry + 1]) | 0x40);
    const quint32 rows = qFromLittleEndian<quint32>(bytes.constData() + count) - 1;
    qToLittleEndian(rows, bytes.data() + count);
    return writeAll(file, bytes);
}

// Whether the folder holds a whole converted bank beside the original kept intact.
QString checkConverted(const QString &folder, const QByteArray &original, int tables, qint64 rows)
{
    const QString bank = QDir(folder).filePath(QStringLiteral("test.mdb"));
    if (readAll(bank + QStringLiteral(".access2000")) != original)
        return QStringLiteral("the original is not kept intact");
    sqlite3 *db = nullptr;
    sqlite3_open_v2(bank.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QString problem;
    int seenTables = 0;
    qint64 seenRows = 0;
    sqlite3_stmt *list = nullptr;
    if (sqlite3_prepare_v2(
            db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &list, nullptr)
        != SQLITE_OK)
        problem = QStringLiteral("test.mdb is no SQLite bank: ")
            + QString::fromUtf8(sqlite3_errmsg(db));
    QStringList names;
    while (list && sqlite3_step(list) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(list, 0)));
    sqlite3_finalize(list);
    for (const QString &name : names) {
        ++seenTables;
        const QByteArray sql
            = QStringLiteral("SELECT count(*) FROM %1").arg(BankFile::quoteName(name)).toUtf8();
        sqlite3_stmt *count = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &count, nullptr);
        if (sqlite3_step(count) == SQLITE_ROW)
            seenRows += sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
    }
    sqlite3_close(db);
    if (problem.isEmpty() && (seenTables != tables || seenRows != rows))
        problem = QStringLiteral("%1 tables and %2 rows instead of %3 and %4")
                      .arg(seenTables)
                      .arg(seenRows)
                      .arg(tables)
                      .arg(rows);
    return problem;
}

} // namespace

class tst_jetbank : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(AccessBanks::path(QStringLiteral("sample2000"))),
            "the Access 2000 fixtures are missing");
    }

    void cleanup() { BankFile::closeConnection(); }

    // Every table, field, row and value of each fixture, and the original kept.
    void convertsEveryValue_data()
    {
        QTest::addColumn<QString>("fixture");
        for (const char *name : { "fresh2000", "sample2000", "awkward2000" })
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void convertsEveryValue()
    {
        QFETCH(QString, fixture);
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QVERIFY(AccessBanks::copyTo(fixture, bank));
        const QByteArray original = readAll(bank);
        const QJsonObject manifest = AccessBanks::manifest(fixture);

        JetBank::Conversion done;
        const StoreError e = JetBank::convertIfJet(bank, &done);
        QVERIFY2(!e, qPrintable(e.message()));
        const QString difference = AccessBanks::compare(bank, manifest);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(done.keptAs, bank + QStringLiteral(".access2000"));
        QCOMPARE(readAll(done.keptAs), original);
        QCOMPARE(done.rows, rowsOf(manifest));
        QCOMPARE(done.replaced, 0);
        QCOMPARE(filesIn(dir.path()), QStringList({ "test.mdb", "test.mdb.access2000" }));
        QVERIFY(!BankFile::check(bank));

        // Once converted, the bank is left alone.
        BankFile::closeConnection();
        JetBank::Conversion again;
        QVERIFY(!JetBank::convertIfJet(bank, &again));
        QVERIFY(again.keptAs.isEmpty());
        QCOMPARE(filesIn(dir.path()), QStringList({ "test.mdb", "test.mdb.access2000" }));
    }

    // A file already bearing the name the original would get is not touched.
    void keptNameTaken()
    {
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QVERIFY(AccessBanks::copyTo(QStringLiteral("fresh2000"), bank));
        QVERIFY(writeAll(bank + QStringLiteral(".access2000"), "the user's own"));
        JetBank::Conversion done;
        QVERIFY(!JetBank::convertIfJet(bank, &done));
        QCOMPARE(done.keptAs, bank + QStringLiteral(".access2000.2"));
        QCOMPARE(readAll(bank + QStringLiteral(".access2000")), QByteArray("the user's own"));
        QCOMPARE(readAll(done.keptAs), readAll(AccessBanks::path(QStringLiteral("fresh2000"))));
    }

    // Rows deleted in Access stay in the file, flagged; they must not come back.
    void deletedRowsStayOut()
    {
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QVERIFY(AccessBanks::copyTo(QStringLiteral("sample2000"), bank));
        QVERIFY(deleteFirstRow(bank, QStringLiteral("分类列表")));
        QJsonObject manifest = AccessBanks::manifest(QStringLiteral("sample2000"));
        QJsonArray tables = manifest.value(QLatin1String("tables")).toArray();
        QJsonObject list = tables.at(0).toObject();
        QJsonArray rows = list.value(QLatin1String("rows")).toArray();
        rows.removeFirst();
        list.insert(QLatin1String("rows"), rows);
        tables.replace(0, list);
        manifest.insert(QLatin1String("tables"), tables);

        const StoreError e = JetBank::convertIfJet(bank);
        QVERIFY2(!e, qPrintable(e.message()));
        const QString difference = AccessBanks::compare(bank, manifest);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Text as Jet 4 stores it, also in the forms the fixtures do not hold.
    void decodesText_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("replaced");
        QTest::newRow("empty") << QByteArray() << QString() << 0;
        QTest::newRow("UTF-16LE") << QByteArray("\x2d\x4e\x41\x00", 4) << QStringLiteral("中A")
                                  << 0;
        QTest::newRow("pair outside the BMP")
            << QByteArray("\x42\xd8\xb7\xdf", 4) << QStringLiteral("\U00020BB7") << 0;
        QTest::newRow("compressed") << QByteArray("\xff\xfe"
                                                  "EQ 1",
            6) << QStringLiteral("EQ 1")
                                    << 0;
        QTest::newRow("compressed, header only") << QByteArray("\xff\xfe", 2) << QString() << 0;
        QTest::newRow("compressed with an uncompressed run") << QByteArray(
            "\xff\xfe"
            "A\x00\x2d\x4e\x87\x65\x00"
            "B",
            10) << QStringLiteral("A中文B") << 0;
        QTest::newRow("odd byte at the end")
            << QByteArray("\x41\x00\x42", 3) << QStringLiteral("A\uFFFD") << 1;
        QTest::newRow("lone surrogate")
            << QByteArray("\x42\xd8\x41\x00", 4) << QStringLiteral("\uFFFDA") << 1;
        QTest::newRow("high surrogate at the end")
            << QByteArray("A\x00\x42\xd8", 4) << QStringLiteral("A\uFFFD") << 1;
        QTest::newRow("high surrogate, then an odd byte")
            << QByteArray("\x42\xd8\x41", 3) << QStringLiteral("\uFFFD\uFFFD") << 2;
        QTest::newRow("compressed Latin-1 and a lone low surrogate")
            << QByteArray("\xff\xfe\xe9\x00\x37\xdc", 6) << QStringLiteral("é\uFFFD") << 1;
    }

    void decodesText()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, text);
        QFETCH(int, replaced);
        int count = 0;
        QCOMPARE(JetReader::decodeText(raw.constData(), raw.size(), &count), text);
        QCOMPARE(count, replaced);
    }

    // Files that cannot be converted: one message naming the file, nothing written.
    void refusesFaultyFiles_data()
    {
        QTest::addColumn<int>("versionByte"); // -1: as it is
        QTest::addColumn<int>("keepBytes"); // -1: all
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("says");
        QTest::newRow("Access 97")
            << 0 << -1 << int(StoreError::JetUnsupported) << QStringLiteral("Access 97");
        QTest::newRow("Access 2007")
            << 2 << -1 << int(StoreError::JetUnsupported) << QStringLiteral("Access 2007");
        QTest::newRow("cut at a page")
            << -1 << 16 * 4096 << int(StoreError::NotABank) << QStringLiteral("损坏");
        QTest::newRow("cut inside a page")
            << -1 << 200000 << int(StoreError::NotABank) << QStringLiteral("损坏");
    }

    void refusesFaultyFiles()
    {
        QFETCH(int, versionByte);
        QFETCH(int, keepBytes);
        QFETCH(int, number);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QByteArray bytes = readAll(AccessBanks::path(QStringLiteral("sample2000")));
        if (versionByte >= 0)
            bytes[0x14] = char(versionByte);
        if (keepBytes >= 0)
            bytes.truncate(keepBytes);
        QVERIFY(writeAll(bank, bytes));

        StoreError e;
        // libmdb's own lines about the damage stay off the terminal.
        QCOMPARE(stderrOf([&] { e = JetBank::convertIfJet(bank); }), QByteArray());
        QCOMPARE(e.number(), number);
        QVERIFY2(e.message().contains(says) && e.message().contains(bank), qPrintable(e.message()));
        QCOMPARE(filesIn(dir.path()), QStringList { "test.mdb" });
        QCOMPARE(readAll(bank), bytes);
        // The windows get the same refusal when they open the bank.
        QCOMPARE(BankFile::check(bank).number(), number);
    }

    // A folder that cannot be written (as the user nobody when the tests run as root,
    // who may write anything).
    void refusesReadOnlyFolder()
    {
        if (asnobody::runsAsRoot()) {
            asnobody::rerun(QStringLiteral("refusesReadOnlyFolder"));
            return;
        }
        if (!QFileInfo(AccessBanks::path(QStringLiteral("sample2000"))).isReadable())
            QSKIP("the fixtures cannot be read");
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QVERIFY(AccessBanks::copyTo(QStringLiteral("sample2000"), bank));
        const QByteArray original = readAll(bank);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const StoreError e = JetBank::convertIfJet(bank);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(e.number(), int(StoreError::BankReadOnly));
        QVERIFY2(e.message().contains(bank), qPrintable(e.message()));
        QCOMPARE(filesIn(dir.path()), QStringList { "test.mdb" });
        QCOMPARE(readAll(bank), original);
    }

    // A disk that fills up under the new bank.
    void refusesFullDisk()
    {
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QVERIFY(AccessBanks::copyTo(QStringLiteral("big2000"), bank));
        QProcess run;
        run.start(converter(), { bank, QStringLiteral("1000000") });
        QVERIFY(run.waitForFinished(60000));
        const QString out = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("磁盘已满")) && out.contains(bank), qPrintable(out));
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(filesIn(dir.path()), QStringList { "test.mdb" });
        QCOMPARE(readAll(bank), readAll(AccessBanks::path(QStringLiteral("big2000"))));
    }

    // Killed at random moments: each time the folder holds the untouched Jet file (with
    // at most leftovers of the attempt) or the whole new bank beside the kept original,
    // and the next start finishes the work.
    void killedAtAnyMoment()
    {
        const QString fixture = QStringLiteral("big2000");
        const QByteArray original = readAll(AccessBanks::path(fixture));
        const QJsonObject manifest = AccessBanks::manifest(fixture);
        const int tables = int(manifest.value(QLatin1String("tables")).toArray().size());
        const qint64 rows = rowsOf(manifest);
        QRandomGenerator pace(20240817); // fixed: the same moments on every run
        constexpr int kKills = 24;

        // How long one conversion takes here, to spread the kills over it.
        QElapsedTimer clock;
        qint64 span = 0;
        {
            QTemporaryDir dir;
            const QString bank = dir.filePath(QStringLiteral("test.mdb"));
            QVERIFY(AccessBanks::copyTo(fixture, bank));
            QProcess run;
            run.start(converter(), { bank });
            QVERIFY(run.waitForReadyRead(30000));
            clock.start();
            QVERIFY(run.waitForFinished(60000));
            span = qMax<qint64>(clock.elapsed(), 20);
            QCOMPARE(run.exitCode(), 0);
        }

        int beforeEnd = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            QTemporaryDir dir;
            const QString bank = dir.filePath(QStringLiteral("test.mdb"));
            QVERIFY(AccessBanks::copyTo(fixture, bank));
            QProcess run;
            run.start(converter(), { bank });
            QVERIFY(run.waitForReadyRead(30000));
            QThread::msleep(pace.bounded(quint32(span * 6 / 5)));
            run.kill();
            QVERIFY(run.waitForFinished(30000));
            if (run.exitStatus() == QProcess::CrashExit
                && !run.readAllStandardOutput().contains("CONVERTED"))
                ++beforeEnd;

            const QString what = QStringLiteral("kill %1: ").arg(kill);
            if (readAll(bank) == original) {
                // Untouched; what may lie beside it is the attempt's own files.
                for (const QString &f : filesIn(dir.path()))
                    QVERIFY2(
                        f == QLatin1String("test.mdb") || f.startsWith(QLatin1String("test.mdb.")),
                        qPrintable(what + f));
                const QString kept = bank + QStringLiteral(".access2000");
                QVERIFY2(!QFile::exists(kept) || readAll(kept) == original, qPrintable(what));
            } else {
                const QString problem = checkConverted(dir.path(), original, tables, rows);
                QVERIFY2(problem.isEmpty(), qPrintable(what + problem));
            }

            // The next start carries on from there.
            QProcess next;
            next.start(converter(), { bank });
            QVERIFY(next.waitForFinished(60000));
            QCOMPARE(next.exitCode(), 0);
            const QString problem = checkConverted(dir.path(), original, tables, rows);
            QVERIFY2(
                problem.isEmpty(), qPrintable(what + QStringLiteral("next start: ") + problem));
            QCOMPARE(filesIn(dir.path()), QStringList({ "test.mdb", "test.mdb.access2000" }));
        }
        qInfo("one conversion: %lld ms; kills before it ended: %d of %d", span, beforeEnd, kKills);
        QVERIFY(beforeEnd > 0);
    }

    // Two copies of the program starting on one Jet bank at once convert it once.
    void twoCopiesConvertOnce()
    {
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("test.mdb"));
        QVERIFY(AccessBanks::copyTo(QStringLiteral("sample2000"), bank));
        const QByteArray original = readAll(bank);
        QProcess runs[2];
        for (QProcess &run : runs)
            run.start(converter(), { bank });
        int converted = 0;
        for (QProcess &run : runs) {
            QVERIFY(run.waitForFinished(60000));
            const QByteArray out = run.readAllStandardOutput();
            QVERIFY2(run.exitCode() == 0, out.constData());
            converted += out.contains("CONVERTED");
        }
        QCOMPARE(converted, 1);
        QCOMPARE(filesIn(dir.path()), QStringList({ "test.mdb", "test.mdb.access2000" }));
        const QString difference
            = AccessBanks::compare(bank, AccessBanks::manifest(QStringLiteral("sample2000")));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(readAll(bank + QStringLiteral(".access2000")), original);
    }
};

QELVI_TEST_MAIN_AS_NOBODY(tst_jetbank, QCoreApplication)

#include "tst_jetbank.moc"
