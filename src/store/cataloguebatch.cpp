// The import: many categories, tests and rows in one transaction.
#include "store/catalogue.h"

#include "store/bankbackend.h"
#include "store/cataloguesteps.h"

namespace Catalogue {

StoreError inOneTransaction(const QString &bank, const std::function<StoreError(Batch &)> &work)
{
    return Steps::inTransaction(bank, [&](BankBackend &b) {
        Batch batch(b);
        return work(batch);
    });
}

StoreError Batch::createCategory(const QString &category)
{
    if (const StoreError e = Steps::checkLength(category))
        return e;
    return Steps::createCategoryIn(m_bank, category);
}

StoreError Batch::createTest(const QString &test, const QString &category)
{
    if (const StoreError e = Steps::checkLength(test))
        return e;
    return Steps::createTestIn(m_bank, test, category);
}

bool Batch::isCategory(const QString &category, StoreError *error)
{
    std::optional<qint64> row;
    if (const StoreError e
        = m_bank.firstRow(BankNames::categoryList(), BankNames::categoryField(), category, &row))
        *error = e;
    return row.has_value();
}

StoreError Batch::appendRows(const QString &table, int fieldCount, qsizetype rowCount,
    const std::function<void(qsizetype row, Field *fields)> &fill)
{
    return m_bank.appendRows(table, fieldCount, rowCount, fill);
}

} // namespace Catalogue
