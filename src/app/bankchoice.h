#pragma once

#include "store/server/pgconnection.h"

#include <QString>
#include <functional>

// Which bank the program works on: the bank file, or a server bank the user connected
// to. The choice (the server's location, never a password) is kept in bank.ini of the
// program folder and taken up again at the next start.
namespace BankChoice {

// Closes every window that holds the open bank, each committing or asking as when the
// program ends; false when one stays open, and the bank is not changed. The main window
// sets it.
void setWindowCloser(std::function<bool()> closer);

// Makes the server bank at address the open bank. The windows on the bank file close once
// the server has answered, those on another server bank before (its connection goes when
// this one opens); when one stays open, nothing changes. A server that cannot be had
// leaves the bank open before as it was, a server bank too. When the server asks for a
// password, the user is asked for it; libpq keeps it in memory for reconnecting, nothing
// else does. A failure is told in one message naming the server. Returns whether the
// server bank is open now.
bool connectServer(const PgAddress &address);

// Goes back to the bank file, after the windows on the server bank closed; false when
// one stays open.
bool useFile();

// Opens the snapshot of a server bank's published tests (for taking them while the
// server cannot be reached), after the windows on the open bank closed; false when one
// stays open. The server stays the remembered choice.
bool useSnapshot(const QString &path);
// At start: connects the remembered server bank, if any; when that fails, the message
// names the server and says that the bank file is open instead.
void restore();

// The remembered location: a server bank's, or empty for the bank file.
QString remembered();

// What the main window's caption adds for the open bank: empty for the bank file.
QString captionFor(const QString &location);

// A server bank's address as the messages name it ("本机:5432/qelvi"); empty for the
// bank file.
QString serverName(const QString &location);

} // namespace BankChoice
