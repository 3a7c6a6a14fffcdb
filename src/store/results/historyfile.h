#pragma once

#include "store/storeerror.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

class QSqlError;
struct sqlite3;

// results.db itself, for the history's reads and writes: how it is opened and guarded,
// its schema, and how its failures are told.
namespace Results::HistoryFile {

// A failed statement's error; the message names the file.
StoreError failure(const QSqlError &error, const QString &path);
// Tells the user once (the notice set with setNotice).
void tell(const QString &text);
// A history reached through a link into another folder: the user is told once where.
void tellLink(const QString &path);
// Whether the failure says the file is damaged.
bool damaged(const StoreError &e);
// Moves a damaged history and its journal aside and tells the user; false when it
// cannot be moved.
bool setAside(const QString &path);

// One connection for one call, with a name of its own (never the bank's).
class Connection
{
public:
    explicit Connection(const QString &path);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Only what may be opened: nothing yet, a regular file, or a link to one.
    StoreError open();
    void close() { m_db.close(); }

    // Runs one statement with its values bound in order.
    StoreError exec(QSqlQuery &query, const QString &sql, const QVariantList &values = {});
    StoreError exec(const QString &sql, const QVariantList &values = {});
    // Runs work between BEGIN IMMEDIATE and COMMIT (the write lock taken at once, so
    // another copy's write waits instead of failing halfway); rolls back on failure.
    StoreError transaction(const std::function<StoreError()> &work);

    QSqlDatabase &db() { return m_db; }
    const QString &path() const { return m_path; }

private:
    QString m_name;
    QString m_path;
    QSqlDatabase m_db;
};

// Opens the file at path and runs work in one write transaction (creating the file
// when there is none).
StoreError inTransaction(const QString &path, const std::function<StoreError(Connection &)> &work);

// Before a record is written: a file that holds another program's tables is refused;
// the history's tables are made, and given the columns added since their first form.
StoreError prepareToWrite(Connection &c);

// The names of the columns results has.
QStringList columnsOfResults(QSqlDatabase &db);

// Columns added to results after its first form; a file without them is given them on
// its next write, and reads without them as empty values.
struct AddedColumn
{
    const char *name;
    const char *definition;
};
extern const AddedColumn addedColumns[4];

// One read of the history: the file opened to read, and forward-only statements run on
// it. False when there is nothing to read: no file or no record stored yet (the file is
// not created), or a failure, which the caller's error then holds. A damaged history is
// set aside (told once) and reads as a new, empty one.
class Reading
{
public:
    Reading(const QString &path, StoreError *error);

    explicit operator bool() const { return m_open; }

    // Runs sql with its values on query(); false on failure (the caller's error set).
    bool run(const QString &sql, const QVariantList &values = {});
    // Runs sql and hands each row to `row`; false on failure.
    bool rows(const QString &sql, const QVariantList &values,
        const std::function<void(const QSqlQuery &)> &row);
    // Sets the caller's error to this failure; false.
    bool fail(const QSqlError &error);
    // The same for a failure on the connection's own SQLite handle.
    bool fail(sqlite3 *db);

    QSqlQuery &query() { return *m_query; }
    QSqlDatabase &db() { return m_connection.db(); }

private:
    bool openToRead(const QString &path);

    StoreError m_own;
    StoreError &m_error;
    Connection m_connection;
    std::optional<QSqlQuery> m_query;
    bool m_open = false;
};

} // namespace Results::HistoryFile
