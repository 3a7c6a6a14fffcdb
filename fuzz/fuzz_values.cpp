// The value rules read scores, bounds and totals typed by users or stored in the bank.
#include "base/valuerules.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const double v = val(text);
    if (!std::isfinite(v))
        __builtin_trap();
    double parsed = 0;
    if (parseNumber(text, &parsed)) {
        // The shortest texts read back as the same number.
        if (std::isfinite(parsed) && val(doubleText(parsed)) != parsed)
            __builtin_trap();
        const float single = float(parsed);
        if (std::isfinite(single) && float(val(singleText(single))) != single)
            __builtin_trap();
    }
    return 0;
}
