#pragma once

#include "store/bankbackend.h"
#include "store/server/pgconnection.h"
#include "store/server/servershape.h"

// A bank kept on a PostgreSQL server (server/schema.sql): categories, tests, questions
// and bands as rows, the names' rules held by the server itself. The catalogue's
// actions arrive as the file bank's steps; here a category or a test is its row, and
// its tables come and go with it: making a category's table makes the category, a
// test's two tables wait for its row in a category, and renaming or dropping a table
// leaves the work to the row that follows in the same action.
class ServerBank final : public BankBackend
{
public:
    explicit ServerBank(const QString &location)
        : m_location(location)
    { }

    // Readies a new connection for the bank: the bank's layout is one this program
    // knows, and changes are told to it (BankNews).
    static PgError prepare(PgConnection &db);
    // Begins a transaction (its locks, as every statement's, wait a few seconds at most).
    static PgResult begin(PgConnection &db);

    std::unique_ptr<BankTable> table() const override;
    StoreError connect() override;
    StoreError begin() override;
    StoreError commit() override;
    void rollback() override;

    StoreError tables(QStringList *names) override;
    StoreError hasTable(const QString &name, bool *found) override;
    StoreError nameTaken(const QString &name, const QString &self, bool *taken) override;
    StoreError fields(const QString &table, QList<FieldDef> *fields) override;
    StoreError createTable(TableKind kind, const TableDef &table) override;
    StoreError renameTable(TableKind kind, const QString &from, const QString &to) override;
    StoreError dropTable(TableKind kind, const QString &name) override;

    StoreError firstRow(const QString &table, const QString &field, const QString &text,
        std::optional<qint64> *row) override;
    StoreError rowCount(const QString &table, qint64 *count) override;
    StoreError appendRow(const QString &table, const QString &field, const QString &text) override;
    StoreError setField(
        const QString &table, const QString &field, qint64 row, const QString &text) override;
    StoreError removeRow(const QString &table, qint64 row) override;
    StoreError appendRows(const QString &table, int fieldCount, qsizetype rowCount,
        const std::function<void(qsizetype row, Catalogue::Batch::Field *fields)> &fill) override;

    // A test's settings are fields of its row: they follow it already.
    StoreError renameSettings(const QString &, const QString &) override { return {}; }
    StoreError dropSettings(const QString &) override { return {}; }
    StoreError goingBack(const QString &test, bool *allowed) override;
    StoreError setGoingBack(const QString &test, bool allowed) override;
    // From the questions' ids and versions (the server raises a row's version with
    // every real change).
    QString questionsVersion(const QString &test) override;

    // The classroom (serverclassroom.cpp).
    StoreError role(Classroom::Role *role) override;
    StoreError classTests(QList<Classroom::TestState> *tests) override;
    StoreError setClassFlag(const QString &test, ClassFlag flag, bool on) override;
    // Only a published test has a key: an author's try of his own draft is kept at home.
    StoreError handInKey(const QString &test, Classroom::Key *key) override;
    StoreError handIn(const QString &submission, const Classroom::Key &key, const QString &answers,
        Classroom::Scored *scored) override;
    StoreError classResults(qint64 after, int limit, QList<Classroom::Result> *results) override;

private:
    // The shape of an existing table (NoSuchTable without it).
    StoreError shape(const QString &table, ServerShape *shape);
    StoreError run(const QString &sql, const QVariantList &values, PgResult *result = nullptr);
    // The shape of an existing table and the index of one of its fields (NoSuchField).
    StoreError field(const QString &table, const QString &name, ServerShape *shape, int *index);

    const QString m_location;
    PgConnection *m_db = nullptr;
    // The tables of a test made in this action, whose row in a category is still to
    // come: the test's own, then its scoring table.
    QStringList m_pending;
    // A category made by its table, whose row in the list is therefore there already.
    QString m_newCategory;
};
