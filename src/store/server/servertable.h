#pragma once

#include "store/bankbackend.h"
#include "store/server/servershape.h"

// One table of a server bank, as a record set reads and writes it: the rows of the
// server's table that the file's table of that name stands for (ServerShape). Row ids
// are the server's, never reused. Inside a transaction a row is read with its lock
// taken at once or not at all, so a row another copy is saving gives ServerBusy, never
// a wait.
class ServerTable final : public BankTable
{
public:
    explicit ServerTable(const QString &location)
        : m_location(location)
    { }

    StoreError open(const QString &table) override;
    void close() override;

    const QStringList &fields() const override { return m_shape.fields; }
    bool isSingle(int field) const override { return m_shape.isSingle(field); }

    StoreError rowIds(QList<qint64> *ids) override;
    StoreError readRow(qint64 id, QStringList *texts, bool *found) override;
    // Always the same: the server never gives a row's id to another row.
    StoreError schemaVersion(qint64 *version) override;
    StoreError column(int field, QList<qint64> *ids, QStringList *texts) override;
    StoreError insert(const QList<int> &fields, const QVariantList &values, qint64 *id) override;
    StoreError update(
        qint64 id, const QList<int> &fields, const QVariantList &values, bool *found) override;
    StoreError remove(qint64 id) override;
    StoreError begin() override;
    StoreError commit() override;
    void rollback() override;
    StoreError find(int field, const QVariant &key, const std::function<bool(qint64)> &accept,
        qint64 *id) override;
    StoreError lastChange(qint64 id, QString *who, QDateTime *when) override;
    // Exactly as stored: an empty text is no null.
    StoreError values(int field, QList<qint64> *ids, QVariantList *values) override;

private:
    StoreError connect();
    PgResult exec(const QString &sql, const QVariantList &values);
    QVariant value(int field, const QVariant &given) const;

    const QString m_location;
    PgConnection *m_db = nullptr;
    QString m_table;
    ServerShape m_shape;
    bool m_inTransaction = false;
};
