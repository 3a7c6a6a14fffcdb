#include "results/store/itemtable.h"

#include <QFileInfo>
#include <QHash>
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
            if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr)
                != SQLITE_OK)
                fail();
            else
                sqlite3_busy_timeout(m_db, 5000);
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

    QDateTime timeFrom(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
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

    struct Given
    {
        qsizetype row;
        int question; // from 0
        qint8 option;
        double score;
    };
    std::vector<Given> given;
    sqlite3_stmt *answers = rowOf.isEmpty()
        ? nullptr
        : db.prepare("SELECT result_id, question, option, score, question_text, option_text "
                     "FROM answers");
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
        given.push_back({ lastRow, question, qint8(option), sqlite3_column_double(answers, 3) });
        if (question >= table.questions) {
            table.questions = question + 1;
            table.questionTexts.resize(table.questions);
            table.optionTexts.resize(table.questions);
        }
        // Texts once for each question and option: the first result that has them.
        if (table.questionTexts[question].isNull())
            table.questionTexts[question] = Reader::text(answers, 4);
        QString &optionText = table.optionTexts[question][option];
        if (optionText.isNull())
            optionText = Reader::text(answers, 5);
    }
    sqlite3_finalize(answers);
    if ((*error = db.error()))
        return ItemTable { test, 0, {}, {}, {}, {}, {} };

    const qsizetype cells = table.rows.size() * table.questions;
    table.options.assign(cells, -1);
    table.scores.assign(cells, std::nan(""));
    for (const Given &g : given) {
        table.options[g.row * table.questions + g.question] = g.option;
        table.scores[g.row * table.questions + g.question] = g.score;
    }
    return table;
}

} // namespace Results
