#pragma once

#include "store/catalogue.h"
#include "store/server/pgconnection.h"
#include "store/storeerror.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a table of the bank file is on the server. The file keeps the list of
// categories, each category's list of tests, and each test's questions and bands as
// tables of their own; the server keeps them as rows of four tables, and a name of the
// file's one namespace says which rows: the list is every category, a category's table
// its tests, a test's table its questions, the test's scoring table its bands.
struct ServerShape
{
    enum Kind { None, List, Category, Questions, Bands };

    Kind kind = None;
    qint64 owner = 0; // the category or test whose rows these are; 0 for the list
    QString sqlTable; // "qelvi.questions"
    QString ownerColumn; // "test_id"; empty for the list
    QStringList fields; // as the file names them
    QStringList columns; // quoted, in the same order
    QList<FieldDef> defs;

    // The shape of the table of exactly this name (letter case counts); kind None
    // when the bank has no such table.
    static ServerShape find(PgConnection &db, const QString &table, StoreError *error);
    static ServerShape of(Kind kind, qint64 owner);

    bool isSingle(int field) const { return defs.at(field).type == FieldType::Single; }
    // "WHERE test_id = $n" (nothing for the list), with its value appended to values.
    QString ownerCondition(QVariantList *values) const;
    // " WHERE id = $n AND test_id = $m": one row of these, its values appended.
    QString rowCondition(qint64 id, QVariantList *values) const;
    // The value to bind for a field: a single as its exact text, anything else as given.
    QVariant value(int field, const QVariant &given) const;
    // One field's value as the boxes show it: "" for NULL, a single as its shortest text.
    QString text(const PgResult &result, int row, int column, int field) const;
};

namespace ServerErrors {

// The store's error for a failure the server or the connection reported.
StoreError toStore(const PgError &error);
// The store's error when no connection to the bank at location is open.
StoreError notConnected(const QString &location);
// A value for a real column: the single it rounds to, as exact text.
QVariant singleValue(const QVariant &value);

} // namespace ServerErrors
