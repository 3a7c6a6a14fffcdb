// The MIDI length reader takes whatever bytes a file holds.
#include "platform/midilength.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto ms
        = midiLengthMs(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (ms && *ms < 0)
        __builtin_trap();
    return 0;
}
