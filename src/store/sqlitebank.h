#pragma once

#include "store/bankbackend.h"

#include <QSqlDatabase>

struct sqlite3;
struct sqlite3_stmt;

// The bank file: an SQLite database on the process's one connection (BankFile).
// Every category and test is a table of its own; names are quoted as SQL identifiers
// and values bound, never pasted into a statement.
class SqliteBank final : public BankBackend
{
public:
    explicit SqliteBank(const QString &path)
        : m_path(path)
    { }

    std::unique_ptr<BankTable> table() const override;
    StoreError connect() override;

    // BEGIN IMMEDIATE: a transaction that reads first and asks for the write lock later
    // is refused at once (SQLITE_BUSY, no waiting) while another copy of the program
    // writes, whereas BEGIN IMMEDIATE waits out the busy timeout like any write.
    StoreError begin() override;
    StoreError commit() override;
    void rollback() override;

    StoreError tables(QStringList *names) override;
    StoreError hasTable(const QString &name, bool *found) override;
    StoreError nameTaken(const QString &name, const QString &self, bool *taken) override;
    StoreError fields(const QString &table, QList<FieldDef> *fields) override;
    StoreError createTable(TableKind kind, const TableDef &table) override;
    // SQLite sees names that differ only in letter case as one: such a rename goes
    // through a temporary name.
    StoreError renameTable(TableKind kind, const QString &from, const QString &to) override;
    StoreError dropTable(TableKind kind, const QString &name) override;

    StoreError firstRow(const QString &table, const QString &field, const QString &text,
        std::optional<qint64> *row) override;
    StoreError rowCount(const QString &table, qint64 *count) override;
    StoreError appendRow(const QString &table, const QString &field, const QString &text) override;
    StoreError setField(
        const QString &table, const QString &field, qint64 row, const QString &text) override;
    StoreError removeRow(const QString &table, qint64 row) override;
    // Through SQLite's own interface on the connection's handle: an import writes many
    // rows, and binding them as Qt values costs several times what SQLite itself does.
    StoreError appendRows(const QString &table, int fieldCount, qsizetype rowCount,
        const std::function<void(qsizetype row, Catalogue::Batch::Field *fields)> &fill) override;

    StoreError renameSettings(const QString &from, const QString &to) override;
    StoreError dropSettings(const QString &test) override;
    StoreError goingBack(const QString &test, bool *allowed) override;
    StoreError setGoingBack(const QString &test, bool allowed) override;
    QString questionsVersion(const QString &test) override;

private:
    StoreError failure(sqlite3 *db) const;
    // Runs one statement with bound values, the first row given to row; finishes it.
    StoreError step(const QString &sql, const QVariantList &values,
        const std::function<void(sqlite3_stmt *)> &row);
    // Runs one statement with bound values; finishes it.
    StoreError run(const QString &sql, const QVariantList &values = {});
    // The first value of the first row, if there is one.
    std::optional<QVariant> scalar(
        const QString &sql, const QVariantList &values, StoreError *error);

    QString m_path;
    QSqlDatabase m_db;
};
