// The bank's tables one at a time, and the transaction every action runs in.
#include "store/catalogue.h"

#include "store/bankbackend.h"
#include "store/cataloguesteps.h"

namespace Catalogue::Steps {

std::unique_ptr<BankBackend> connected(const QString &bank, StoreError *error)
{
    std::unique_ptr<BankBackend> backend = BankBackend::forLocation(bank, error);
    if (backend)
        *error = backend->connect();
    if (*error)
        backend.reset();
    return backend;
}

StoreError inTransaction(
    const QString &bank, const std::function<StoreError(BankBackend &)> &action)
{
    StoreError error;
    const std::unique_ptr<BankBackend> backend = connected(bank, &error);
    if (error)
        return error;
    if (const StoreError e = backend->begin())
        return e;
    error = action(*backend);
    if (!error)
        error = backend->commit();
    if (error)
        backend->rollback();
    return error;
}

StoreError noSuchTable(const QString &name)
{
    return StoreError(StoreError::NoSuchTable, QStringLiteral("找不到表“%1”。").arg(name));
}

StoreError needTable(BankBackend &bank, const QString &name)
{
    bool found = false;
    if (const StoreError e = bank.hasTable(name, &found))
        return e;
    return found ? StoreError() : noSuchTable(name);
}

StoreError createIn(BankBackend &bank, TableKind kind, const TableDef &table)
{
    if (const StoreError e = checkNewName(bank, table.name))
        return e;
    if (table.fields.isEmpty())
        return StoreError(StoreError::Engine, QStringLiteral("表“%1”没有字段。").arg(table.name));
    return bank.createTable(kind, table);
}

StoreError renameIn(BankBackend &bank, TableKind kind, const QString &from, const QString &to)
{
    if (const StoreError e = needTable(bank, from))
        return e;
    if (from == to)
        return {};
    if (const StoreError e = checkNewName(bank, to, from))
        return e;
    return bank.renameTable(kind, from, to);
}

StoreError dropIn(BankBackend &bank, TableKind kind, const QString &name)
{
    if (const StoreError e = needTable(bank, name))
        return e;
    return bank.dropTable(kind, name);
}

std::optional<qint64> firstRow(BankBackend &bank, const QString &table, const QString &field,
    const QString &value, StoreError *error)
{
    if ((*error = needTable(bank, table)))
        return std::nullopt;
    std::optional<qint64> row;
    if ((*error = bank.firstRow(table, field, value, &row)))
        return std::nullopt;
    if (!row)
        *error = StoreError(
            StoreError::NotFound, QStringLiteral("表“%1”里没有“%2”。").arg(table, value));
    return row;
}

} // namespace Catalogue::Steps

namespace Catalogue {

using namespace Steps;

StoreError createTable(const QString &bank, const TableDef &table)
{
    return inTransaction(
        bank, [&](BankBackend &b) { return createIn(b, TableKind::Other, table); });
}

StoreError renameTable(const QString &bank, const QString &from, const QString &to)
{
    return inTransaction(
        bank, [&](BankBackend &b) { return renameIn(b, TableKind::Other, from, to); });
}

StoreError dropTable(const QString &bank, const QString &name)
{
    return inTransaction(bank, [&](BankBackend &b) { return dropIn(b, TableKind::Other, name); });
}

QStringList tables(const QString &bank, StoreError *error)
{
    StoreError problem;
    QStringList names;
    if (const std::unique_ptr<BankBackend> backend = connected(bank, &problem))
        problem = backend->tables(&names);
    if (error)
        *error = problem;
    return names;
}

bool hasTable(const QString &bank, const QString &name)
{
    StoreError error;
    const std::unique_ptr<BankBackend> backend = connected(bank, &error);
    bool found = false;
    return backend && !backend->hasTable(name, &found) && found;
}

QList<FieldDef> fields(const QString &bank, const QString &table, StoreError *error)
{
    StoreError problem;
    QList<FieldDef> result;
    const std::unique_ptr<BankBackend> backend = connected(bank, &problem);
    if (backend && !(problem = needTable(*backend, table)))
        problem = backend->fields(table, &result);
    if (error)
        *error = problem;
    return result;
}

StoreError checkNewName(const QString &bank, const QString &name)
{
    if (const StoreError e = checkLength(name))
        return e;
    StoreError error;
    const std::unique_ptr<BankBackend> backend = connected(bank, &error);
    return backend ? Steps::checkNewName(*backend, name) : error;
}

} // namespace Catalogue
