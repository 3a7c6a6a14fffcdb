#include "bank/store/jetbank.h"

#include "bank/store/bankfile.h"
#include "bank/store/catalogue.h"
#include "bank/store/jetreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mdbtools.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

JetBank::Observer *g_observer = nullptr;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray fsName(const QString &path)
{
    return QFile::encodeName(path);
}

StoreError refused(StoreError::Number number, const QString &bank, const QString &what)
{
    return StoreError(number, QStringLiteral("题库文件“%1”%2").arg(native(bank), what));
}

// Why a conversion could not be written; the original is untouched in every case.
StoreError notWritten(const QString &bank, StoreError::Number number, const QString &why)
{
    return refused(number, bank,
        QStringLiteral(
            "是 Access 2000 格式的数据库，要先转换为新格式才能使用，但%1。原文件没有改动。")
            .arg(why));
}

StoreError readOnlyFolder(const QString &bank)
{
    return notWritten(bank, StoreError::BankReadOnly, QStringLiteral("它所在的文件夹不能写入"));
}

StoreError fromErrno(const QString &bank, int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return readOnlyFolder(bank);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return notWritten(bank, StoreError::Engine, QStringLiteral("磁盘已满"));
    default:
        return notWritten(bank, StoreError::Engine,
            QStringLiteral("写入时出错（%1）").arg(QString::fromLocal8Bit(std::strerror(error))));
    }
}

StoreError damaged(const QString &bank, const QString &why)
{
    return refused(StoreError::NotABank, bank,
        QStringLiteral("是 Access 2000 格式的数据库，但已经损坏（%1），无法转换。原文件没有改动。")
            .arg(why));
}

StoreError unsupported(const QString &bank, JetBank::Format format)
{
    if (format == JetBank::Format::Jet3)
        return refused(StoreError::JetUnsupported, bank,
            QStringLiteral("是 Access 97 格式的数据库，本程序只能转换 Access 2000 格式的题库。"
                           "请先在 Access 里把它转换为 Access 2000 格式。"));
    return refused(StoreError::JetUnsupported, bank,
        QStringLiteral(
            "是 Access 2007 或更新版本格式的数据库，本程序只能转换 Access 2000 格式的题库。"
            "请先在 Access 里把它另存为 Access 2000 格式。"));
}

// The SQLite type a Jet field becomes. Double keeps its own name, so that the store
// does not take it for a Single; whole numbers and flags are INTEGER.
QString sqlType(int jetType)
{
    switch (jetType) {
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
        return QStringLiteral("TEXT");
    case MDB_FLOAT:
        return QStringLiteral("REAL");
    case MDB_DOUBLE:
        return QStringLiteral("DOUBLE");
    case MDB_BOOL:
        return QStringLiteral("BOOLEAN");
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return QStringLiteral("INTEGER");
    case MDB_MONEY:
        return QStringLiteral("CURRENCY");
    case MDB_NUMERIC:
        return QStringLiteral("NUMERIC");
    case MDB_DATETIME:
        return QStringLiteral("DATETIME");
    default:
        return QStringLiteral("BLOB");
    }
}

// Holds an flock on the bank file while it is the file at its path.
class Turn
{
public:
    ~Turn()
    {
        if (m_fd >= 0)
            ::close(m_fd); // lets the lock go
    }
    // False when there is no file at path (any more).
    bool take(const QString &path)
    {
        const QByteArray name = fsName(path);
        for (;;) {
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
            if (m_fd < 0)
                return false;
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) { }
            struct stat held, now;
            if (::fstat(m_fd, &held) == 0 && ::stat(name.constData(), &now) == 0
                && held.st_dev == now.st_dev && held.st_ino == now.st_ino)
                return true;
            // Another converter renamed its new bank over the path meanwhile.
            ::close(m_fd);
            m_fd = -1;
        }
    }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

QByteArray headerOf(int fd)
{
    QByteArray head(0x20, '\0');
    const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
    head.truncate(n > 0 ? n : 0);
    return head;
}

