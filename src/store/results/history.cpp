#include "store/results/history.h"

#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
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

    std::function<void(const QString &)> &notice()
    {
        static std::function<void(const QString &)> n;
        return n;
    }

    void tell(const QString &text)
    {
        if (notice())
            notice()(text);
    }

    bool damaged(const StoreError &e)
    {
        return e.number() == StoreError::NotABank;
    }

    StoreError failure(const QSqlError &error, const QString &path)
    {
        bool numeric = false;
        const int code = error.nativeErrorCode().toInt(&numeric);
        const QString detail = error.databaseText();
        QString what;
        StoreError::Number number = StoreError::Engine;
        switch (numeric ? code & 0xff : -1) {
        case 3: // SQLITE_PERM
        case 8: // SQLITE_READONLY: the file, or its folder (no room for the journal)
        case 14: // SQLITE_CANTOPEN
            what = QStringLiteral("不能打开或不能写入（文件或它所在的文件夹是只读的）。");
            break;
        case 11: // SQLITE_CORRUPT
        case 26: // SQLITE_NOTADB
            what = QStringLiteral("不是测试记录文件，或者已经损坏。");
            number = StoreError::NotABank;
            break;
        case 13: // SQLITE_FULL
            what = QStringLiteral("所在的磁盘已满。");
            break;
        case 5: // SQLITE_BUSY, after the busy timeout
        case 6: // SQLITE_LOCKED
            what = QStringLiteral("正被另一个程序使用，请稍后再试。");
            break;
        case 1: // SQLITE_ERROR: a statement that does not fit the file's tables
            if (detail.contains(QLatin1String("no such"))
                || detail.contains(QLatin1String("has no column"))) {
                what = QStringLiteral("不是这个程序的测试记录文件（表的结构不同）。");
                break;
            }
            [[fallthrough]];
        default:
            // The system's own words on a line of their own, after the reason.
            what = QStringLiteral("读写出错。\n详细信息：%1").arg(detail);
        }
        return StoreError(number, fileProblem(path, what));
    }

    // Moves a damaged history and its journal aside, under the first free name of
    // results.db.damaged, results.db.damaged.2, ...; nothing of it is deleted. Empty
    // when it cannot be moved.
    QString setAside(const QString &path)
    {
        const QByteArray from = QFile::encodeName(path);
        for (int n = 1; n < 1000; ++n) {
            const QString aside = path + QStringLiteral(".damaged")
                + (n > 1 ? u'.' + QString::number(n) : QString());
            const QByteArray to = QFile::encodeName(aside);
            if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE)
                != 0) {
                if (errno == EEXIST)
                    continue;
                return {};
            }
            // A journal left beside the new history would be played into it.
            for (const char *part : { "-journal", "-wal", "-shm" })
                ::renameat2(AT_FDCWD, (from + part).constData(), AT_FDCWD, (to + part).constData(),
                    RENAME_NOREPLACE);
            return aside;
        }
        return {};
    }

    QString setAsideMessage(const QString &path, const QString &aside)
    {
        return fileProblem(path,
            QStringLiteral("已经损坏，无法再读写。它已改名为“%1”保留在原来的文件夹里，"
                           "其中的内容没有删除；新的测试记录从现在开始。")
                .arg(QFileInfo(aside).fileName()));
    }

    // What stands at the history's path may be opened: nothing yet, a regular file, or
    // a link to one.
    StoreError checkPath(const QString &path)
    {
        QString reason;
        if (!databaseFile(path, &reason))
            return StoreError(StoreError::BankUnreadable,
                fileProblem(path, reason + QStringLiteral("，测试记录无法读写。")));
        return {};
    }

    // A history kept through a link into another folder: the user is told once where.
    void tellLink(const QString &path)
    {
        static QSet<QString> told;
        const QString target = linkIntoOtherFolder(path);
        if (target.isEmpty() || told.contains(path + u'\n' + target))
            return;
        told.insert(path + u'\n' + target);
        tell(fileProblem(path,
            QStringLiteral("是一个链接，指向另一个文件夹里的“%1”。测试记录保存在那个文件里。")
                .arg(QDir::toNativeSeparators(target))));
    }

    // One connection for one call, with a name of its own (never the bank's).
    class Connection
    {
    public:
        explicit Connection(const QString &path)
            : m_name(QStringLiteral("qelvi-results-%1").arg(++serial()))
            , m_path(path)
        {
            m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            m_db.setDatabaseName(path);
            // Never read-only: a copy killed while it wrote leaves a hot journal, which only
            // a connection that may write rolls back (a read-only one fails as if the file
            // could not be written).
            m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }

        ~Connection()
        {
            m_db.close();
            m_db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
        }

        Connection(const Connection &) = delete;
        Connection &operator=(const Connection &) = delete;

        void close() { m_db.close(); }

        StoreError open()
        {
            if (const StoreError e = checkPath(m_path))
                return e;
            if (!m_db.open())
                return failure(m_db.lastError(), m_path);
            return {};
        }

        // Runs one statement with its values bound in order.
        StoreError exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {})
        {
            if (!query.prepare(sql))
                return Results::failure(query.lastError(), m_path);
            for (const QVariant &v : values) {
                // An empty text is stored as "", never as NULL (the columns refuse NULL).
                const bool nullText = v.typeId() == QMetaType::QString && v.toString().isNull();
                query.addBindValue(nullText ? QVariant(QStringLiteral("")) : v);
            }
            if (!query.exec())
                return Results::failure(query.lastError(), m_path);
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

    // A file another program keeps its own tables in is no history to write into.
    StoreError foreignTables(QSqlDatabase &db, const QString &path)
    {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name NOT IN "
                                  "('results', 'answers', 'unfinished', 'unfinished_answers') AND "
                                  "name NOT LIKE 'sqlite_%' AND "
                                  "type IN ('table', 'view')"))
            && q.next() && q.value(0).toInt() == 0)
            return {};
        if (q.lastError().isValid())
            return failure(q.lastError(), path);
        return StoreError(StoreError::Engine,
            fileProblem(path,
                QStringLiteral("不是测试记录文件（里面有别的程序的表），测试记录没有写进去。")));
    }

} // namespace

