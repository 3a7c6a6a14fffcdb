#pragma once

#include "forms/controls.h"
#include "store/storeerror.h"

class QLineEdit;

// Pieces the category, new-test and chooser windows share.

// A large square button of these windows, its picture above the caption, at its place.
PictureButton *bankButton(
    const QString &caption, const QString &picture, const QRect &geometry, QWidget *parent);

class Data;
class QWidget;

// The open bank: the bank file of the program folder, or the server bank connected to.
QString bankPath();

// A box for a category's or a test's name. It takes a pasted text whole, however long,
// so that the name check sees (and reports) the name as the user gave it.
QLineEdit *nameBox(QWidget *parent);

// Points both bindings at the bank and lists the categories in `categories`; a bank
// that cannot be read is reported. `chosen` is for the table of one category.
void openBank(Data *categories, Data *chosen);

// Tells the user about a failure of the bank itself (file missing or broken, the
// engine refusing); a refused name or a missing row is the window's own business and
// passes silently here. Returns whether a message was shown.
bool reportBankFault(const StoreError &error);

// A name the store refused: a taken one is told with `taken`, a reserved one or one
// with a control character with the store's own words, and the focus goes back to the
// name box; an empty one passes silently; a failure of the bank itself is reported as
// such.
void reportNameRefused(const StoreError &error, const QString &taken, QWidget *nameBox);

// A confirmed action that found its category or its test no longer in the bank
// (renamed or deleted in another window since the lists were read): tells the user
// which one is gone. Returns whether that was the failure; the window then reads its
// lists again.
bool reportGone(const StoreError &error, const QString &category);
