#pragma once

#include <QString>
#include <QStringList>

// Hands an address ("mailto:..." or a web address) to the user's own mail program
// or browser. Returns false when nothing could open it.
bool shellOpen(const QString &target);

// Stands in for the desktop while it exists: records the targets and answers with
// the given result.
class ScriptedShell
{
public:
    explicit ScriptedShell(bool result = true);
    ~ScriptedShell();
    ScriptedShell(const ScriptedShell &) = delete;
    ScriptedShell &operator=(const ScriptedShell &) = delete;

    QStringList opened;
    bool result;
};
