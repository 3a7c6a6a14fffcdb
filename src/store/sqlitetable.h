#pragma once

#include "store/bankbackend.h"

#include <QHash>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// One table of the bank file, through SQLite's C interface on the bank's one
// connection (the Qt SQL connection's own handle). Statements are prepared once and
// kept until the connection closes or moves to another file.
class SqliteTable final : public BankTable
{
public:
    explicit SqliteTable(const QString &bank);
    ~SqliteTable() override;
    SqliteTable(const SqliteTable &) = delete;
    SqliteTable &operator=(const SqliteTable &) = delete;

    StoreError open(const QString &table) override;
    void close() override;

    const QStringList &fields() const override { return m_fields; }
    bool isSingle(int field) const override { return m_single.at(field); }

    StoreError rowIds(QList<qint64> *ids) override;
    StoreError readRow(qint64 id, QStringList *texts, bool *found) override;
    // The bank's schema cookie: it grows with every change of a table's layout and with
    // every VACUUM (which may give the rows of these tables new row ids).
    StoreError schemaVersion(qint64 *version) override;
    StoreError column(int field, QList<qint64> *ids, QStringList *texts) override;
    StoreError insert(const QList<int> &fields, const QVariantList &values, qint64 *id) override;
    StoreError update(
        qint64 id, const QList<int> &fields, const QVariantList &values, bool *found) override;
    StoreError remove(qint64 id) override;
    // BEGIN IMMEDIATE.
    StoreError begin() override;
    StoreError commit() override;
    void rollback() override;
    StoreError find(int field, const QVariant &key, const std::function<bool(qint64)> &accept,
        qint64 *id) override;

private:
    class Statement;
    StoreError connect();
    StoreError failure() const;
    StoreError prepare(std::unique_ptr<Statement> &slot, const std::function<QString()> &sql);
    StoreError prepare(QHash<quint32, std::shared_ptr<Statement>> &cache, quint32 mask,
        const std::function<QString()> &sql, Statement **out);
    QString text(sqlite3_stmt *stmt, int column, bool single) const;
    void dropStatements();

    const QString m_bank;
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
