#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &redirected()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!redirected().isEmpty())
        return redirected();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString &folder)
{
    redirected() = folder;
}

QString programFile(const QString &name)
{
    return QDir(programFolder()).filePath(name);
}
