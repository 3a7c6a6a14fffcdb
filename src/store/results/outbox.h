#pragma once

#include "store/classroom.h"
#include "store/results/history.h"
#include "store/storeerror.h"

#include <QHash>
#include <QList>
#include <QString>

// Results to hand in to a server bank, kept in the results history's file beside the
// record of each, so that none is lost while the server cannot be reached: each one
// waits until it is handed in, once (its submission id makes a second hand-in of it
// find the first), and then says what became of it.
namespace Results::Outbox {

enum class State {
    Waiting, // not handed in yet
    Sent, // scored by the server, to the total the runner showed
    Changed, // the test changed on the server since it was begun: kept here, not scored
    Refused, // the server does not take its answers
    Differs, // scored by the server to another total than the runner showed
};

struct Entry
{
    QString submission; // a random UUID, made once for the finished run
    qint64 record = 0; // the history's record of it
    QString bank; // the server bank's location
    QString test;
    Classroom::Key key;
    QString answers; // "A" .. "F" for every question in order
    QString total; // as the runner showed it
    State state = State::Waiting;
    QString message; // what the server said, for every state but Waiting and Sent
};

// A fresh entry for a finished run: a new submission id, waiting.
Entry entryFor(const QString &bank, const QString &test, const Classroom::Key &key,
    const QString &answers, const QString &total);

// Puts the entry for *record into the outbox, in the transaction that keeps the record
// (History::append's alsoDo).
History::Work put(const Entry &entry, const Record *record);

// The entries of these records (of every record when ids is empty), by record.
QHash<qint64, Entry> entries(
    const QString &path, const QList<qint64> &records = {}, StoreError *error = nullptr);

// Hands in one entry (not kept anywhere) and says what became of it; the error, and the
// entry still Waiting, when the server could not be reached or refused the call itself.
StoreError handInOne(Entry *entry);

// Whether anything was ever put into the outbox.
bool any(const QString &path);

// What one round of handing in did.
struct Round
{
    int sent = 0;
    int waiting = 0; // still waiting (the server could not be reached)
    QList<Entry> ended; // handed in but not Sent: Changed, Refused or Differs
    StoreError error; // why they still wait, or why the history could not be read
};

// Hands in every entry for the bank that waits, oldest first, and keeps what became
// of each (told to Keeping's notifier as handedIn). Stops at the first that cannot reach the
// server: the rest wait with it.
Round handIn(const QString &path, const QString &bank);

// How the history window names the state.
QString stateText(State state);

} // namespace Results::Outbox
