#include "store/results/progress.h"

#include "store/results/historyfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <memory>
#include <sys/stat.h>

namespace Results {

namespace {

    const char *const schema[] = {
        "CREATE TABLE IF NOT EXISTS unfinished ("
        " test TEXT NOT NULL PRIMARY KEY,"
        " version TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS unfinished_answers ("
        " test TEXT NOT NULL,"
        " question INTEGER NOT NULL,"
        " option INTEGER NOT NULL,"
        " PRIMARY KEY (test, question))",
    };

    // The connection keep() writes a run's answers on, open from one answer to the next.
    //
    // While it is open the file is in write-ahead-log mode with synchronous=NORMAL: COMMIT
    // appends the answer to results.db-wal through the system's page cache and returns
    // without waiting for the disk. What the page cache holds outlives the process, so a
    // program that is killed (even with SIGKILL) or crashes right after a click keeps that
    // answer, just as the rollback journal with its sync at every commit did, and the
    // click no longer waits for the disk two or three times. What it gives up: a power cut
    // or a crash of the system itself can lose the answers committed since the log last
    // reached the disk, at most the run's answers since it started (when the run ends the
    // file goes back to its rollback journal, which writes the log into the file and syncs
    // it). The file stays whole in every case, so the finished tests' records and the
    // answers before those stay readable. A finished test's record is written on a
    // connection of its own at SQLite's default (synchronous=FULL), synced at its commit
    // as ever.
    //
    // The file is put back into its rollback journal when the connection closes, so that
    // a history copied to or left in a folder that cannot be written still reads: a file
    // in write-ahead-log mode needs its -wal and -shm files beside it even to be read.
    struct Held
    {
        QString path;
        dev_t device = 0;
        ino_t inode = 0;
        std::unique_ptr<HistoryFile::Connection> connection;
        std::unique_ptr<QSqlQuery> run; // prepared once for every answer
        std::unique_ptr<QSqlQuery> answer;
    };

    Held &held()
    {
        static Held h;
        return h;
    }

    // The file at path now: false when there is none.
    bool identify(const QString &path, dev_t *device, ino_t *inode)
    {
        struct stat s;
        if (::stat(QFile::encodeName(path).constData(), &s) != 0)
            return false;
        *device = s.st_dev;
        *inode = s.st_ino;
        return true;
    }

    // Whether the held connection is to the file that is at path now (not one set aside
    // as damaged, or replaced, since).
    bool holds(const QString &path)
    {
        const Held &h = held();
        dev_t device = 0;
        ino_t inode = 0;
        return h.connection && h.path == path && identify(path, &device, &inode)
            && device == h.device && inode == h.inode;
    }

    // Closes the held connection; with mend, the file goes back to its rollback journal
    // first (refused at once, leaving the log for the next one to mend, while another
    // connection has the file open).
    void letGo(bool mend)
    {
        Held &h = held();
        if (!h.connection)
            return;
        h.run.reset();
        h.answer.reset();
        if (mend) {
            QSqlQuery q(h.connection->db());
            q.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
            q.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        }
        h.connection.reset();
        h.path.clear();
    }

    StoreError prepared(
        const std::unique_ptr<QSqlQuery> &query, const QString &sql, HistoryFile::Connection &c)
    {
        query->setForwardOnly(true);
        if (!query->prepare(sql))
            return HistoryFile::failure(query->lastError(), c.path());
        return {};
    }

