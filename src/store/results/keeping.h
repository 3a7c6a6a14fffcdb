#pragma once

#include "store/results/history.h"
#include "store/storeerror.h"

#include <QObject>

// Where the results history of the program folder is, and what the runner needs to
// keep a finished test in it.
namespace Keeping {

// results.db in the program folder.
QString historyPath();

// The category whose table lists the test (the first one in the category list), or
// empty when none does. Only reads the bank.
QString categoryOf(const QString &bank, const QString &test);

// Appends the record to the history of the program folder; alsoDo runs in the same
// transaction. A record kept is told to the notifier's listeners (the history window).
StoreError keep(Results::Record *record, const Results::History::Work &alsoDo = {});

class Notifier : public QObject
{
    Q_OBJECT

signals:
    void kept(const Results::Record &record);
    // Results waiting in the outbox were handed in (or refused): their state changed.
    void handedIn();
};
Notifier *notifier();

} // namespace Keeping
