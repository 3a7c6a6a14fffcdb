#pragma once

#include <QString>

// The folder that holds the program's files: the bank, the hand-off files, the music
// setting, the default piece and the animation.
//
// A copy run from a folder of its own (the build folder, a USB stick) keeps them beside
// the executable. An installed copy, whose executable's folder holds no bank or cannot
// be written, keeps them in the user's data folder (~/.local/share/qelvi), which is
// stocked on first use with copies of the shipped bank and music setting; the shipped
// read-only files (default piece, animation) are then read where they were installed.
// Tests point it at a temporary folder with setProgramFolder().
QString programFolder();
void setProgramFolder(const QString &folder);

// The path of a file in the program folder. For the read-only shipped files (the
// default piece and the animation) it is the installed copy when the program folder
// has none.
QString programFile(const QString &name);

// Where the shipped files were installed (share/qelvi beside bin/), or empty.
QString shippedFolder();
