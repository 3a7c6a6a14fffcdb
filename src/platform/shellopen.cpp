#include "platform/shellopen.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
ScriptedShell *scripted = nullptr;
}

ScriptedShell::ScriptedShell(bool result)
    : result(result)
{
    scripted = this;
}

ScriptedShell::~ScriptedShell()
{
    if (scripted == this)
        scripted = nullptr;
}

bool shellOpen(const QString &target)
{
    if (scripted) {
        scripted->opened << target;
        return scripted->result;
    }
    return QDesktopServices::openUrl(QUrl(target));
}
