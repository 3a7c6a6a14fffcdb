#include "store/results/keeping.h"

#include "base/programfolder.h"
#include "store/catalogue.h"
#include "store/recordset.h"

namespace Keeping {

QString historyPath()
{
    return programFile(QStringLiteral("results.db"));
}

QString categoryOf(const QString &bank, const QString &test)
{
    Recordset list;
    if (list.open(bank, BankNames::categoryList()))
        return {};
    const QStringList categories = list.column(BankNames::categoryField());
    list.release();
    for (const QString &category : categories) {
        Recordset tests;
        // A category row whose table is gone lists nothing.
        if (tests.open(bank, category))
            continue;
        const bool listed = tests.column(BankNames::testField()).contains(test);
        tests.release();
        if (listed)
            return category;
    }
    return {};
}

StoreError keep(Results::Record *record, const Results::History::Work &alsoDo)
{
    const StoreError error = Results::History(historyPath()).append(record, alsoDo);
    if (!error)
        emit notifier()->kept(*record);
    return error;
}

Notifier *notifier()
{
    static Notifier one;
    return &one;
}

} // namespace Keeping
