// results.db itself: opening and guarding the file, its schema, its failures.
#include "store/results/history.h"

#include "base/safefile.h"
#include "store/results/historyfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>

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

    QString fileProblem(const QString &path, const QString &what)
    {
        return QStringLiteral("测试记录文件“%1”%2").arg(QFileInfo(path).absoluteFilePath(), what);
    }

    std::function<void(const QString &)> &notice()
    {
        static std::function<void(const QString &)> n;
        return n;
    }

    // Moves a damaged history and its journal aside, under the first free name of
    // results.db.damaged, results.db.damaged.2, ...; nothing of it is deleted. Empty
    // when it cannot be moved.
    QString moveAside(const QString &path)
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

    int &connectionSerial()
    {
        static int n = 0;
        return n;
    }

    // A file another program keeps its own tables in is no history to write into.
    StoreError foreignTables(QSqlDatabase &db, const QString &path)
    {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral(
                "SELECT count(*) FROM sqlite_master WHERE name NOT IN "
                "('results', 'answers', 'unfinished', 'unfinished_answers', 'outbox', "
                "'class_sync') AND "
                "name NOT LIKE 'sqlite_%' AND "
                "type IN ('table', 'view')"))
            && q.next() && q.value(0).toInt() == 0)
            return {};
        if (q.lastError().isValid())
            return HistoryFile::failure(q.lastError(), path);
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

StoreError History::failure(const QSqlError &error) const
{
    return HistoryFile::failure(error, m_path);
}

namespace HistoryFile {

    const AddedColumn addedColumns[4] = {
        { "bank", "TEXT NOT NULL DEFAULT ''" },
        { "version", "TEXT NOT NULL DEFAULT ''" },
        { "taker", "TEXT NOT NULL DEFAULT ''" },
        { "band", "INTEGER NOT NULL DEFAULT 0" },
    };

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

    void tell(const QString &text)
    {
        if (notice())
            notice()(text);
    }

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

    bool damaged(const StoreError &e)
    {
        return e.number() == StoreError::NotABank;
    }

    bool setAside(const QString &path)
    {
        const QString aside = moveAside(path);
        if (aside.isEmpty())
            return false;
        tell(setAsideMessage(path, aside));
        return true;
    }

    Connection::Connection(const QString &path)
        : m_name(QStringLiteral("qelvi-results-%1").arg(++connectionSerial()))
        , m_path(path)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        // Never read-only: a copy killed while it wrote leaves a hot journal, which only
        // a connection that may write rolls back (a read-only one fails as if the file
        // could not be written).
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }

    Connection::~Connection()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }

    StoreError Connection::open()
    {
        if (const StoreError e = checkPath(m_path))
            return e;
        if (!m_db.open())
            return failure(m_db.lastError(), m_path);
        return {};
    }

    StoreError Connection::exec(QSqlQuery &query, const QString &sql, const QVariantList &values)
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

    StoreError Connection::exec(const QString &sql, const QVariantList &values)
    {
        QSqlQuery query(m_db);
        return exec(query, sql, values);
    }

    StoreError Connection::transaction(const std::function<StoreError()> &work)
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

    StoreError inTransaction(
        const QString &path, const std::function<StoreError(Connection &)> &work)
    {
        Connection c(path);
        if (const StoreError e = c.open())
            return e;
        return c.transaction([&] { return work(c); });
    }

    QStringList columnsOfResults(QSqlDatabase &db)
    {
        QSqlQuery query(db);
        QStringList out;
        if (query.exec(QStringLiteral("PRAGMA table_info(results)")))
            while (query.next())
                out << query.value(1).toString();
        query.finish();
        return out;
    }

    StoreError prepareToWrite(Connection &c)
    {
        if (const StoreError e = foreignTables(c.db(), c.path()))
            return e;
        for (const char *sql : schema)
            if (const StoreError e = c.exec(QLatin1String(sql)))
                return e;
        const QStringList have = columnsOfResults(c.db());
        for (const auto &column : addedColumns) {
            if (have.contains(QLatin1String(column.name)))
                continue;
            if (const StoreError e
                = c.exec(QStringLiteral("ALTER TABLE results ADD COLUMN %1 %2")
                             .arg(QLatin1String(column.name), QLatin1String(column.definition))))
                return e;
        }
        return {};
    }

    Reading::Reading(const QString &path, StoreError *error)
        : m_error(error ? *error : m_own)
        , m_connection(path)
    {
        m_open = openToRead(path);
        if (m_open) {
            m_query.emplace(m_connection.db());
            m_query->setForwardOnly(true);
        }
    }

    bool Reading::openToRead(const QString &path)
    {
        m_error = {};
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return false;
        if (!(m_error = m_connection.open())) {
            QSqlQuery query(m_connection.db());
            if (!(m_error = m_connection.exec(query,
                      QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                     "AND name = 'results'"))))
                return query.next() && query.value(0).toInt() > 0;
        }
        if (damaged(m_error)) {
            m_connection.close();
            if (setAside(path))
                m_error = {};
        }
        return false;
    }

    bool Reading::run(const QString &sql, const QVariantList &values)
    {
        return !(m_error = m_connection.exec(*m_query, sql, values));
    }

    bool Reading::rows(const QString &sql, const QVariantList &values,
        const std::function<void(const QSqlQuery &)> &row)
    {
        if (!run(sql, values))
            return false;
        while (m_query->next())
            row(*m_query);
        return true;
    }

    bool Reading::fail(const QSqlError &error)
    {
        m_error = failure(error, m_connection.path());
        return false;
    }

    bool Reading::fail(sqlite3 *db)
    {
        return fail(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)),
            QSqlError::StatementError, QString::number(sqlite3_extended_errcode(db))));
    }

} // namespace HistoryFile

} // namespace Results
