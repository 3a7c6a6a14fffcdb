#pragma once

#include "store/storeerror.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

struct sqlite3;

// The one SQLite connection of the process to the test bank file.
//
// The connection is opened on first use with a busy timeout, so that two copies of
// the program on one folder wait for each other. When a caller asks for another
// path (tests point the program folder elsewhere) the old connection is closed and
// the new file opened. The file is never created here: a missing file, one that
// cannot be read, one that is no database and one without the table "分类列表"
// are refused with BankMissing, BankUnreadable, NotABank and NoCategoryList, whose
// messages name the file. An Access 2000 file is converted first (JetBank), so every
// window that opens the bank meets a user's old bank as an SQLite one.
namespace BankFile {

// The connection to the bank at path, opened (and checked) when needed.
// On failure returns an invalid QSqlDatabase and sets *error.
QSqlDatabase connection(const QString &path, StoreError *error);

// SQLite's own handle of a Qt connection, for statements that Qt's query object would
// make dearer; null when the connection is not SQLite's.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

// Checks the bank at path as connection() does; success when it can be used.
StoreError check(const QString &path);

// Closes the connection (a test before it removes its folder). Record sets that
// are still open reconnect on their next use.
void closeConnection();

// Grows whenever the connection is opened anew; record sets compare it to know
// that their prepared statements belong to a closed connection.
quint64 connectionSerial();

// The path of the open connection, or empty.
QString connectedPath();

// Holders of prepared statements register a function that drops them; it runs just
// before the connection closes.
void addCloseListener(const void *owner, std::function<void()> drop);
void removeCloseListener(const void *owner);

// Called once for each bank opened through a symbolic link into another folder, with
// the bank's path and the file the link leads to (a window tells the user).
// A step that readies a bank file before its first connection and may rewrite it, such
// as turning a user's Access 2000 bank into an SQLite one. Installed by the layer that
// knows the other formats (JetBank::install); none by default.
void setPreparer(std::function<StoreError(const QString &bank)> prepare);

void setLinkNotice(std::function<void(const QString &bank, const QString &target)> notice);

// Whether the bank at path was opened and has since been deleted or replaced by
// another file. The next connection() opens the file that is there now.
bool isGone(const QString &path);

// Quotes a name as one SQL identifier: in double quotes, inner quotes doubled.
// A dot stays inside the name (never read as schema.table).
QString quoteName(const QString &name);

// The error for a failure SQLite reported with result code `code` and text `text`
// on the bank at path: a bank that cannot be written, is damaged, is busy in another
// copy or has no room left gets a message that says so and names the file; anything
// else is Engine with SQLite's text.
StoreError engineError(int code, const QString &text, const QString &path);

// Another bank to read from, never written: a copy of the file at path (and of its
// write-ahead log, when there is one) is made in folder and opened there, so nothing
// is created beside the file itself. The connection keeps its temporary storage in
// memory, and its statements stop once `milliseconds` have passed since it was opened
// (a read without end ends there). A path that is no regular file
// (or link to one), or a file over `limit` bytes, is refused with *reason.
QSqlDatabase openCopy(const QString &path, const QString &folder, const QString &connection,
    qint64 limit, int milliseconds, QString *reason);

// Whether name is a plain table of the connection's database (no view, no virtual table).
bool isPlainTable(QSqlDatabase &db, const QString &name);

// Writes a new bank holding only "分类列表" with its field 分类, and no rows.
// Refuses (BankExists) when anything exists at path.
StoreError createFreshBank(const QString &path);

} // namespace BankFile
