#pragma once

#include "store/results/history.h"
#include "store/storeerror.h"

#include <QList>
#include <QString>
#include <optional>

// The test being taken, kept answer by answer in the results history's file so that a
// test cut short by a crash or a power cut can be continued. One unfinished run per
// test: the version of the test it was answered on and the option chosen for each of
// its first questions.
namespace Results {

struct Unfinished
{
    QString version; // the test's questions, options and scores as they were, in short
    QList<int> options; // 0 = A .. 5 = F, for questions 1, 2, ... in order
};

class Progress
{
public:
    explicit Progress(const QString &path);

    // The unfinished run of the test, or nothing (no file, none kept, or a file that
    // cannot be read: *error tells the last apart).
    std::optional<Unfinished> load(const QString &test, StoreError *error = nullptr) const;

    // Keeps the answer to one question in one transaction (creating the file when there
    // is none), replacing an earlier answer to it; the run takes the given version.
    //
    // The answers of a run come one a click, so the connection they are written on stays
    // open from one to the next (one for the process, to the file last kept into) with
    // the file in write-ahead-log mode: a committed answer is in the system's hands when
    // keep() returns, which a killed or crashed program cannot undo, without a wait for
    // the disk at every click (see progress.cpp for what a power cut may cost). A keep
    // that fails closes it, so the next one opens the file afresh; so does a file that
    // is no longer the one at the path (set aside, replaced).
    StoreError keep(const QString &test, const QString &version, int question, int option) const;

    // Closes the connection keep() holds, putting the file back into its rollback-journal
    // mode when no other connection has it open. The runner lets it go when the run ends
    // or the window closes; forget() does too.
    static void release();

    // Forgets the test's unfinished run.
    StoreError forget(const QString &test) const;

    // The same inside a transaction of the history (the finished test's record).
    StoreError forgetIn(QSqlDatabase &db, const QString &test) const;

private:
    History m_file;
};

} // namespace Results
