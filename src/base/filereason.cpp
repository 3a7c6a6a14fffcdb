#include "base/filereason.h"

#include <QFileDevice>

QString fileErrorReason(const QString &systemText)
{
    // The system's texts (strerror) and the toolkit's own for the same cases.
    static const struct
    {
        const char *text;
        const char *reason;
    } reasons[] = {
        { "No such file or directory", "文件或文件夹不存在" },
        { "Permission denied", "没有访问权限" },
        { "Operation not permitted", "没有访问权限" },
        { "Is a directory", "这是一个文件夹，不是文件" },
        { "Filename refers to a directory", "这是一个文件夹，不是文件" },
        { "file to open is a directory", "这是一个文件夹，不是文件" },
        { "No space left on device", "磁盘已满" },
        { "Disk quota exceeded", "磁盘已满" },
        { "Read-only file system", "磁盘是只读的" },
        { "File too large", "文件超过了系统允许的大小" },
        { "Input/output error", "读写出错（磁盘或设备出了故障）" },
        { "Too many levels of symbolic links", "链接套了太多层" },
        { "Not a directory", "路径中有一段不是文件夹" },
        { "File name too long", "文件名太长" },
    };
    for (const auto &r : reasons)
        if (systemText.contains(QLatin1String(r.text), Qt::CaseInsensitive))
            return QString::fromUtf8(r.reason);
    return systemText;
}

QString fileErrorReason(const QFileDevice &file)
{
    return fileErrorReason(file.errorString());
}
