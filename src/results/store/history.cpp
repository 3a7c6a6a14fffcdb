#include "results/store/history.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <functional>

namespace Results {

namespace {

    const char *const schema[] = {
        "CREATE TABLE IF NOT EXISTS results ("
        " id INTEGER PRIMARY KEY,"
        " taken_at TEXT NOT NULL," // UTC, ISO 8601 with milliseconds: sorts as text
        " test TEXT NOT NULL,"
        " category TEXT NOT NULL,"
        " total TEXT NOT NULL,"
        " evaluation TEXT NOT NULL,"
        " result_text TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS answers ("
        " result_id INTEGER NOT NULL,"
        " question INTEGER NOT NULL,"
        " question_text TEXT NOT NULL,"
        " option TEXT NOT NULL,"
        " option_text TEXT NOT NULL,"
        " score TEXT NOT NULL,"
        " PRIMARY KEY (result_id, question))",
    };

    // Columns added to results after its first form; a file without them is given
    // them on its next write, and reads without them as empty values.
    const struct
    {
        const char *name;
        const char *definition;
    } addedColumns[] = {
        { "bank", "TEXT NOT NULL DEFAULT ''" },
        { "version", "TEXT NOT NULL DEFAULT ''" },
        { "taker", "TEXT NOT NULL DEFAULT ''" },
        { "band", "INTEGER NOT NULL DEFAULT 0" },
    };

    QString fileProblem(const QString &path, const QString &what)
    {
        return QStringLiteral("测试记录文件“%1”%2").arg(QFileInfo(path).absoluteFilePath(), what);
    }

    StoreError failure(const QSqlError &error, const QString &path)
    {
        bool numeric = false;
        const int code = error.nativeErrorCode().toInt(&numeric);
        QString what;
        switch (numeric ? code & 0xff : -1) {
        case 3: // SQLITE_PERM
        case 8: // SQLITE_READONLY: the file, or its folder (no room for the journal)
        case 14: // SQLITE_CANTOPEN
            what = QStringLiteral("不能打开或不能写入（文件或它所在的文件夹是只读的）。");
            break;
        case 11: // SQLITE_CORRUPT
        case 26: // SQLITE_NOTADB
            what = QStringLiteral("不是测试记录文件，或者已经损坏。");
            break;
        case 13: // SQLITE_FULL
            what = QStringLiteral("所在的磁盘已满。");
            break;
        case 5: // SQLITE_BUSY, after the busy timeout
        case 6: // SQLITE_LOCKED
            what = QStringLiteral("正被另一个程序使用，请稍后再试。");
            break;
        default:
            what = QStringLiteral("读写出错：%1").arg(error.text());
        }
        return StoreError(StoreError::Engine, fileProblem(path, what));
    }

    // One connection for one call, with a name of its own (never the bank's).
    class Connection
    {
    public:
        Connection(const QString &path, bool readOnly)
            : m_name(QStringLiteral("qelvi-results-%1").arg(++serial()))
            , m_path(path)
        {
            m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            m_db.setDatabaseName(path);
            m_db.setConnectOptions(readOnly
                    ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                    : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }

        ~Connection()
        {
            m_db.close();
            m_db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
        }

        Connection(const Connection &) = delete;
        Connection &operator=(const Connection &) = delete;

        StoreError open()
        {
            if (!m_db.open())
                return failure(m_db.lastError(), m_path);
            return {};
        }

        // Runs one statement with its values bound in order.
        StoreError exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {})
        {
            if (!query.prepare(sql))
                return failure(query.lastError(), m_path);
            for (const QVariant &v : values) {
                // An empty text is stored as "", never as NULL (the columns refuse NULL).
                const bool nullText = v.typeId() == QMetaType::QString && v.toString().isNull();
                query.addBindValue(nullText ? QVariant(QStringLiteral("")) : v);
            }
            if (!query.exec())
                return failure(query.lastError(), m_path);
            return {};
        }

        StoreError exec(const QString &sql, const QVariantList &values = {})
        {
            QSqlQuery query(m_db);
            return exec(query, sql, values);
        }

        // Runs work between BEGIN IMMEDIATE and COMMIT (the write lock taken at once, so
        // another copy's write waits instead of failing halfway); rolls back on failure.
        StoreError transaction(const std::function<StoreError()> &work)
        {
            if (const StoreError e = exec(QStringLiteral("BEGIN IMMEDIATE")))
                return e;
            StoreError e = work();
            if (!e)
                e = exec(QStringLiteral("COMMIT"));
            if (e)
                exec(QStringLiteral("ROLLBACK"));
            return e;
        }

        QSqlDatabase &db() { return m_db; }

    private:
        static int &serial()
        {
            static int n = 0;
            return n;
        }

        QString m_name;
        QString m_path;
        QSqlDatabase m_db;
    };

