#pragma once

#include "formats/package.h"

#include <QStringList>

// The kinds of file a test can be imported from, told by the file's ending.
namespace Exchange {

// The file dialog's filter list ("description|patterns|…").
QString importFilter();
QString exportFilter();

// Reads the file at path: a test file (*.txt), a spreadsheet (*.csv, *.tsv, the test
// named after the file), a survey export (*.lss) or another bank (*.mdb, *.db, *.sqlite).
// `notes` gets what was read but not brought over. On failure returns an empty
// package and sets *error to one sentence naming the file.
Package readFile(const QString &path, QStringList *notes, QString *error);

// The score bands of a spreadsheet's test, from a band sheet of their own (评分表).
// On failure returns none and sets *error to one sentence naming the file.
QList<Band> readBandFile(const QString &path, QString *error);

// Writes a test file (whole, on disk, then in place of the old one); false with *error when it
// cannot be written.
bool writeFile(const QString &path, const Package &package, QString *error);

} // namespace Exchange
