#include "store/results/itemtable.h"

#include "base/safefile.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace Results {

namespace {

    // A read-only connection of its own through SQLite's C interface: the table is read
    // a million answers at a time, where each value through Qt SQL would cost a variant.
    class Reader
    {
    public:
        explicit Reader(const QString &path)
            : m_path(path)
        {
            // Only what the other history reads open (a FIFO in its place is never waited
            // on). Not read-only, so that a journal a killed copy left is rolled back; never
            // created here. One thread uses the connection: no mutex around every column
            // read. The file is read through a mapping, page copies being most of a pass's
            // cost.
            QString reason;
            if (!databaseFile(path, &reason)) {
                m_error = StoreError(StoreError::BankUnreadable,
                    QStringLiteral("测试记录文件“%1”%2，测试记录无法读写。")
                        .arg(QFileInfo(path).absoluteFilePath(), reason));
                return;
            }
            if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
                != SQLITE_OK) {
                fail();
                return;
            }
            sqlite3_busy_timeout(m_db, 5000);
            sqlite3_exec(m_db, "PRAGMA mmap_size = 268435456", nullptr, nullptr, nullptr);
        }
        ~Reader() { sqlite3_close(m_db); }
        Reader(const Reader &) = delete;
        Reader &operator=(const Reader &) = delete;

        StoreError error() const { return m_error; }

        // A statement, or null after recording the failure.
        sqlite3_stmt *prepare(const QByteArray &sql)
        {
            if (m_error)
                return nullptr;
            sqlite3_stmt *stmt = nullptr;
            if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, nullptr)
                != SQLITE_OK) {
                fail();
                return nullptr;
            }
            return stmt;
        }

        // Steps to the next row: false at the end, and on a failure (recorded).
        bool step(sqlite3_stmt *stmt)
        {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW)
                return true;
            if (rc != SQLITE_DONE)
                fail();
            return false;
        }

        bool hasColumn(const char *table, const char *column)
        {
            sqlite3_stmt *stmt = prepare(QByteArray("PRAGMA table_info(") + table + ')');
            bool found = false;
            while (stmt && step(stmt))
                found = found || qstrcmp(text(stmt, 1).toUtf8(), column) == 0;
            sqlite3_finalize(stmt);
            return found;
        }

        static QString text(sqlite3_stmt *stmt, int column)
        {
            return QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                sqlite3_column_bytes(stmt, column));
        }

    private:
        void fail()
        {
            m_error = StoreError(StoreError::Engine,
                QStringLiteral("测试记录文件“%1”读不出来：%2")
                    .arg(QFileInfo(m_path).absoluteFilePath(),
                        QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory")));
        }

        QString m_path;
        sqlite3 *m_db = nullptr;
        StoreError m_error;
    };

    // In UTC as kept: turning ten thousand times into local time asks the system for its
    // time zone as often.
    QDateTime timeFrom(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODateWithMs);
    }

    // The version column, or an empty version in a file kept before results had it.
    QByteArray versionColumn(Reader &db)
    {
        return db.hasColumn("results", "version") ? "version" : "''";
    }

} // namespace

QStringList testsOf(const QString &path, StoreError *error)
{
    *error = {};
    if (!QFileInfo::exists(path))
        return {};
    Reader db(path);
    if (!db.hasColumn("results", "id")) {
        *error = db.error();
        return {};
    }
    QStringList out;
    sqlite3_stmt *stmt = db.prepare("SELECT DISTINCT test FROM results");
    while (stmt && db.step(stmt))
        out << Reader::text(stmt, 0);
    sqlite3_finalize(stmt);
    *error = db.error();
    return out;
}

QList<VersionCount> versionsOf(const QString &path, const QString &test, StoreError *error)
{
    *error = {};
    if (!QFileInfo::exists(path))
        return {};
    Reader db(path);
    if (!db.hasColumn("results", "id")) {
        *error = db.error();
        return {};
    }
    const QByteArray version = versionColumn(db);
    sqlite3_stmt *stmt = db.prepare("SELECT " + version
        + ", count(*), min(taken_at) FROM results WHERE test = ?1 GROUP BY 1 ORDER BY "
          "max(taken_at)");
    QList<VersionCount> out;
    if (stmt) {
        const QByteArray name = test.toUtf8();
        sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        while (db.step(stmt))
            out.append({ Reader::text(stmt, 0), sqlite3_column_int(stmt, 1),
                timeFrom(Reader::text(stmt, 2)) });
    }
    sqlite3_finalize(stmt);
    *error = db.error();
    return *error ? QList<VersionCount>() : out;
}

