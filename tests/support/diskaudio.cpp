#include "support/diskaudio.h"

#include <QFile>
#include <QFileInfo>

DiskAudio::DiskAudio()
    : m_output(m_dir.filePath(QStringLiteral("mixed.raw")))
{
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
}

qint64 DiskAudio::mark() const
{
    return QFileInfo(m_output).size() & ~qint64(3);
}

std::optional<QByteArray> DiskAudio::since(qint64 mark) const
{
    QFile file(m_output);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(mark))
        return std::nullopt;
    return file.readAll();
}