bool syncPath(const QString &path, bool directory)
{
    const int fd
        = ::open(fsName(path).constData(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The new bank, written through SQLite's C interface into a file of its own. It is
// not the bank yet, so it needs no journal: a failure or a kill leaves a file that the
// next conversion removes.
class NewBank
{
public:
    explicit NewBank(const QString &path)
        : m_path(path)
    { }
    ~NewBank()
    {
        sqlite3_finalize(m_insert);
        if (m_db)
            sqlite3_close(m_db);
    }

    bool open()
    {
        return sqlite3_open_v2(fsName(m_path).constData(), &m_db,
                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            == SQLITE_OK
            && exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
    }

    bool create(const JetReader::Table &table)
    {
        QStringList columns;
        for (const JetReader::Column &c : table.columns)
            columns << BankFile::quoteName(c.name) + u' ' + sqlType(c.type);
        if (!exec(QStringLiteral("CREATE TABLE %1 (%2)")
                      .arg(BankFile::quoteName(table.name), columns.join(QStringLiteral(", ")))
                      .toUtf8()))
            return false;
        QStringList marks;
        for (qsizetype i = 1; i <= table.columns.size(); ++i)
            marks << QStringLiteral("?%1").arg(i);
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
        const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                   .arg(BankFile::quoteName(table.name), marks.join(u','))
                                   .toUtf8();
        return sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_insert, nullptr)
            == SQLITE_OK;
    }

    bool insert(const QVariantList &values)
    {
        for (int i = 0; i < values.size(); ++i) {
            const QVariant &v = values.at(i);
            switch (v.typeId()) {
            case QMetaType::UnknownType:
                sqlite3_bind_null(m_insert, i + 1);
                break;
            case QMetaType::Double:
                sqlite3_bind_double(m_insert, i + 1, v.toDouble());
                break;
            case QMetaType::LongLong:
                sqlite3_bind_int64(m_insert, i + 1, v.toLongLong());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = v.toByteArray();
                sqlite3_bind_blob64(
                    m_insert, i + 1, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QString text = v.toString();
                sqlite3_bind_text16(m_insert, i + 1,
                    text.isNull() ? static_cast<const void *>(u"") : text.utf16(),
                    int(text.size() * 2), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        const bool ok = sqlite3_step(m_insert) == SQLITE_DONE;
        sqlite3_reset(m_insert);
        return ok;
    }

    bool commit()
    {
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
        if (!exec("COMMIT"))
            return false;
        const bool closed = sqlite3_close(m_db) == SQLITE_OK;
        m_db = nullptr;
        return closed;
    }

    // The error of the last failing step, for the user.
    StoreError error(const QString &bank) const
    {
        const int code = m_db ? sqlite3_errcode(m_db) & 0xff : SQLITE_CANTOPEN;
        const int sysError = m_db ? sqlite3_system_errno(m_db) : EACCES;
        switch (code) {
        case SQLITE_FULL:
            return fromErrno(bank, ENOSPC);
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            return readOnlyFolder(bank);
        case SQLITE_IOERR:
            return fromErrno(bank, sysError ? sysError : EIO);
        default:
            return notWritten(bank, StoreError::Engine,
                QStringLiteral("写入时出错（%1）").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
        }
    }

private:
    bool exec(const QByteArray &sql)
    {
        return sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    QString m_path;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
};

StoreError writeBank(
    JetReader &reader, const QString &temp, const QString &bank, JetBank::Conversion *conversion)
{
    NewBank out(temp);
    if (!out.open())
        return out.error(bank);
    const QList<JetReader::Table> &tables = reader.tables();
    for (int t = 0; t < tables.size(); ++t) {
        if (tables[t].columns.isEmpty())
            continue; // Jet has no table without fields; SQLite could not hold one
        if (!out.create(tables[t]))
            return out.error(bank);
        bool written = true;
        if (!reader.readRows(t, [&](const QVariantList &row) {
                written = out.insert(row);
                conversion->rows += written;
                return written;
            }))
            return damaged(bank, reader.problem());
        if (!written)
            return out.error(bank);
        if (g_observer)
            g_observer->progress(t + 1);
    }
    if (!out.commit())
        return out.error(bank);
    conversion->tables = int(tables.size());
    conversion->replaced = reader.replaced();
    return {};
}

// Copies the open file fd to a new file at path, synced; errno set on failure.
bool copyWhole(int fd, const QString &path)
{
    const int out = ::open(fsName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
        return false;
    char buffer[1 << 16];
    off_t at = 0;
    bool ok = true;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n == 0)
            break;
        if (n < 0 || ::write(out, buffer, size_t(n)) != n) {
            ok = false;
            break;
        }
        at += n;
    }
    ok = ok && ::fsync(out) == 0;
    const int saved = errno;
    ::close(out);
    errno = saved;
    return ok;
}

// Keeps the original under a free name, as a hard link or else a whole copy. A name
// that already holds this very file (a conversion killed before it finished) is used
// again.
QString keepOriginal(const QString &bank, int fd, StoreError *error)
{
    struct stat own;
    ::fstat(fd, &own);
    const QString copying = bank + QStringLiteral(".copying");
    for (int n = 1; n < 1000; ++n) {
        QString kept = bank + QStringLiteral(".access2000");
        if (n > 1)
            kept += QStringLiteral(".%1").arg(n);
        const QByteArray name = fsName(kept);
        struct stat there;
        if (::lstat(name.constData(), &there) == 0) {
            if (there.st_dev == own.st_dev && there.st_ino == own.st_ino)
                return kept;
            continue;
        }
        if (::link(fsName(bank).constData(), name.constData()) == 0)
            return kept;
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS) {
            *error = fromErrno(bank, errno);
            return {};
        }
        // No hard links on this file system: a copy, whole before it gets its name.
        if (!copyWhole(fd, copying)) {
            *error = fromErrno(bank, errno);
            ::unlink(fsName(copying).constData());
            return {};
        }
        if (::renameat2(
                AT_FDCWD, fsName(copying).constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE)
            == 0)
            return kept;
        if (errno == EEXIST) {
            ::unlink(fsName(copying).constData());
            continue;
        }
        if ((errno == EINVAL || errno == ENOSYS) && ::lstat(name.constData(), &there) != 0
            && ::rename(fsName(copying).constData(), name.constData()) == 0)
            return kept;
        *error = fromErrno(bank, errno);
        ::unlink(fsName(copying).constData());
        return {};
    }
    *error = notWritten(bank, StoreError::Engine, QStringLiteral("找不到保存原文件的空闲名称"));
    return {};
}

void removeLeftovers(const QString &bank)
{
    for (const char *suffix : { ".converting", ".converting-journal", ".copying" })
        ::unlink(fsName(bank + QLatin1String(suffix)).constData());
}

// Opens the Jet file at bank for conversion: a bank of the program's tables, every one of
// which can keep its name.
StoreError openBank(JetReader &reader, const QString &bank)
{
    if (!reader.open(bank))
        return damaged(bank, reader.problem());
    bool hasList = false;
    for (const JetReader::Table &t : reader.tables()) {
        hasList = hasList || t.name == BankNames::categoryList();
        if (t.name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            return refused(StoreError::ReservedName, bank,
                QStringLiteral("里的表名“%1”在新格式里是保留的名称，无法转换。原文件没有改动。")
                    .arg(t.name));
    }
    if (!hasList)
        return refused(StoreError::NoCategoryList, bank,
            QStringLiteral(
                "是 Access 2000 格式的数据库，但里面没有“分类列表”表，不是题库。原文件没有改动。"));
    return {};
}

StoreError convertHeld(const QString &bank, int fd, JetBank::Conversion *conversion)
{
    const QString temp = bank + QStringLiteral(".converting");
    removeLeftovers(bank);

    // Jet files are whole pages; a shorter tail is a file cut off.
    struct stat own;
    if (::fstat(fd, &own) != 0 || own.st_size % MDB_PGSIZE != 0)
        return damaged(bank, QStringLiteral("文件不完整"));
    JetReader reader;
    if (StoreError error = openBank(reader, bank))
        return error;

    if (g_observer)
        g_observer->started(bank, int(reader.tables().size()));
    StoreError error = writeBank(reader, temp, bank, conversion);
    if (!error && !syncPath(temp, false))
        error = fromErrno(bank, errno);
    QString kept;
    if (!error)
        kept = keepOriginal(bank, fd, &error);
    if (!error && ::rename(fsName(temp).constData(), fsName(bank).constData()) != 0)
        error = fromErrno(bank, errno);
    if (error) {
        ::unlink(fsName(temp).constData());
        return error;
    }
    syncPath(QFileInfo(bank).absolutePath(), true);
    conversion->bank = bank;
    conversion->keptAs = kept;
    return {};
}

} // namespace

namespace JetBank {

Format format(const QByteArray &header)
{
    static const QByteArray start("\x00\x01\x00\x00", 4);
    static const QByteArray jet("Standard Jet DB\0", 16);
    static const QByteArray ace("Standard ACE DB\0", 16);
    if (header.size() <= 0x14 || !header.startsWith(start))
        return Format::Other;
    const QByteArray magic = header.mid(4, 16);
    if (magic != jet && magic != ace)
        return Format::Other;
    switch (quint8(header.at(0x14))) {
    case 0:
        return Format::Jet3;
    case 1:
        return Format::Jet4;
    default:
        return Format::Ace;
    }
}

Format formatOf(const QString &path)
{
    // Opened without blocking (a FIFO put in the bank's place even after a check would
    // block a plain open), and read only when it is a regular file.
    const int fd = ::open(fsName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Format::Other;
    struct stat info;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const Format found = regular ? format(headerOf(fd)) : Format::Other;
    ::close(fd);
    return found;
}

void setObserver(Observer *observer)
{
    g_observer = observer;
}

StoreError convertIfJet(const QString &path, Conversion *converted)
{
    const QString bank = QFileInfo(path).absoluteFilePath();
    Format found = formatOf(bank);
    if (found == Format::Other)
        return {};
    if (found != Format::Jet4)
        return unsupported(bank, found);

    Turn turn;
    if (!turn.take(bank))
        return {};
    found = format(headerOf(turn.fd()));
    if (found == Format::Other)
        return {}; // converted by another copy of the program while this one waited
    if (found != Format::Jet4)
        return unsupported(bank, found);

    Conversion conversion;
    const StoreError error = convertHeld(bank, turn.fd(), &conversion);
    if (g_observer)
        g_observer->finished(error ? nullptr : &conversion);
    if (!error && converted)
        *converted = conversion;
    return error;
}

} // namespace JetBank

namespace JetBank {

StoreError convertCopy(const QString &jetFile, const QString &bank)
{
    const QString source = QFileInfo(jetFile).absoluteFilePath();
    const Format found = formatOf(source);
    if (found != Format::Jet4)
        return unsupported(source, found);
    JetReader reader;
    if (StoreError error = openBank(reader, source))
        return error;
    Conversion conversion;
    return writeBank(reader, bank, source, &conversion);
}

} // namespace JetBank
