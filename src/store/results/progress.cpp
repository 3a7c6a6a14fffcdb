#include "store/results/progress.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

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
    return m_file.write([&](QSqlDatabase &db) -> StoreError {
        QSqlQuery q(db);
        for (const char *sql : schema)
            if (!q.exec(QLatin1String(sql)))
                return m_file.failure(q.lastError());
        q.prepare(QStringLiteral("INSERT INTO unfinished (test, version) VALUES (?, ?) "
                                 "ON CONFLICT (test) DO UPDATE SET version = excluded.version"));
        q.addBindValue(test);
        q.addBindValue(version);
        if (!q.exec())
            return m_file.failure(q.lastError());
        q.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO unfinished_answers (test, question, option) VALUES (?, ?, ?)"));
        q.addBindValue(test);
        q.addBindValue(question);
        q.addBindValue(option);
        if (!q.exec())
            return m_file.failure(q.lastError());
        return {};
    });
}

StoreError Progress::forget(const QString &test) const
{
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
