#pragma once

#include <QString>

// The folder that holds the program and every file it reads or writes: the bank,
// the hand-off files, the music setting, the default piece and the animation.
// Tests point it at a temporary folder with setProgramFolder().
QString programFolder();
void setProgramFolder(const QString &folder);

// The path of a file in the program folder.
QString programFile(const QString &name);
