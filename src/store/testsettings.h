#pragma once

#include "store/storeerror.h"

#include <QSqlDatabase>
#include <QString>

// Settings an author gives a test beyond its questions and bands, kept in the bank in a
// table of their own. Its name holds a control character, which no category or test
// name may hold, so it can never be a user's table; a bank without it (every older
// bank) gives every test the settings a test has always had.
namespace TestSettings {

// The table's name.
QString table();

// Whether the taker may go back to an earlier question of the test. False when the
// bank holds no setting for it, and when the bank cannot be read. Only reads the bank.
bool goingBackAllowed(const QString &bank, const QString &test);

// Stores the setting in one transaction, creating the table when needed.
StoreError allowGoingBack(const QString &bank, const QString &test, bool allowed);

// Inside a catalogue transaction: the settings follow a test that is renamed, and go
// with one that is deleted. Nothing to do in a bank without the table.
StoreError renameIn(QSqlDatabase &db, const QString &from, const QString &to);
StoreError dropIn(QSqlDatabase &db, const QString &test);

// The bank file's side of the two above, on its connection.
namespace File {
    bool goingBackAllowed(QSqlDatabase &db, const QString &test);
    StoreError allowGoingBack(QSqlDatabase &db, const QString &test, bool allowed);
} // namespace File

} // namespace TestSettings
