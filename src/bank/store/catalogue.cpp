#include "bank/store/catalogue.h"

namespace BankNames {
QString categoryList() { return QStringLiteral("分类列表"); }
QString categoryField() { return QStringLiteral("分类"); }
QString testField() { return QStringLiteral("测试"); }
QString scoringTable(const QString &test) { return test + QStringLiteral("评分"); }
QString questionField() { return QStringLiteral("题目"); }
QString optionField(int option) { return QStringLiteral("选项") + QChar(u'A' + option); }
QString scoreField(int option) { return optionField(option) + QStringLiteral("分数"); }
QString lowerField() { return QStringLiteral("分数下限"); }
QString upperField() { return QStringLiteral("分数上限"); }
QString evaluationField() { return QStringLiteral("评价"); }
TableDef categoryTable(const QString &category) { return { category, { { testField(), FieldType::Memo } } }; }
TableDef questionTable(const QString &test)
{
    TableDef t { test, {} };
    t.append(questionField(), FieldType::Memo);
    for (int i = 0; i < 6; ++i) {
        t.append(optionField(i), FieldType::Text);
        t.append(scoreField(i), FieldType::Single);
    }
    return t;
}
TableDef scoringTableDef(const QString &test)
{
    TableDef t { scoringTable(test), {} };
    t.append(lowerField(), FieldType::Single);
    t.append(upperField(), FieldType::Single);
    t.append(evaluationField(), FieldType::Memo);
    return t;
}
} // namespace BankNames

namespace Catalogue {
StoreError createTable(const QString &, const TableDef &) { return {}; }
StoreError renameTable(const QString &, const QString &, const QString &) { return {}; }
StoreError dropTable(const QString &, const QString &) { return {}; }
QStringList tables(const QString &, StoreError *) { return {}; }
bool hasTable(const QString &, const QString &) { return false; }
QList<FieldDef> fields(const QString &, const QString &, StoreError *) { return {}; }
StoreError createCategory(const QString &, const QString &) { return {}; }
StoreError renameCategory(const QString &, const QString &, const QString &) { return {}; }
StoreError deleteCategory(const QString &, const QString &) { return {}; }
StoreError createTest(const QString &, const QString &, const QString &) { return {}; }
StoreError renameTest(const QString &, const QString &, const QString &, const QString &) { return {}; }
StoreError deleteTest(const QString &, const QString &, const QString &) { return {}; }
} // namespace Catalogue
