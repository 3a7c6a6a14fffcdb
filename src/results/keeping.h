#pragma once

#include "bank/store/storeerror.h"
#include "results/store/history.h"

// Where the results history of the program folder is, and what the runner needs to
// keep a finished test in it.
namespace Keeping {

// results.db in the program folder.
QString historyPath();

// The category whose table lists the test (the first one in the category list), or
// empty when none does. Only reads the bank.
QString categoryOf(const QString &bank, const QString &test);

// Appends the record to the history of the program folder; alsoDo runs in the same
// transaction.
StoreError keep(Results::Record *record, const Results::History::Work &alsoDo = {});

} // namespace Keeping
