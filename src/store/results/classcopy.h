#pragma once

#include "store/storeerror.h"

#include <QString>
#include <functional>

// The results a server bank kept for its class, copied into a history file of their own
// in the program folder, so that the history window lists, charts and exports them as
// it does the results of this copy of the program. Each result is copied once, in the
// order the server kept them; the server stays where they are kept (nothing deleted
// from the copy is deleted there).
namespace Results::ClassCopy {

// The copy's file for the server bank at bank.
QString pathFor(const QString &bank);

// The result text the result window shows for a total and its evaluation.
using TextOf = std::function<QString(float total, const QString &evaluation)>;

// Copies what the server kept since the copy was last brought up to date (what the
// user's role lets him read); *added says how many.
StoreError update(const QString &bank, const TextOf &resultText, int *added);

} // namespace Results::ClassCopy
