#pragma once

#include "store/storeerror.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// The statements a record set runs on its table, through SQLite's C interface on
// the bank's one connection (the Qt SQL connection's own handle): reading the row
// ids, one row, one column, and writing rows. Statements are prepared once and kept
// until the connection closes or moves to another file.
//
// Values are text as the boxes show them: NULL reads as "", a REAL field as its
// shortest single-precision text. Values written are QVariant: null, double or text.
class TableAccess
{
public:
    TableAccess();
    ~TableAccess();
    TableAccess(const TableAccess &) = delete;
    TableAccess &operator=(const TableAccess &) = delete;

    // Reads the table's fields. NoSuchTable when there is no table of exactly that name.
    StoreError open(const QString &bank, const QString &table);
    void close();

    const QStringList &fields() const { return m_fields; }
    bool isSingle(int field) const { return m_single.at(field); }

    // Every row id in natural order.
    StoreError rowIds(QList<qint64> *ids);
    // One row's fields as text; *found false (and texts empty) when the row is gone.
    StoreError readRow(qint64 id, QStringList *texts, bool *found);
    // The bank's schema cookie: it grows with every change of a table's layout and with
    // every VACUUM (which may give the rows of these tables new row ids).
    StoreError schemaVersion(qint64 *version);
    // One field of every row, with its row id, in natural order.
    StoreError column(int field, QList<qint64> *ids, QStringList *texts);
    StoreError insert(const QList<int> &fields, const QVariantList &values, qint64 *id);
    // *found false when the row is gone.
    StoreError update(qint64 id, const QList<int> &fields, const QVariantList &values, bool *found);
    StoreError remove(qint64 id);
    // A write transaction of its own (BEGIN IMMEDIATE), so that what is read and what is
    // written next are one step no other copy of the program can come between.
    StoreError begin();
    StoreError commit();
    void rollback();
    // Row ids whose field equals key (null: the field is empty), in natural order,
    // until accept() returns true. Returns that id in *id, or -1.
    StoreError find(
        int field, const QVariant &key, const std::function<bool(qint64)> &accept, qint64 *id);

private:
    class Statement;
    StoreError connect();
    StoreError failure() const;
    StoreError prepare(std::unique_ptr<Statement> &slot, const std::function<QString()> &sql);
    StoreError prepare(QHash<quint32, std::shared_ptr<Statement>> &cache, quint32 mask,
        const std::function<QString()> &sql, Statement **out);
    QString text(sqlite3_stmt *stmt, int column, bool single) const;
    void dropStatements();

    QString m_bank;
    QString m_table;
    QStringList m_fields;
    QList<bool> m_single;
    sqlite3 *m_handle = nullptr;
    quint64 m_serial = 0;
    std::unique_ptr<Statement> m_select;
    std::unique_ptr<Statement> m_delete;
    QHash<quint32, std::shared_ptr<Statement>> m_updates; // by the mask of fields written
    QHash<quint32, std::shared_ptr<Statement>> m_inserts;
};
