// Whatever keys reach a score box, the filter lets through only what a score may hold,
// and what the box then holds is stored as a single-precision number or refused.
#include "authoring/keyfilter.h"
#include "base/valuerules.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString box;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const int code = int(int16_t(uint16_t(data[i] | (data[i + 1] << 8))));
        const int passed = numericKeyFilter(code);
        if (passed == 0)
            continue;
        if (passed > 26 && !QStringLiteral("0123456789.-").contains(QChar(passed)))
            __builtin_trap();
        if (passed == 8)
            box.chop(1);
        else if (passed > 26)
            box.append(QChar(passed));
    }
    double value = 0;
    if (parseNumber(box, &value)) {
        const float single = float(value);
        if (std::isfinite(single) && float(val(singleText(single))) != single)
            __builtin_trap();
    }
    return 0;
}
