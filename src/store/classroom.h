#pragma once

#include "store/storeerror.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// The classroom of a bank that keeps one (a server bank): who the user is there, which
// tests the takers see, and the results the bank scores and keeps itself. The bank file
// keeps none: there everybody may do everything and no result is handed in.
namespace Classroom {

enum class Role {
    Author, // writes tests, publishes them, reads every result
    Taker, // takes the published tests, hands in and reads his own results only
};

// One test as the classroom sees it.
struct TestState
{
    qint64 id = 0;
    QString category;
    QString test;
    bool published = false;
    bool anonymous = false;
    qint64 version = 0; // raised by every stored change of its questions or bands
};

// What a result is handed in for: the test and the version its answers were given to.
// Empty (test 0) for a bank that scores nothing itself.
struct Key
{
    qint64 test = 0;
    qint64 version = 0;
    QString bank; // the server bank's location it is handed in to
    bool isEmpty() const { return test == 0; }
};

// What the bank made of a result handed in.
struct Scored
{
    float total = 0;
    QString evaluation;
    int band = 0; // 1, 2, ... the band that held the total; 0 for none
};

// A result kept by the bank.
struct Result
{
    qint64 id = 0; // grows with every result kept
    QString test;
    qint64 version = 0;
    QString taker; // empty for an anonymous test
    QDateTime takenAt; // invalid for an anonymous test, which keeps the day only
    QDate day;
    QString answers; // the chosen option of every question in order, "A" .. "F"
    float total = 0;
    QString evaluation;
    int band = 0;
};

// The published tests of a server bank as they were when a taker last connected, kept
// for taking them while the server cannot be reached: a bank file of their own in the
// program folder, and beside it (".keys") the server and the key of each test. A result
// taken there is handed in to that server, for that version.
QString snapshotPath(const QString &server);
// The server the bank file at path is a snapshot of; empty for any other bank.
QString snapshotServer(const QString &path);
// Keeps the keys of the snapshot at path: the server's published tests (of tests).
StoreError keepSnapshotKeys(
    const QString &path, const QString &server, const QList<TestState> &tests);

// The user's role in the bank at location; Author for the bank file, Taker for a snapshot.
StoreError role(const QString &location, Role *role);

// Every test in the order of its category, then its own.
StoreError tests(const QString &location, QList<TestState> *tests);
StoreError setPublished(const QString &location, const QString &test, bool published);
StoreError setAnonymous(const QString &location, const QString &test, bool anonymous);

// The key results of the test are handed in with now; empty for the bank file, and for
// a test that is not published. A snapshot gives the key it was taken with.
StoreError key(const QString &location, const QString &test, Key *key);

// Hands in a finished run (answers as in Result) once: the same submission again gets
// the result kept for it. A test changed since the key was taken is VersionChanged, a
// refusal of the answers HandInRefused, a server out of reach ServerUnreachable.
StoreError handIn(const QString &location, const QString &submission, const Key &key,
    const QString &answers, Scored *scored);

// The results kept with an id above after, oldest first, at most limit of them: every
// result for an author, his own for a taker.
StoreError results(const QString &location, qint64 after, int limit, QList<Result> *results);

} // namespace Classroom
