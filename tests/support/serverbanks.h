#pragma once

#include "store/server/pgconnection.h"

#include <QHash>
#include <QString>

// The suite's own PostgreSQL cluster (tests/server/pgcluster.sh), for the tests that run
// once on the bank file and once more on a server bank: a test program started with
// QELVI_TEST_SERVER naming the cluster's facts runs its banks on the server.
namespace ServerBanks {

// The facts the cluster's start wrote (socket, port, dbname, the roles' names); none,
// with *reason, when they cannot be read.
QHash<QString, QString> readFacts(const QString &path, QString *reason);
// Whether this run's banks are server banks.
bool enabled();
// The cluster's address for one of its roles ("admin", "author", "other").
PgAddress at(const QString &role);
// Empties the server bank and opens it as this copy's bank (as the author); its location.
QString openEmpty();
// A second copy of the program, as another author, for changes made elsewhere.
PgConnection &otherCopy();

} // namespace ServerBanks
