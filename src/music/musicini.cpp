#include "music/musicini.h"

#include "base/filereason.h"
#include "base/programfolder.h"
#include "base/safefile.h"

#include <QFile>
#include <QStringDecoder>

namespace MusicIni {

namespace {
    QString iniPath()
    {
        return programFile(QStringLiteral("music.ini"));
    }
} // namespace

QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Qt's GBK decoder reports no errors worth trusting, so UTF-8 validity decides.
    QStringDecoder gbk("GBK");
    if (gbk.isValid())
        return gbk(bytes);
    return QString::fromLocal8Bit(bytes);
}

QString readPath()
{
    // Only the first line is read. One that runs on past any path a system allows
    // names no piece (read whole, a huge file would also become a huge label).
    constexpr qint64 kLineLimit = 64 * 1024;
    const QByteArray bytes = readRegularFile(iniPath(), kLineLimit + 1).value_or(QByteArray());
    // The line ends at CR or LF, so files edited on either system read alike; neither
    // byte occurs inside a UTF-8 or GBK character.
    qsizetype end = 0;
    while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
        ++end;
    if (end > kLineLimit)
        return {};
    return decode(bytes.left(end));
}

QString resolve(const QString &path)
{
    if (path == QStringView(kShippedPiece))
        return programFile(QStringLiteral("gaoshanls.mp3"));
    return path;
}

bool writePath(const QString &path, QString *reason)
{
    return replaceFile(iniPath(), path.toUtf8() + "\r\n", reason);
}

} // namespace MusicIni
