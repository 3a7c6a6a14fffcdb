#include "store/testsettings.h"

#include "store/bankbackend.h"
#include "store/bankfile.h"
#include "store/cataloguesteps.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace TestSettings {

namespace {

    StoreError engine(const QSqlError &error)
    {
        return BankFile::engineError(
            error.nativeErrorCode().toInt(), error.databaseText(), BankFile::connectedPath());
    }

    // Runs one statement with bound values and finishes it; *found tells whether it
    // gave a row whose first value is true.
    StoreError run(
        QSqlDatabase &db, const QString &sql, const QVariantList &values, bool *found = nullptr)
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            return engine(q.lastError());
        for (const QVariant &v : values)
            q.addBindValue(v);
        const bool ok = q.exec();
        const QSqlError error = q.lastError();
        if (ok && found)
            *found = q.next() && q.value(0).toBool();
        q.finish();
        return ok ? StoreError() : engine(error);
    }

    QString quoted()
    {
        return BankFile::quoteName(table());
    }

    bool hasTable(QSqlDatabase &db)
    {
        bool found = false;
        run(db,
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"),
            { table() }, &found);
        return found;
    }

} // namespace

QString table()
{
    return QStringLiteral("\u0001测试设置");
}

bool goingBackAllowed(const QString &bank, const QString &test)
{
    StoreError error;
    const std::unique_ptr<BankBackend> backend = Catalogue::Steps::connected(bank, &error);
    bool allowed = false;
    return backend && !backend->goingBack(test, &allowed) && allowed;
}

StoreError allowGoingBack(const QString &bank, const QString &test, bool allowed)
{
    StoreError error;
    const std::unique_ptr<BankBackend> backend = Catalogue::Steps::connected(bank, &error);
    return backend ? backend->setGoingBack(test, allowed) : error;
}

bool File::goingBackAllowed(QSqlDatabase &db, const QString &test)
{
    if (!hasTable(db))
        return false;
    bool allowed = false;
    run(db, QStringLiteral("SELECT going_back FROM %1 WHERE test = ?").arg(quoted()), { test },
        &allowed);
    return allowed;
}

StoreError File::allowGoingBack(QSqlDatabase &db, const QString &test, bool allowed)
{
    StoreError error;
    if (const StoreError e = run(db, QStringLiteral("BEGIN IMMEDIATE"), {}))
        return e;
    error = run(db,
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (test TEXT NOT NULL PRIMARY KEY, "
                       "going_back INTEGER NOT NULL DEFAULT 0)")
            .arg(quoted()),
        {});
    if (!error)
        error = run(db,
            QStringLiteral("INSERT INTO %1 (test, going_back) VALUES (?, ?) "
                           "ON CONFLICT (test) DO UPDATE SET going_back = excluded.going_back")
                .arg(quoted()),
            { test, allowed ? 1 : 0 });
    if (!error)
        error = run(db, QStringLiteral("COMMIT"), {});
    if (error)
        run(db, QStringLiteral("ROLLBACK"), {});
    return error;
}

StoreError renameIn(QSqlDatabase &db, const QString &from, const QString &to)
{
    if (from == to || !hasTable(db))
        return {};
    // A row left by a test of the new name that went outside the program gives way.
    if (const StoreError e = dropIn(db, to))
        return e;
    return run(
        db, QStringLiteral("UPDATE %1 SET test = ? WHERE test = ?").arg(quoted()), { to, from });
}

StoreError dropIn(QSqlDatabase &db, const QString &test)
{
    if (!hasTable(db))
        return {};
    return run(db, QStringLiteral("DELETE FROM %1 WHERE test = ?").arg(quoted()), { test });
}

} // namespace TestSettings
