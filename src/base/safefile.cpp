#include "base/safefile.h"

#include "base/filereason.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason()
{
    return fileErrorReason(QString::fromLocal8Bit(std::strerror(errno)));
}

const QString kNotAFile = QStringLiteral("不是普通文件");

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The fallback of a folder that cannot take a new file: the existing regular file,
// never a link, is written in place. The room is taken first, so a full disk leaves
// the old content as it was.
bool writeInPlace(const QByteArray &name, const QByteArray &bytes, QString *reason)
{
    const int fd = ::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason = fd < 0 ? systemReason() : kNotAFile;
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    int room = bytes.isEmpty() ? 0 : ::posix_fallocate(fd, 0, off_t(bytes.size()));
    if (room == EOPNOTSUPP || room == EINVAL)
        room = 0; // a file system that cannot reserve: written as it comes
    errno = room;
    const bool ok = room == 0 && writeAll(fd, bytes) && ::ftruncate(fd, off_t(bytes.size())) == 0
        && ::fsync(fd) == 0;
    if (!ok)
        *reason = systemReason();
    if (::close(fd) != 0 && ok) {
        *reason = systemReason();
        return false;
    }
    return ok;
}

// The folder's own entry of a renamed file reaches the disk too.
void syncFolderOf(const QByteArray &name)
{
    QByteArray copy = name;
    const int fd = ::open(::dirname(copy.data()), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool isRegularFile(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

// The one reader of bytes: opened without waiting, a regular file only, never more than
// `limit` bytes. A larger file is refused (refuseLarger) or read up to the bound.
std::optional<QByteArray> readBounded(
    const QString &path, qint64 limit, bool refuseLarger, QString *reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno == ENOENT ? QStringLiteral("文件不存在") : systemReason();
        return std::nullopt;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason
            = S_ISDIR(st.st_mode) ? fileErrorReason(QStringLiteral("Is a directory")) : kNotAFile;
        ::close(fd);
        return std::nullopt;
    }
    const auto tooBig = [&] {
        *reason = limit >= (1 << 20) ? QStringLiteral("文件超过 %1 MB").arg(limit >> 20)
                                     : QStringLiteral("文件超过 %1 字节").arg(limit);
    };
    if (refuseLarger && st.st_size > limit) {
        tooBig();
        ::close(fd);
        return std::nullopt;
    }
    // Refused, one byte more than the bound tells a file that grew meanwhile.
    const qint64 cap = refuseLarger ? limit + 1 : limit;
    QByteArray bytes(qMin(qint64(st.st_size) + 1, cap), Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got >= cap)
                break;
            bytes.resize(qMin(cap, got * 2 + 4096));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *reason = systemReason();
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (refuseLarger && got > limit) {
        tooBig();
        return std::nullopt;
    }
    bytes.truncate(got);
    return bytes;
}

} // namespace

std::optional<QByteArray> readFile(const QString &path, qint64 limit, QString *reason)
{
    return readBounded(path, limit, true, reason);
}

std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit)
{
    QString reason;
    return readBounded(path, limit, false, &reason);
}

bool replaceFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *reason = fileErrorReason(QStringLiteral("Is a directory"));
        return false;
    }
    QByteArray temp = name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        if ((errno == EACCES || errno == EROFS || errno == EPERM) && isRegularFile(path))
            return writeInPlace(name, bytes, reason);
        *reason = systemReason();
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int writeError = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written || ::rename(temp.constData(), name.constData()) != 0) {
        if (!written)
            errno = writeError;
        *reason = systemReason();
        ::unlink(temp.constData());
        return false;
    }
    syncFolderOf(name);
    return true;
}

std::optional<DatabaseFile> databaseFile(const QString &path, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return DatabaseFile {};
        *reason = systemReason();
        return std::nullopt;
    }
    const bool link = S_ISLNK(st.st_mode);
    if (link && ::stat(name.constData(), &st) != 0) {
        *reason = QStringLiteral("是一个链接，它指向的文件不存在");
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        *reason
            = S_ISDIR(st.st_mode) ? fileErrorReason(QStringLiteral("Is a directory")) : kNotAFile;
        return std::nullopt;
    }
    return DatabaseFile { true, link ? linkIntoOtherFolder(path) : QString() };
}

QString linkIntoOtherFolder(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return {};
    const QString target = info.canonicalFilePath();
    // Compared as the system sees both folders (the folder may be reached through a
    // link of its own).
    if (QFileInfo(target).absolutePath() == QFileInfo(info.absolutePath()).canonicalFilePath())
        return {};
    return target;
}
