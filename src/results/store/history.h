#pragma once

#include "bank/store/storeerror.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The results history: every finished test, kept in an SQLite file of its own
// (results.db beside the bank, never in the bank itself), with its own connection.
//
// Each call opens the file, does its work in one transaction and closes it again, so a
// file that goes read-only, fills its disk or is damaged costs only that one call, and
// two copies of the program on one folder wait for each other. Failures come back as
// values whose message names the file; nothing here shows a message.
namespace Results {

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

class History
{
public:
    explicit History(const QString &path);

    QString path() const { return m_path; }

    // Appends the record and its answers in one transaction (creating the file when
    // there is none) and sets record->id. On failure nothing of it is stored.
    StoreError append(Record *record) const;

    // Every record with its answers, newest first (by the time taken, then by the
    // order stored). No file yet means no records; the file is not created.
    QList<Record> records(StoreError *error = nullptr) const;

    // Removes the records with these ids and their answers, all or none. Ids that
    // are not stored are passed over.
    StoreError remove(const QList<qint64> &ids) const;

private:
    QString m_path;
};

} // namespace Results
