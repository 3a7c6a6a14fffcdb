#include "platform/safefile.h"

#include "platform/filereason.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason()
{
    return fileErrorReason(QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The fallback of a folder that cannot take a new file: the existing regular file,
// never a link, is written in place.
bool writeInPlace(const QByteArray &name, const QByteArray &bytes, QString *reason)
{
    const int fd
        = ::open(name.constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason = systemReason();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok)
        *reason = systemReason();
    ::close(fd);
    return ok;
}

} // namespace

bool isRegularFile(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.resize(qMin<qint64>(limit, qMax<qint64>(st.st_size, 0)));
    qint64 got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    return bytes;
}

bool replaceFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
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
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written || ::rename(temp.constData(), name.constData()) != 0) {
        if (!written)
            errno = writeError;
        *reason = systemReason();
        ::unlink(temp.constData());
        return false;
    }
    return true;
}
