#pragma once

#include "store/storeerror.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class QSqlDatabase;
class QSqlError;

// The results history: every finished test, kept in an SQLite file of its own
// (results.db beside the bank, never in the bank itself), with its own connection.
//
// Each call opens the file, does its work in one transaction and closes it again, so a
// file that goes read-only, fills its disk or is damaged costs only that one call, and
// two copies of the program on one folder wait for each other. Failures come back as
// values whose message names the file; nothing here shows a message.
//
// Only a regular file, or a link to one, is opened (a FIFO or device in its place is
// refused, never waited on); a file that holds other tables than the history's is not
// written into. A damaged history is moved aside (results.db.damaged, numbered when
// taken, with its journal) and a new one started: the notice says so once.
namespace Results {

// Receives what the user is to be told once: a history set aside, a history reached
// through a link into another folder.
void setNotice(std::function<void(const QString &text)> notice);

// One answered question.
struct Answer
{
    int question = 0; // 1, 2, ... in the order asked
    QString questionText;
    QString option; // "A" .. "F"
    QString optionText;
    QString score; // the score that was added, as decimal text
};

// One finished test.
struct Record
{
    qint64 id = 0; // given when the record is stored
    QDateTime takenAt;
    QString test;
    QString category; // empty when no category lists the test any more
    QString total; // as the result text shows it
    QString evaluation;
    QString resultText; // exactly as the result window showed it
    QList<Answer> answers;
    // What the result was scored on, kept since results name it; empty in older records.
    QString bank; // the bank's file, as an absolute path
    QString version; // the test's fingerprint (TestVersion::of) when it was taken
    QString taker; // the name or code the taker gave, empty when none was asked or given
    int band = 0; // 1, 2, ... the band that held the total; 0 for none or not known
};

// One record on a chart: when it was taken, in milliseconds since the epoch, and its
// total.
struct Total
{
    qint64 at = 0;
    double total = 0;
};

class History
{
public:
    explicit History(const QString &path);

    QString path() const { return m_path; }

    using Work = std::function<StoreError(QSqlDatabase &)>;

    // Appends the record and its answers in one transaction (creating the file when
    // there is none) and sets record->id. On failure nothing of it is stored. `alsoDo`
    // runs in the same transaction: its failure stores nothing either.
    StoreError append(Record *record, const Work &alsoDo = {}) const;
    // Appends many records in one transaction, all or none, setting their ids.
    StoreError appendAll(QList<Record> *records, const Work &alsoDo = {}) const;

    // Every record with its answers, newest first (by the time taken, then by the
    // order stored). No file yet means no records; the file is not created.
    QList<Record> records(StoreError *error = nullptr) const;
    // The same for the records of one test (every record when test is empty).
    QList<Record> recordsOf(const QString &test, StoreError *error = nullptr) const;

    // What a list of many records reads. The ids of the records of one test (every
    // record when test is empty), newest first as above.
    QList<qint64> ids(const QString &test, StoreError *error = nullptr) const;
    // The same for the records one taker gave that name or code for (every taker when
    // taker is empty).
    QList<qint64> ids(const QString &test, const QString &taker, StoreError *error = nullptr) const;
    // The records of these ids, in that order, without their result text and answers;
    // ids that are not stored are passed over.
    QList<Record> listed(const QList<qint64> &ids, StoreError *error = nullptr) const;
    // The totals of one test's records, oldest first (by the time taken, then by the
    // order stored), read in one pass for its chart: of one version when version is not
    // empty, of every version when it is.
    QList<Total> totals(
        const QString &test, const QString &version = {}, StoreError *error = nullptr) const;
    // One record with its answers; id 0 when it is not stored.
    Record record(qint64 id, StoreError *error = nullptr) const;
    // Every test that has a record, each once, in no particular order.
    QStringList tests(StoreError *error = nullptr) const;
    // Every name or code given by a taker of the test (of any test when test is empty),
    // each once, in no particular order.
    QStringList takers(const QString &test = {}, StoreError *error = nullptr) const;

    // Removes the records with these ids and their answers, all or none. Ids that
    // are not stored are passed over.
    StoreError remove(const QList<qint64> &ids) const;

    // For the file's other tables: runs work in one write transaction (creating the
    // file when there is none).
    StoreError write(const Work &work) const;
    // A failed statement's error, naming the file as every failure here does.
    StoreError failure(const QSqlError &error) const;

private:
    StoreError appendOnce(Record *record, const Work &alsoDo) const;

    QString m_path;
};

} // namespace Results
