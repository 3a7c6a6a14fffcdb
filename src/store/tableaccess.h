#pragma once

#include "store/bankbackend.h"
#include "store/storeerror.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

// What a record set runs on its table: reading the row ids, one row, one column, and
// writing rows, on the backend of the bank's location (BankBackend::forLocation).
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

    // Reads the table's fields. NoSuchTable when there is no table of exactly that name;
    // UnknownBank for a location that names no bank this program can open.
    StoreError open(const QString &bank, const QString &table);
    void close();

    const QStringList &fields() const { return m_table ? m_table->fields() : noFields(); }
    bool isSingle(int field) const { return m_table && m_table->isSingle(field); }

    // Every row id in natural order.
    StoreError rowIds(QList<qint64> *ids) { return m_table->rowIds(ids); }
    // One row's fields as text; *found false (and texts empty) when the row is gone.
    StoreError readRow(qint64 id, QStringList *texts, bool *found)
    {
        return m_table->readRow(id, texts, found);
    }
    // The bank's change counter: it grows with every change of a table's layout and
    // with anything that may give the rows of these tables new row ids.
    StoreError schemaVersion(qint64 *version) { return m_table->schemaVersion(version); }
    // One field of every row, with its row id, in natural order.
    StoreError column(int field, QList<qint64> *ids, QStringList *texts)
    {
        return m_table->column(field, ids, texts);
    }
    StoreError insert(const QList<int> &fields, const QVariantList &values, qint64 *id)
    {
        return m_table->insert(fields, values, id);
    }
    // *found false when the row is gone.
    StoreError update(qint64 id, const QList<int> &fields, const QVariantList &values, bool *found)
    {
        return m_table->update(id, fields, values, found);
    }
    StoreError remove(qint64 id) { return m_table->remove(id); }
    // A write transaction of its own, so that what is read and what is written next are
    // one step no other copy of the program can come between.
    StoreError begin() { return m_table->begin(); }
    StoreError commit() { return m_table->commit(); }
    void rollback()
    {
        if (m_table)
            m_table->rollback();
    }
    // Row ids whose field equals key (null: the field is empty), in natural order,
    // until accept() returns true. Returns that id in *id, or -1.
    StoreError find(
        int field, const QVariant &key, const std::function<bool(qint64)> &accept, qint64 *id)
    {
        return m_table->find(field, key, accept, id);
    }
    // One field of every row as stored: null, a double or text.
    StoreError values(int field, QList<qint64> *ids, QVariantList *values)
    {
        return m_table->values(field, ids, values);
    }
    // Who last changed the row and when, where the bank keeps it.
    StoreError lastChange(qint64 id, QString *who, QDateTime *when)
    {
        return m_table->lastChange(id, who, when);
    }

private:
    static const QStringList &noFields();

    QString m_bank;
    std::unique_ptr<BankTable> m_table; // of m_bank's backend
};