    // The names of the columns results has.
    QStringList columnsOfResults(QSqlQuery &query)
    {
        QStringList out;
        if (query.exec(QStringLiteral("PRAGMA table_info(results)")))
            while (query.next())
                out << query.value(1).toString();
        query.finish();
        return out;
    }

    QString timeText(const QDateTime &at)
    {
        return at.toUTC().toString(Qt::ISODateWithMs);
    }

    QDateTime timeFrom(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
    }

} // namespace

History::History(const QString &path)
    : m_path(path)
{ }

StoreError History::append(Record *record) const
{
    Connection c(m_path, false);
    if (const StoreError e = c.open())
        return e;
    return c.transaction([&]() -> StoreError {
        for (const char *sql : schema)
            if (const StoreError e = c.exec(QLatin1String(sql)))
                return e;
        QSqlQuery insert(c.db());
        const QStringList have = columnsOfResults(insert);
        for (const auto &column : addedColumns) {
            if (have.contains(QLatin1String(column.name)))
                continue;
            if (const StoreError e
                = c.exec(QStringLiteral("ALTER TABLE results ADD COLUMN %1 %2")
                             .arg(QLatin1String(column.name), QLatin1String(column.definition))))
                return e;
        }
        if (const StoreError e = c.exec(insert,
                QStringLiteral("INSERT INTO results (taken_at, test, category, total, evaluation, "
                               "result_text, bank, version, taker, band) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                { timeText(record->takenAt), record->test, record->category, record->total,
                    record->evaluation, record->resultText, record->bank, record->version,
                    record->taker, record->band }))
            return e;
        const qint64 id = insert.lastInsertId().toLongLong();
        for (const Answer &a : std::as_const(record->answers)) {
            if (const StoreError e
                = c.exec(QStringLiteral("INSERT INTO answers (result_id, question, question_text, "
                                        "option, option_text, score) VALUES (?, ?, ?, ?, ?, ?)"),
                    { id, a.question, a.questionText, a.option, a.optionText, a.score }))
                return e;
        }
        record->id = id;
        return {};
    });
}

QList<Record> History::records(StoreError *error) const
{
    StoreError dummy;
    StoreError &err = error ? *error : dummy;
    err = {};
    if (!QFileInfo::exists(m_path))
        return {};

    Connection c(m_path, true);
    if ((err = c.open()))
        return {};
    QSqlQuery query(c.db());
    if ((err = c.exec(query,
             QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                            "'results'"))))
        return {};
    if (!query.next() || query.value(0).toInt() == 0)
        return {}; // a file with nothing stored yet

    QList<Record> out;
    QHash<qint64, qsizetype> index;
    // An older file lacks the added columns: they read as their defaults.
    const QStringList have = columnsOfResults(query);
    QString added;
    for (const auto &column : addedColumns) {
        const QString name = QLatin1String(column.name);
        const QString missing
            = name == QLatin1String("band") ? QStringLiteral("0") : QStringLiteral("''");
        added += QStringLiteral(", ") + (have.contains(name) ? name : missing);
    }
    if ((err = c.exec(query,
             QStringLiteral("SELECT id, taken_at, test, category, total, evaluation, result_text%1 "
                            "FROM results ORDER BY taken_at DESC, id DESC")
                 .arg(added))))
        return {};
    while (query.next()) {
        Record r;
        r.id = query.value(0).toLongLong();
        r.takenAt = timeFrom(query.value(1).toString());
        r.test = query.value(2).toString();
        r.category = query.value(3).toString();
        r.total = query.value(4).toString();
        r.evaluation = query.value(5).toString();
        r.resultText = query.value(6).toString();
        r.bank = query.value(7).toString();
        r.version = query.value(8).toString();
        r.taker = query.value(9).toString();
        r.band = query.value(10).toInt();
        index.insert(r.id, out.size());
        out.append(r);
    }
    if ((err = c.exec(query,
             QStringLiteral("SELECT result_id, question, question_text, option, option_text, "
                            "score FROM answers ORDER BY result_id, question"))))
        return {};
    while (query.next()) {
        const auto at = index.constFind(query.value(0).toLongLong());
        if (at == index.constEnd())
            continue;
        out[*at].answers.append({ query.value(1).toInt(), query.value(2).toString(),
            query.value(3).toString(), query.value(4).toString(), query.value(5).toString() });
    }
    return out;
}

StoreError History::remove(const QList<qint64> &ids) const
{
    if (ids.isEmpty() || !QFileInfo::exists(m_path))
        return {};
    Connection c(m_path, false);
    if (const StoreError e = c.open())
        return e;
    return c.transaction([&]() -> StoreError {
        for (const qint64 id : ids) {
            if (const StoreError e
                = c.exec(QStringLiteral("DELETE FROM answers WHERE result_id = ?"), { id }))
                return e;
            if (const StoreError e
                = c.exec(QStringLiteral("DELETE FROM results WHERE id = ?"), { id }))
                return e;
        }
        return {};
    });
}

} // namespace Results