void setNotice(std::function<void(const QString &text)> notice)
{
    Results::notice() = std::move(notice);
}

History::History(const QString &path)
    : m_path(path)
{ }

StoreError History::append(Record *record, const Work &alsoDo) const
{
    StoreError error = appendOnce(record, alsoDo);
    // A damaged history is set aside once and the record kept in a new one.
    if (damaged(error)) {
        const QString aside = setAside(m_path);
        if (aside.isEmpty())
            return error;
        tell(setAsideMessage(m_path, aside));
        error = appendOnce(record, alsoDo);
    }
    if (!error)
        tellLink(m_path);
    return error;
}

StoreError History::appendOnce(Record *record, const Work &alsoDo) const
{
    Connection c(m_path);
    if (const StoreError e = c.open())
        return e;
    return c.transaction([&]() -> StoreError {
        if (const StoreError e = foreignTables(c.db(), m_path))
            return e;
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
        if (alsoDo)
            if (const StoreError e = alsoDo(c.db()))
                return e;
        record->id = id;
        return {};
    });
}

StoreError History::write(const Work &work) const
{
    Connection c(m_path);
    if (const StoreError e = c.open())
        return e;
    return c.transaction([&] { return work(c.db()); });
}

StoreError History::failure(const QSqlError &error) const
{
    return Results::failure(error, m_path);
}

namespace {

