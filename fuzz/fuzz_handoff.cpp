// The hand-off file readers take whatever bytes a file holds.
#include "forms/handoff.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto code = HandOff::parseModeCode(bytes)) {
        // A code read back is written and read again unchanged.
        if (HandOff::parseModeCode(HandOff::modeCodeBytes(*code)) != code)
            __builtin_trap();
    }
    if (const auto name = HandOff::parseTestName(bytes)) {
        if (!name->contains(u'\n') && !name->contains(u'\r')
            && HandOff::parseTestName(HandOff::testNameBytes(*name)) != name)
            __builtin_trap();
    }
    return 0;
}
