#pragma once

#include "store/recordset.h"

#include <QString>

// What a clash between two copies left unstored when nobody was there to answer (the
// program ending on a logout or a signal): the bank keeps its stored texts, and this
// copy's texts go to a text file beside the bank, named to the user at the next start.
namespace Unsaved {

// The text file beside the bank that collects such texts; for a server bank, in the
// program folder.
QString filePath(const QString &bank);

// Appends this copy's texts of a changed record (table, the record's name, the clash)
// to the file beside the bank and marks it to be told at the next start.
bool keep(const QString &bank, const QString &table, const QString &record,
    const Recordset::Conflict &conflict);

// The message for texts kept since the program last started, once; empty when none.
QString takeNotice(const QString &bank);

} // namespace Unsaved