ItemTable itemTable(
    const QString &path, const QString &test, const QStringList &versions, StoreError *error)
{
    *error = {};
    ItemTable table;
    table.test = test;
    if (!QFileInfo::exists(path))
        return table;
    Reader db(path);
    if (!db.hasColumn("results", "id")) {
        *error = db.error();
        return table;
    }
    const QByteArray band = db.hasColumn("results", "band") ? "band" : "0";
    const QByteArray version = versionColumn(db);

    // The results first, in the order kept; then one pass over every answer, in the
    // order stored (grouped by result), keeping those of these results.
    sqlite3_stmt *results = db.prepare("SELECT id, taken_at, total, " + band + ", evaluation, "
        + version + " FROM results WHERE test = ?1 ORDER BY id");
    QHash<qint64, qsizetype> rowOf;
    if (results) {
        const QByteArray name = test.toUtf8();
        sqlite3_bind_text(results, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        while (db.step(results)) {
            if (!versions.isEmpty() && !versions.contains(Reader::text(results, 5)))
                continue;
            const qint64 id = sqlite3_column_int64(results, 0);
            rowOf.insert(id, table.rows.size());
            table.rows.append(
                { id, timeFrom(Reader::text(results, 1)), sqlite3_column_double(results, 2),
                    sqlite3_column_int(results, 3), Reader::text(results, 4) });
        }
    }
    sqlite3_finalize(results);

    // Written straight into the table, `width` questions to a row; a higher question
    // number than any before widens it (rare: once or twice a table).
    int width = 0;
    const auto widen = [&](int questions) {
        const int wider = std::max(questions, width * 2);
        std::vector<qint8> options(table.rows.size() * wider, -1);
        std::vector<double> scores(table.rows.size() * wider, std::nan(""));
        for (qsizetype r = 0; r < table.rows.size(); ++r)
            for (int q = 0; q < width; ++q) {
                options[r * wider + q] = table.options[r * width + q];
                scores[r * wider + q] = table.scores[r * width + q];
            }
        table.options.swap(options);
        table.scores.swap(scores);
        width = wider;
    };
    // The texts are read once for each question and option, by the first answer that has
    // them, so the pass itself reads only numbers and letters.
    sqlite3_stmt *texts = rowOf.isEmpty()
        ? nullptr
        : db.prepare("SELECT question_text, option_text FROM answers "
                     "WHERE result_id = ?1 AND question = ?2");
    sqlite3_stmt *answers
        = texts ? db.prepare("SELECT result_id, question, option, score FROM answers") : nullptr;
    qint64 lastId = -1;
    qsizetype lastRow = -1;
    while (answers && db.step(answers)) {
        const qint64 id = sqlite3_column_int64(answers, 0);
        if (id != lastId) {
            lastId = id;
            lastRow = rowOf.value(id, -1);
        }
        const int question = sqlite3_column_int(answers, 1) - 1;
        const unsigned char *letter = sqlite3_column_text(answers, 2);
        const int option = letter ? letter[0] - 'A' : -1;
        if (lastRow < 0 || question < 0 || option < 0 || option > 5)
            continue;
        if (question >= width)
            widen(question + 1);
        table.options[lastRow * width + question] = qint8(option);
        table.scores[lastRow * width + question] = sqlite3_column_double(answers, 3);
        if (question >= table.questions) {
            table.questions = question + 1;
            table.questionTexts.resize(table.questions);
            table.optionTexts.resize(table.questions);
        }
        QString &optionText = table.optionTexts[question][option];
        if (optionText.isNull()) {
            sqlite3_bind_int64(texts, 1, id);
            sqlite3_bind_int(texts, 2, question + 1);
            if (db.step(texts)) {
                optionText = Reader::text(texts, 1);
                if (table.questionTexts[question].isNull())
                    table.questionTexts[question] = Reader::text(texts, 0);
            }
            sqlite3_reset(texts);
        }
    }
    sqlite3_finalize(answers);
    sqlite3_finalize(texts);
    if ((*error = db.error()))
        return ItemTable { test, 0, {}, {}, {}, {}, {} };
    if (width != table.questions) {
        // Down to the questions there are: the widening left room for more.
        const int k = table.questions;
        for (qsizetype r = 0; r < table.rows.size(); ++r)
            for (int q = 0; q < k; ++q) {
                table.options[r * k + q] = table.options[r * width + q];
                table.scores[r * k + q] = table.scores[r * width + q];
            }
        table.options.resize(table.rows.size() * k);
        table.scores.resize(table.rows.size() * k);
    }
    return table;
}

} // namespace Results
