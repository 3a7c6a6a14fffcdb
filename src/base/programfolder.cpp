#include "base/programfolder.h"

#include "base/safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace {

QString &redirected()
{
    static QString folder;
    return folder;
}

bool writableFolder(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// The per-user folder of an installed copy, given the shipped copies of the bank and
// the music setting on first use. Nothing there is ever overwritten.
QString userFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    const QString shipped = shippedFolder();
    for (const char *name : { "test.mdb", "music.ini" }) {
        const QString target = QDir(folder).filePath(QLatin1String(name));
        const QString source = QDir(shipped).filePath(QLatin1String(name));
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        QString reason;
        if (const auto bytes = readFile(source, qint64(1) << 30, &reason);
            bytes && replaceFile(target, *bytes, &reason))
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    return folder;
}

QString resolvedFolder()
{
    const QString own = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(QDir(own).filePath(QStringLiteral("test.mdb"))) && writableFolder(own))
        return own;
    if (shippedFolder().isEmpty())
        return own;
    return userFolder();
}

} // namespace

QString shippedFolder()
{
    const QString own = QCoreApplication::applicationDirPath();
    for (const QString &candidate : { QDir(own).filePath(QStringLiteral("../share/qelvi")), own }) {
        if (QFileInfo::exists(QDir(candidate).filePath(QStringLiteral("test.mdb"))))
            return QDir::cleanPath(candidate);
    }
    return {};
}

QString programFolder()
{
    if (!redirected().isEmpty())
        return redirected();
    static const QString folder = resolvedFolder();
    return folder;
}

void setProgramFolder(const QString &folder)
{
    redirected() = folder;
}

QString programFile(const QString &name)
{
    const QString path = QDir(programFolder()).filePath(name);
    // Only the read-only shipped files are read from the installation; the bank and
    // the settings are always the user's own.
    const bool readOnlyShipped
        = name == QLatin1String("gaoshanls.mp3") || name == QLatin1String("nosars.gif");
    if (readOnlyShipped && redirected().isEmpty() && !QFileInfo::exists(path)) {
        const QString shipped = shippedFolder();
        if (!shipped.isEmpty() && QFileInfo::exists(QDir(shipped).filePath(name)))
            return QDir(shipped).filePath(name);
    }
    return path;
}
