// The windows' actions on categories and tests, each in one transaction.
#include "store/catalogue.h"

#include "store/bankbackend.h"
#include "store/cataloguesteps.h"

namespace Catalogue::Steps {

StoreError createCategoryIn(BankBackend &bank, const QString &category)
{
    if (const StoreError e
        = createIn(bank, TableKind::Category, BankNames::categoryTable(category)))
        return e;
    return bank.appendRow(BankNames::categoryList(), BankNames::categoryField(), category);
}

StoreError createTestIn(BankBackend &bank, const QString &test, const QString &category)
{
    if (const StoreError e = createIn(bank, TableKind::Questions, BankNames::questionTable(test)))
        return e;
    if (const StoreError e = createIn(bank, TableKind::Scoring, BankNames::scoringTableDef(test)))
        return e;
    if (const StoreError e = needTable(bank, category))
        return e;
    return bank.appendRow(category, BankNames::testField(), test);
}

} // namespace Catalogue::Steps

namespace Catalogue {

using namespace Steps;

StoreError createCategory(const QString &bank, const QString &category)
{
    if (const StoreError e = checkLength(category))
        return e;
    return inTransaction(bank, [&](BankBackend &b) { return createCategoryIn(b, category); });
}

StoreError renameCategory(const QString &bank, const QString &from, const QString &to)
{
    if (const StoreError e = from == to ? StoreError() : checkLength(to))
        return e;
    return inTransaction(bank, [&](BankBackend &b) {
        if (const StoreError e = renameIn(b, TableKind::Category, from, to))
            return e;
        StoreError error;
        const auto row
            = firstRow(b, BankNames::categoryList(), BankNames::categoryField(), from, &error);
        if (!row)
            return error;
        return b.setField(BankNames::categoryList(), BankNames::categoryField(), *row, to);
    });
}

StoreError deleteCategory(const QString &bank, const QString &category)
{
    return inTransaction(bank, [&](BankBackend &b) {
        StoreError error;
        const auto row
            = firstRow(b, BankNames::categoryList(), BankNames::categoryField(), category, &error);
        if (!row)
            return error;
        bool exists = false;
        if (const StoreError e = b.hasTable(category, &exists))
            return e;
        if (exists) {
            qint64 count = 0;
            if (const StoreError e = b.rowCount(category, &count))
                return e;
            if (count > 0)
                return StoreError(StoreError::CategoryNotEmpty,
                    QStringLiteral("测试类“%1”里还有测试。").arg(category));
            if (const StoreError e = dropIn(b, TableKind::Category, category))
                return e;
        }
        return b.removeRow(BankNames::categoryList(), *row);
    });
}

StoreError createTest(const QString &bank, const QString &test, const QString &category)
{
    if (const StoreError e = checkLength(test))
        return e;
    return inTransaction(bank, [&](BankBackend &b) { return createTestIn(b, test, category); });
}

StoreError renameTest(
    const QString &bank, const QString &from, const QString &to, const QString &category)
{
    if (const StoreError e = from == to ? StoreError() : checkLength(to))
        return e;
    return inTransaction(bank, [&](BankBackend &b) {
        if (const StoreError e = renameIn(b, TableKind::Questions, from, to))
            return e;
        if (const StoreError e = renameIn(
                b, TableKind::Scoring, BankNames::scoringTable(from), BankNames::scoringTable(to)))
            return e;
        StoreError error;
        const auto row = firstRow(b, category, BankNames::testField(), from, &error);
        if (!row)
            return error;
        if (const StoreError e = b.renameSettings(from, to))
            return e;
        return b.setField(category, BankNames::testField(), *row, to);
    });
}

StoreError deleteTest(const QString &bank, const QString &test, const QString &category)
{
    return inTransaction(bank, [&](BankBackend &b) {
        StoreError error;
        const auto row = firstRow(b, category, BankNames::testField(), test, &error);
        if (!row)
            return error;
        const struct
        {
            TableKind kind;
            QString name;
        } tables[] = { { TableKind::Questions, test },
            { TableKind::Scoring, BankNames::scoringTable(test) } };
        for (const auto &table : tables) {
            bool exists = false;
            if (const StoreError e = b.hasTable(table.name, &exists))
                return e;
            if (exists) {
                if (const StoreError e = dropIn(b, table.kind, table.name))
                    return e;
            }
        }
        if (const StoreError e = b.dropSettings(test))
            return e;
        return b.removeRow(category, *row);
    });
}

} // namespace Catalogue
