#pragma once

#include "formats/package.h"
#include "store/storeerror.h"

#include <QList>

// Bringing a package into the bank. The bank's one namespace of tables holds every
// category and test: a name that is taken is never overwritten; the user renames or
// skips what clashes before anything is written, and the import is one transaction.
namespace Exchange {

// A name of the package that cannot be given: `test` is -1 for a category itself.
struct Clash
{
    int category;
    int test;
    QString reason;
};

// What would clash when the package goes into the categories it names (a category
// that exists already takes its tests; a new one is made), or, with `into` set, all
// its tests into that category (made when missing; `category` is -1 when its name is
// taken). A category of the package without tests is always kept as itself. Names
// used twice inside the package clash too (ASCII letter case ignored, as in the bank).
QList<Clash> findClashes(const QString &bank, const Package &package, const QString &into);

// The categories that importing the package makes, in order.
QStringList newCategories(const QString &bank, const Package &package, const QString &into);

// Writes the package: all of it, or nothing when any name is refused.
StoreError importPackage(const QString &bank, const Package &package, const QString &into);

// Every category and test of the bank at from, written into the bank at to in one
// transaction: a bank moved from its file to a server bank or back, value by value.
// A name that to holds already is refused (TableExists) before anything is written.
StoreError copyBank(const QString &from, const QString &to);

// The categories of the bank in order (for the dialogs).
QStringList categoryNames(const QString &bank, StoreError *error = nullptr);

} // namespace Exchange