    // Opens the file for reading: false when there is nothing to read, no file or no
    // record stored yet (the file is not created), or on failure (*err set).
    // A damaged history is set aside (told once) and reads as a new, empty one.
    bool openToRead(Connection &c, const QString &path, StoreError &err)
    {
        err = {};
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return false;
        if (!(err = c.open())) {
            QSqlQuery query(c.db());
            if (!(err = c.exec(query,
                      QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                     "AND name = 'results'"))))
                return query.next() && query.value(0).toInt() > 0;
        }
        if (damaged(err)) {
            c.close();
            const QString aside = setAside(path);
            if (!aside.isEmpty()) {
                tell(setAsideMessage(path, aside));
                err = {};
            }
        }
        return false;
    }

    StoreError &orDummy(StoreError *error)
    {
        static thread_local StoreError dummy;
        return error ? *error : dummy;
    }

    // What a list shows of each record: the first fields, then the added columns, read as
    // their defaults where an older file lacks them.
    QString listedFields(QSqlDatabase &db)
    {
        QSqlQuery query(db);
        const QStringList have = columnsOfResults(query);
        QString out = QStringLiteral("id, taken_at, test, category, total, evaluation");
        for (const auto &column : addedColumns) {
            const QString name = QLatin1String(column.name);
            const QString missing
                = name == QLatin1String("band") ? QStringLiteral("0") : QStringLiteral("''");
            out += QStringLiteral(", ") + (have.contains(name) ? name : missing);
        }
        return out;
    }
    const int resultTextField = 10; // the field after the listed ones

    const QString newestFirst = QStringLiteral(" ORDER BY taken_at DESC, id DESC");

    // A record from a query that selects the listed fields first.
    Record listedRecord(const QSqlQuery &query)
    {
        Record r;
        r.id = query.value(0).toLongLong();
        r.takenAt = timeFrom(query.value(1).toString());
        r.test = query.value(2).toString();
        r.category = query.value(3).toString();
        r.total = query.value(4).toString();
        r.evaluation = query.value(5).toString();
        r.bank = query.value(6).toString();
        r.version = query.value(7).toString();
        r.taker = query.value(8).toString();
        r.band = query.value(9).toInt();
        return r;
    }

    Answer answerFrom(const QSqlQuery &query)
    {
        return { query.value(1).toInt(), query.value(2).toString(), query.value(3).toString(),
            query.value(4).toString(), query.value(5).toString() };
    }

    const QString answerFields
        = QStringLiteral("SELECT result_id, question, question_text, option, option_text, score "
                         "FROM answers");

} // namespace

QList<Record> History::records(StoreError *error) const
{
    return recordsOf({}, error);
}

QList<Record> History::recordsOf(const QString &test, StoreError *error) const
{
    StoreError &err = orDummy(error);
    Connection c(m_path);
    if (!openToRead(c, m_path, err))
        return {};
    const QVariantList values = test.isEmpty() ? QVariantList() : QVariantList { test };
    QList<Record> out;
    QHash<qint64, qsizetype> index;
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if ((err = c.exec(query,
             QStringLiteral("SELECT %1, result_text FROM results").arg(listedFields(c.db()))
                 + (test.isEmpty() ? QString() : QStringLiteral(" WHERE test = ?")) + newestFirst,
             values)))
        return {};
    while (query.next()) {
        Record r = listedRecord(query);
        r.resultText = query.value(resultTextField).toString();
        index.insert(r.id, out.size());
        out.append(r);
    }
    if ((err = c.exec(query,
             answerFields
                 + (test.isEmpty()
                         ? QString()
                         : QStringLiteral(" WHERE result_id IN (SELECT id FROM results WHERE "
                                          "test = ?)"))
                 + QStringLiteral(" ORDER BY result_id, question"),
             values)))
        return {};
    while (query.next()) {
        const auto at = index.constFind(query.value(0).toLongLong());
        if (at != index.constEnd())
            out[*at].answers.append(answerFrom(query));
    }
    return out;
}

QList<qint64> History::ids(const QString &test, StoreError *error) const
{
    return ids(test, {}, error);
}

namespace {

