#pragma once

#include <QJsonObject>
#include <QString>

// The Access 2000 banks of tests/data/access2000 and their manifests (each .json lists
// every table, field and row of its .mdb; a Single as the exact double it widens to).
namespace AccessBanks {

// A file of tests/data/access2000; a missing one ends the test with its name.
QString fixture(const QString &file);
QString path(const QString &name); // "sample2000" -> .../sample2000.mdb
QJsonObject manifest(const QString &name);

// Copies a fixture into a folder under the given file name (writable, like a user's).
bool copyTo(const QString &name, const QString &file);

// Compares the whole SQLite bank at bank with a manifest: every table in order, its
// fields and their types (Text and Memo as TEXT, Single as REAL), every row and value,
// NULL apart from text, Singles by their bits. Returns the first difference, or empty.
QString compare(const QString &bank, const QJsonObject &manifest);

} // namespace AccessBanks
