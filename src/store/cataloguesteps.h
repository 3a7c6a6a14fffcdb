#pragma once

#include "store/bankbackend.h"

#include <functional>
#include <memory>
#include <optional>

// The steps the catalogue's actions are made of, each inside the caller's transaction
// on the bank's backend; the rules for names are the program's, whatever the backend.
namespace Catalogue::Steps {

// The backend of the bank at location, connected; nothing with *error set.
std::unique_ptr<BankBackend> connected(const QString &bank, StoreError *error);
// Runs one action on the bank in a transaction: all of it, or nothing.
StoreError inTransaction(
    const QString &bank, const std::function<StoreError(BankBackend &)> &action);

StoreError noSuchTable(const QString &name);
// Success when a table of exactly this name exists, else NoSuchTable or the failure.
StoreError needTable(BankBackend &bank, const QString &name);

// Whether a name can be given to a new table: not empty, not reserved, no control
// character, and not the name of anything in the bank (ASCII letter case ignored) but
// `self`.
StoreError checkNewName(BankBackend &bank, const QString &name, const QString &self = {});
// A new or renamed category or test: at most Catalogue::kNameLimit characters.
StoreError checkLength(const QString &name);

StoreError createIn(BankBackend &bank, TableKind kind, const TableDef &table);
StoreError renameIn(BankBackend &bank, TableKind kind, const QString &from, const QString &to);
StoreError dropIn(BankBackend &bank, TableKind kind, const QString &name);

// The row id of the first row of table whose field is value: NoSuchTable without the
// table, NotFound without such a row.
std::optional<qint64> firstRow(BankBackend &bank, const QString &table, const QString &field,
    const QString &value, StoreError *error);

// Table C and its row at the end of "分类列表"; tables T and T评分 and their row at the
// end of category table C. The names' lengths are the caller's to check.
StoreError createCategoryIn(BankBackend &bank, const QString &category);
StoreError createTestIn(BankBackend &bank, const QString &test, const QString &category);

} // namespace Catalogue::Steps
