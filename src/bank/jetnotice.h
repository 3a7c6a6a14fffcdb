#pragma once

#include <QString>

namespace JetBank {
struct Conversion;
}

// What the user sees of the conversion of an Access 2000 bank: a progress dialog when
// it takes more than half a second, and once it is done the one message that says
// what happened and where the original is kept.
void installConversionNotice();

// The message for a finished conversion.
QString conversionMessage(const JetBank::Conversion &conversion);

// A bank opened through a symbolic link into another folder: told once, once the window
// that opened it has done so, where the bank really is. The results history's notices
// are shown the same way.
void installLinkNotice();
QString linkMessage(const QString &bank, const QString &target);
