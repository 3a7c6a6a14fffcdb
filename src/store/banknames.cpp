// The names the bank is made of, and the rules every new name keeps.
#include "store/catalogue.h"
#include "store/cataloguesteps.h"

#include <algorithm>

namespace BankNames {

QString categoryList()
{
    return QStringLiteral("分类列表");
}
QString categoryField()
{
    return QStringLiteral("分类");
}
QString testField()
{
    return QStringLiteral("测试");
}
QString scoringTable(const QString &test)
{
    return test + QStringLiteral("评分");
}
QString questionField()
{
    return QStringLiteral("题目");
}
QString optionField(int option)
{
    return QStringLiteral("选项") + QChar(u'A' + option);
}
QString scoreField(int option)
{
    return optionField(option) + QStringLiteral("分数");
}
QString lowerField()
{
    return QStringLiteral("分数下限");
}
QString upperField()
{
    return QStringLiteral("分数上限");
}
QString evaluationField()
{
    return QStringLiteral("评价");
}

TableDef categoryTable(const QString &category)
{
    TableDef t { category, {} };
    t.append(testField(), FieldType::Memo);
    return t;
}

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

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

} // namespace

namespace Catalogue::Steps {

// A line break would also cut the name short in temp.txt.
StoreError checkNewName(BankBackend &bank, const QString &name, const QString &self)
{
    if (name.isEmpty())
        return StoreError(StoreError::EmptyName, QStringLiteral("名称不能为空。"));
    if (std::any_of(name.cbegin(), name.cend(), isControl))
        return StoreError(StoreError::InvalidName,
            QStringLiteral("名称里不能有换行符、制表符或其他控制字符，请重新输入。"));
    if (QString::fromUtf8(name.toUtf8()) != name)
        return StoreError(
            StoreError::InvalidName, QStringLiteral("名称“%1”含有无法保存的字符。").arg(name));
    if (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
        return StoreError(StoreError::ReservedName, QStringLiteral("“%1”是保留的名称。").arg(name));
    bool taken = false;
    if (const StoreError e = bank.nameTaken(name, self, &taken))
        return e;
    if (taken)
        return StoreError(StoreError::TableExists, QStringLiteral("名称“%1”已经存在。").arg(name));
    return {};
}

// A name given to a new or renamed category or test fits the lists, the title bars
// and the hand-off file. Longer names already in a bank stay usable; only a new one
// is refused, never cut.
StoreError checkLength(const QString &name)
{
    const qsizetype length = name.toUcs4().size();
    if (length <= Catalogue::kNameLimit)
        return {};
    return StoreError(StoreError::InvalidName,
        QStringLiteral("名称不能超过 %1 个字符（这个名称有 %2 个字符），请改短一些。")
            .arg(Catalogue::kNameLimit)
            .arg(length));
}

} // namespace Catalogue::Steps
