#include "store/bankfile.h"

#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

const QString kConnection = QStringLiteral("qelvi-bank");

// Which file a path names: a bank deleted or replaced under the program is another
// file, even at the same path.
struct Identity
{
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity &) const = default;
};

std::optional<Identity> identityOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return Identity { info.st_dev, info.st_ino };
}

struct State
{
    QString path; // absolute path of the open connection, empty when closed
    Identity file; // the file the connection has open
    quint64 serial = 0;
    QHash<const void *, std::function<void()>> closeListeners;
    std::function<void(const QString &, const QString &)> linkNotice;
    std::function<StoreError(const QString &)> prepare;
    QSet<QString> linksTold; // "bank\ntarget" pairs already told
};

State &state()
{
    static State s;
    return s;
}

QString absolute(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

StoreError fileProblem(StoreError::Number number, const QString &path, const QString &problem)
{
    return StoreError(number, QStringLiteral("题库文件“%1”%2").arg(nativePath(path), problem));
}

// SQLite's own words, on a line of their own after the reason.
QString detailLine(const QString &text)
{
    return text.isEmpty() ? QString() : QStringLiteral("\n详细信息：") + text;
}

// Whether an SQLite error says the file is no database (SQLITE_NOTADB).
bool notADatabase(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String("26")
        || error.databaseText().contains(QLatin1String("not a database"));
}

// Checks an open connection: a database, and one that holds "分类列表".
StoreError checkOpened(QSqlDatabase &db, const QString &path)
{
    QSqlQuery q(db);
    const bool prepared = q.prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"));
    if (prepared)
        q.addBindValue(QStringLiteral("分类列表"));
    if (!prepared || !q.exec() || !q.next()) {
        const QSqlError error = q.lastError();
        if (notADatabase(error))
            return fileProblem(
                StoreError::NotABank, path, QStringLiteral("不是题库文件，或者已经损坏。"));
        return fileProblem(StoreError::BankUnreadable, path,
            QStringLiteral("无法读取。") + detailLine(error.databaseText()));
    }
    const bool hasList = q.value(0).toInt() > 0;
    q.finish();
    if (!hasList)
        return fileProblem(
            StoreError::NoCategoryList, path, QStringLiteral("里没有“分类列表”表。"));
    return {};
}

// Refuses a path that is no readable regular file (a FIFO, device, socket or folder
// included: nothing is opened that could block), before anything reads it.
StoreError checkFile(const QString &path)
{
    QString reason;
    const std::optional<DatabaseFile> file = databaseFile(path, &reason);
    if (file && !file->exists)
        return fileProblem(StoreError::BankMissing, path, QStringLiteral("不存在。"));
    if (!file)
        return fileProblem(StoreError::BankUnreadable, path, reason + u'。');
    if (!QFileInfo(path).isReadable())
        return fileProblem(
            StoreError::BankUnreadable, path, QStringLiteral("无法读取：没有读取权限。"));
    return {};
}

// A bank reached through a symbolic link to another folder is opened, and the user
// told once where the bank really is.
void tellLink(const QString &path)
{
    State &s = state();
    const QString target = linkIntoOtherFolder(path);
    if (target.isEmpty() || !s.linkNotice)
        return;
    const QString key = path + u'\n' + target;
    if (s.linksTold.contains(key))
        return;
    s.linksTold.insert(key);
    s.linkNotice(path, target);
}

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void closeOpen()
{
    State &s = state();
    if (s.path.isEmpty() && !QSqlDatabase::contains(kConnection))
        return;
    const auto listeners = s.closeListeners;
    for (const auto &drop : listeners)
        drop();
    {
        QSqlDatabase db = QSqlDatabase::database(kConnection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
    s.path.clear();
}

} // namespace

namespace BankFile {

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QSqlDatabase connection(const QString &path, StoreError *error)
{
    State &s = state();
    const QString wanted = absolute(path);
    if (!s.path.isEmpty() && s.path == wanted) {
        QSqlDatabase db = QSqlDatabase::database(kConnection, false);
        // Still the file that was opened: a deleted or replaced bank is opened anew.
        if (db.isOpen() && identityOf(wanted) == s.file)
            return db;
    }
    closeOpen();

    // A user's Access 2000 bank becomes an SQLite bank before its first connection.
    StoreError problem = checkFile(wanted);
    if (!problem)
        problem = s.prepare ? s.prepare(wanted) : StoreError {};
    if (!problem)
        problem = checkFile(wanted);
    const std::optional<Identity> file = identityOf(wanted);
    if (!problem) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        // mode=rw: SQLite must not create the file when it vanished since the check.
        db.setDatabaseName(
            QUrl::fromLocalFile(wanted).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            problem = fileProblem(StoreError::BankUnreadable, wanted,
                QStringLiteral("无法打开。") + detailLine(db.lastError().databaseText()));
        } else {
            problem = checkOpened(db, wanted);
        }
        if (!problem) {
            s.path = wanted;
            s.file = file.value_or(Identity {});
            ++s.serial;
            tellLink(wanted);
            if (error)
                *error = {};
            return db;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
    if (error)
        *error = problem;
    return {};
}

StoreError check(const QString &path)
{
    StoreError error;
    connection(path, &error);
    return error;
}

void closeConnection()
{
    closeOpen();
}

quint64 connectionSerial()
{
    return state().serial;
}

QString connectedPath()
{
    return state().path;
}

void addCloseListener(const void *owner, std::function<void()> drop)
{
    state().closeListeners.insert(owner, std::move(drop));
}

void removeCloseListener(const void *owner)
{
    state().closeListeners.remove(owner);
}

void setPreparer(std::function<StoreError(const QString &bank)> prepare)
{
    state().prepare = std::move(prepare);
}

void setLinkNotice(std::function<void(const QString &bank, const QString &target)> notice)
{
    state().linkNotice = std::move(notice);
}

bool isGone(const QString &path)
{
    const State &s = state();
    const QString wanted = absolute(path);
    return !s.path.isEmpty() && s.path == wanted && identityOf(wanted) != s.file;
}

QString quoteName(const QString &name)
{
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

StoreError engineError(int code, const QString &text, const QString &path)
{
    // SQLite sees a deleted bank as read-only (or as an I/O error): say what happened.
    const int primary = code & 0xff;
    if (primary != 5 && primary != 6 && primary != 13 && isGone(path))
        return fileProblem(StoreError::BankMissing, path,
            identityOf(path) ? QStringLiteral("已经被换成了另一个文件，修改没有保存。"
                                              "请关闭这个窗口再打开，使用新的题库。")
                             : QStringLiteral("已经被删除或者移走了，修改没有保存。"));
    switch (code & 0xff) { // the primary result code
    case 3: // SQLITE_PERM
    case 8: // SQLITE_READONLY: the file, or its folder (no room for the journal)
    case 14: // SQLITE_CANTOPEN: the journal cannot be made beside the file
        return fileProblem(StoreError::BankReadOnly, path,
            QStringLiteral("不能写入（文件或它所在的文件夹是只读的），修改没有保存。"));
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return fileProblem(
            StoreError::NotABank, path, QStringLiteral("不是题库文件，或者已经损坏。"));
    case 10: // SQLITE_IOERR
        return fileProblem(StoreError::BankUnreadable, path,
            QStringLiteral("读写出错，修改没有保存。") + detailLine(text));
    case 13: // SQLITE_FULL
        return fileProblem(
            StoreError::Engine, path, QStringLiteral("所在的磁盘已满，修改没有保存。"));
    case 5: // SQLITE_BUSY, after the busy timeout
    case 6: // SQLITE_LOCKED
        return fileProblem(StoreError::Engine, path,
            QStringLiteral("正被另一个程序使用，修改没有保存。请稍后再试。"));
    default:
        return StoreError(StoreError::Engine, QStringLiteral("题库出错。") + detailLine(text));
    }
}

QSqlDatabase openCopy(const QString &path, const QString &folder, const QString &connection,
    qint64 limit, int milliseconds, QString *reason)
{
    const std::optional<QByteArray> bytes = readFile(path, limit, reason);
    if (!bytes)
        return {};
    const QString copy = QDir(folder).filePath(QStringLiteral("source.db"));
    if (!replaceFile(copy, *bytes, reason))
        return {};
    // Committed changes a write-ahead log still holds belong to the bank as it is read.
    QString walReason;
    if (const auto wal = readFile(path + QStringLiteral("-wal"), limit, &walReason);
        wal && !replaceFile(copy + QStringLiteral("-wal"), *wal, reason))
        return {};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(copy);
    if (!db.open()) {
        *reason = QStringLiteral("无法打开");
        return {};
    }
    QSqlQuery(db).exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA query_only = ON"));
    if (sqlite3 *raw = sqliteHandle(db)) {
        // The deadline travels as the handler's argument: nothing to keep alive.
        const auto deadline = std::intptr_t(steadyMs() + milliseconds);
        sqlite3_progress_handler(
            raw, 10000,
            [](void *data) { return steadyMs() > reinterpret_cast<std::intptr_t>(data) ? 1 : 0; },
            reinterpret_cast<void *>(deadline));
    }
    return db;
}

bool isPlainTable(QSqlDatabase &db, const QString &name)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return false;
    return !q.value(0).toString().trimmed().startsWith(
        QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
}

StoreError createFreshBank(const QString &path)
{
    const QString wanted = absolute(path);
    if (QFileInfo::exists(wanted))
        return fileProblem(StoreError::BankExists, wanted, QStringLiteral("已经存在。"));
    const QString name = QStringLiteral("qelvi-fresh-bank");
    StoreError result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(wanted);
        if (!db.open()) {
            result = fileProblem(StoreError::BankUnreadable, wanted,
                QStringLiteral("无法建立。") + detailLine(db.lastError().databaseText()));
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("CREATE TABLE %1 (%2 TEXT)")
                            .arg(quoteName(QStringLiteral("分类列表")),
                                quoteName(QStringLiteral("分类"))))) {
                result = fileProblem(StoreError::Engine, wanted,
                    QStringLiteral("无法建立。") + detailLine(q.lastError().databaseText()));
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace BankFile
