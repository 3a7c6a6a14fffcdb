#include "base/currentbank.h"

#include "base/programfolder.h"

namespace {

// Empty while the bank file is open: the file's path follows the program folder.
QString &chosen()
{
    static QString location;
    return location;
}

} // namespace

QString currentBank()
{
    return chosen().isEmpty() ? fileBank() : chosen();
}

QString fileBank()
{
    return programFile(QStringLiteral("test.mdb"));
}

void setCurrentBank(const QString &location)
{
    const QString next = location == fileBank() ? QString() : location;
    if (next == chosen())
        return;
    chosen() = next;
    emit CurrentBank::notifier()->changed(currentBank());
}

CurrentBank *CurrentBank::notifier()
{
    static CurrentBank one;
    return &one;
}
