// music.ini may hold anything: a file from another system, a damaged or huge one.
#include "music/musicini.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = MusicIni::decode(bytes);
    const QString line = text.section(u'\n', 0, 0).remove(u'\r');
    const QString path = MusicIni::resolve(line);
    // Only the shipped piece's own line is turned into another path.
    if (line != QString::fromUtf16(MusicIni::kShippedPiece) && path != line)
        __builtin_trap();
    return 0;
}
