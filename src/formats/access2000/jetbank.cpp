#include "formats/access2000/jetbank.h"

#include "formats/access2000/jetreader.h"
#include "formats/access2000/newbank.h"
#include "store/bankfile.h"
#include "store/catalogue.h"

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

using namespace JetConversion;

JetBank::Observer *g_observer = nullptr;

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
        // The rows go from the reader's buffer into the new bank as they are cracked.
        struct Counted final : JetReader::Rows
        {
            NewBank &out;
            qint64 &rows;
            bool written = true;
            Counted(NewBank &o, qint64 &r)
                : out(o)
                , rows(r)
            { }
            bool row(const JetReader::Value *values, int count) override
            {
                written = out.row(values, count);
                rows += written;
                return written;
            }
        } counted(out, conversion->rows);
        if (!reader.readRows(t, counted))
            return damaged(bank, reader.problem());
        if (!counted.written)
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

void install()
{
    BankFile::setPreparer([](const QString &bank) { return convertIfJet(bank); });
}

} // namespace JetBank
