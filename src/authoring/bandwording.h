#pragma once

#include "scoring/bandcheck.h"

#include <QString>

// What the band check found, in the words the score editor and the check window show.
namespace BandCheck {

// One line for the indicator: "覆盖完整", "2 处缺口，1 处重叠", ...
QString summary(const Check &check);
// The whole check as lines of text; at most `maxItems` ranges of each kind are listed
// (the rest counted), none with a negative value.
QString detail(const Check &check, int maxItems = -1);

} // namespace BandCheck
