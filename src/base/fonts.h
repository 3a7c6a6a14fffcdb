#pragma once

#include <QFont>

// The Chinese faces the windows are designed with (SimSun, LiSu, FZShuTi, ...) are
// mapped to an installed CJK face when the system lacks them.
void installFontSubstitutes();

// A font by face name and point size, as the windows are designed.
QFont designFont(const QString &face, double points, bool bold = false);