    // A WHERE clause for the records of the test and taker (each left out when empty),
    // with its values; false when the file cannot hold any (no taker column yet).
    bool whereOf(QSqlDatabase &db, const QString &test, const QString &taker, QString *where,
        QVariantList *values)
    {
        QStringList terms;
        if (!test.isEmpty()) {
            terms << QStringLiteral("test = ?");
            *values << test;
        }
        if (!taker.isEmpty()) {
            QSqlQuery query(db);
            if (!columnsOfResults(query).contains(QLatin1String("taker")))
                return false;
            terms << QStringLiteral("taker = ?");
            *values << taker;
        }
        if (!terms.isEmpty())
            *where = QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
        return true;
    }

} // namespace

QList<qint64> History::ids(const QString &test, const QString &taker, StoreError *error) const
{
    StoreError &err = orDummy(error);
    Connection c(m_path);
    if (!openToRead(c, m_path, err))
        return {};
    QString where;
    QVariantList values;
    if (!whereOf(c.db(), test, taker, &where, &values))
        return {};
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if ((err = c.exec(
             query, QStringLiteral("SELECT id FROM results") + where + newestFirst, values)))
        return {};
    QList<qint64> out;
    while (query.next())
        out.append(query.value(0).toLongLong());
    return out;
}

QList<Record> History::listed(const QList<qint64> &ids, StoreError *error) const
{
    StoreError &err = orDummy(error);
    if (ids.isEmpty())
        return {};
    Connection c(m_path);
    if (!openToRead(c, m_path, err))
        return {};
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT %1 FROM results WHERE id = ?").arg(listedFields(c.db())))) {
        err = Results::failure(query.lastError(), m_path);
        return {};
    }
    QList<Record> out;
    out.reserve(ids.size());
    for (const qint64 id : ids) {
        query.bindValue(0, id);
        if (!query.exec()) {
            err = Results::failure(query.lastError(), m_path);
            return {};
        }
        if (query.next())
            out.append(listedRecord(query));
        query.finish();
    }
    return out;
}

Record History::record(qint64 id, StoreError *error) const
{
    StoreError &err = orDummy(error);
    Connection c(m_path);
    if (!openToRead(c, m_path, err))
        return {};
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if ((err = c.exec(query,
             QStringLiteral("SELECT %1, result_text FROM results WHERE id = ?")
                 .arg(listedFields(c.db())),
             { id })))
        return {};
    if (!query.next())
        return {};
    Record r = listedRecord(query);
    r.resultText = query.value(resultTextField).toString();
    if ((err = c.exec(query,
             answerFields + QStringLiteral(" WHERE result_id = ? ORDER BY question"), { id })))
        return {};
    while (query.next())
        r.answers.append(answerFrom(query));
    return r;
}

QStringList History::tests(StoreError *error) const
{
    StoreError &err = orDummy(error);
    Connection c(m_path);
    if (!openToRead(c, m_path, err))
        return {};
    QSqlQuery query(c.db());
    query.setForwardOnly(true);
    if ((err = c.exec(query, QStringLiteral("SELECT DISTINCT test FROM results"))))
        return {};
    QStringList out;
    while (query.next())
        out << query.value(0).toString();
    return out;
}

QStringList History::takers(const QString &test, StoreError *error) const
{
    StoreError &err = orDummy(error);
    Connection c(m_path);
    if (!openToRead(c, m_path, err))
        return {};
    QSqlQuery query(c.db());
    if (!columnsOfResults(query).contains(QLatin1String("taker")))
        return {};
    query.setForwardOnly(true);
    if ((err = c.exec(query,
             QStringLiteral("SELECT DISTINCT taker FROM results WHERE taker <> ''")
                 + (test.isEmpty() ? QString() : QStringLiteral(" AND test = ?")),
             test.isEmpty() ? QVariantList() : QVariantList { test })))
        return {};
    QStringList out;
    while (query.next())
        out << query.value(0).toString();
    return out;
}

StoreError History::remove(const QList<qint64> &ids) const
{
    if (ids.isEmpty() || !QFileInfo::exists(m_path))
        return {};
    Connection c(m_path);
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
