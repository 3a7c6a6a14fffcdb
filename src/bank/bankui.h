#pragma once

#include "app/controls.h"
#include "bank/store/storeerror.h"

// Pieces the category, new-test and chooser windows share.

// A large square button of these windows, its picture above the caption, at its place.
PictureButton *bankButton(
    const QString &caption, const QString &picture, const QRect &geometry, QWidget *parent);

// The bank file of the program folder.
QString bankPath();

// Tells the user about a failure of the bank itself (file missing or broken, the
// engine refusing); a refused name or a missing row is the window's own business and
// passes silently here. Returns whether a message was shown.
bool reportBankFault(const StoreError &error);