    StoreError hold(const QString &path)
    {
        letGo(true);
        Held &h = held();
        auto c = std::make_unique<HistoryFile::Connection>(path);
        if (const StoreError e = c->open())
            return e;
        // Where the log cannot be had (a file system without shared memory) the answers go
        // through the rollback journal synced at each commit, as they always did.
        QSqlQuery mode(c->db());
        if (const StoreError e = c->exec(mode, QStringLiteral("PRAGMA journal_mode = WAL")))
            return e;
        const bool logged = mode.next() && mode.value(0).toString() == QLatin1String("wal");
        mode.finish();
        if (logged)
            if (const StoreError e = c->exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
                return e;
        if (const StoreError e = c->transaction([&]() -> StoreError {
                for (const char *sql : schema)
                    if (const StoreError e = c->exec(QLatin1String(sql)))
                        return e;
                return {};
            }))
            return e;
        if (!identify(path, &h.device, &h.inode))
            return StoreError(
                StoreError::Engine, QStringLiteral("测试记录文件“%1”写入后找不到了。").arg(path));
        h.run = std::make_unique<QSqlQuery>(c->db());
        h.answer = std::make_unique<QSqlQuery>(c->db());
        StoreError e = prepared(h.run,
            QStringLiteral("INSERT INTO unfinished (test, version) VALUES (?, ?) "
                           "ON CONFLICT (test) DO UPDATE SET version = excluded.version"),
            *c);
        if (!e)
            e = prepared(h.answer,
                QStringLiteral("INSERT OR REPLACE INTO unfinished_answers (test, question, "
                               "option) VALUES (?, ?, ?)"),
                *c);
        if (e) {
            h.run.reset();
            h.answer.reset();
            return e;
        }
        h.path = path;
        h.connection = std::move(c);
        // Closed before the connections of the program go.
        static const bool once = [] {
            qAddPostRoutine([] { letGo(true); });
            return true;
        }();
        (void)once;
        return {};
    }

} // namespace

Progress::Progress(const QString &path)
    : m_file(path)
{ }

std::optional<Unfinished> Progress::load(const QString &test, StoreError *error) const
{
    std::optional<Unfinished> found;
    if (!QFileInfo::exists(m_file.path())) {
        if (error)
            *error = {};
        return found;
    }
    // Read in a write transaction: a run killed while it kept an answer leaves a hot
    // journal behind, which only a connection that may write rolls back.
    const StoreError e = m_file.write([&](QSqlDatabase &db) -> StoreError {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                   "name IN ('unfinished', 'unfinished_answers')")))
            return m_file.failure(q.lastError());
        if (!q.next() || q.value(0).toInt() != 2)
            return {};
        q.prepare(QStringLiteral("SELECT version FROM unfinished WHERE test = ?"));
        q.addBindValue(test);
        if (!q.exec())
            return m_file.failure(q.lastError());
        if (!q.next())
            return {};
        Unfinished run;
        run.version = q.value(0).toString();
        q.prepare(QStringLiteral(
            "SELECT question, option FROM unfinished_answers WHERE test = ? ORDER BY question"));
        q.addBindValue(test);
        if (!q.exec())
            return m_file.failure(q.lastError());
        // Questions 1, 2, ... without a gap; an option that is none of A to F ends them.
        while (q.next()) {
            const int option = q.value(1).toInt();
            if (q.value(0).toInt() != run.options.size() + 1 || option < 0 || option > 5)
                break;
            run.options << option;
        }
        found = run;
        return {};
    });
    if (error)
        *error = e;
    return e ? std::nullopt : found;
}

StoreError Progress::keep(
    const QString &test, const QString &version, int question, int option) const
{
    if (!holds(m_file.path())) {
        // A file set aside or replaced since is left as it is.
        letGo(held().path != m_file.path());
        if (const StoreError e = hold(m_file.path()))
            return e;
    }
    Held &h = held();
    const StoreError e = h.connection->transaction([&]() -> StoreError {
        h.run->bindValue(0, test);
        h.run->bindValue(1, version);
        if (!h.run->exec())
            return m_file.failure(h.run->lastError());
        h.answer->bindValue(0, test);
        h.answer->bindValue(1, question);
        h.answer->bindValue(2, option);
        if (!h.answer->exec())
            return m_file.failure(h.answer->lastError());
        return {};
    });
    if (e)
        letGo(false);
    return e;
}

void Progress::release()
{
    letGo(true);
}

StoreError Progress::forget(const QString &test) const
{
    release();
    return m_file.write([&](QSqlDatabase &db) { return forgetIn(db, test); });
}

StoreError Progress::forgetIn(QSqlDatabase &db, const QString &test) const
{
    QSqlQuery q(db);
    for (const char *sql : schema)
        if (!q.exec(QLatin1String(sql)))
            return m_file.failure(q.lastError());
    for (const QString &table :
        { QStringLiteral("unfinished_answers"), QStringLiteral("unfinished") }) {
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE test = ?").arg(table));
        q.addBindValue(test);
        if (!q.exec())
            return m_file.failure(q.lastError());
    }
    return {};
}

} // namespace Results
