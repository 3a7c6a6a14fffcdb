#pragma once

#include "store/server/pgconnection.h"

#include <QString>

// The server bank this copy of the program works on: one connection, opened when the
// user connects (or at start, from the remembered choice) and kept while the program
// runs. Callers pass its location around as they pass the bank file's path, so every
// window reaches either bank through the same verbs.
//
// A location is a "postgresql://" text (libpq's own URI form) naming the service or
// host, port, database and user; it never holds a password.
namespace ServerSession {

// The location of the server bank at address.
QString location(const PgAddress &address);
// Whether location names a server bank; *address gets its settings (the timeouts keep
// their defaults).
bool parse(const QString &location, PgAddress *address);

// Connects to the server bank at address and makes it this process's one server bank,
// closing any other once it is up; when it fails, the one open before stays open. The
// password is kept in memory only, by libpq, for reconnecting.
PgError open(const PgAddress &address, const QString &password = QString());
// Closes the server bank's connection (the user went back to the bank file).
void close();

// The open connection to the bank at location, or nullptr when none is open there.
PgConnection *connection(const QString &location);
// The same, connected again first when the connection broke (the windows are then told
// to read again, as anything may have changed meanwhile); nullptr with *error when no
// connection is open there or it cannot be had again now.
PgConnection *ready(const QString &location, QString *error);
// The open server bank's location, or empty.
QString current();

// Lets the store open locations of this kind through the server backend. Once, at start.
void install();

} // namespace ServerSession
