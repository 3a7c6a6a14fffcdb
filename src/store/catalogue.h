#pragma once

#include "store/storeerror.h"

#include <QByteArrayView>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

class BankBackend;

// The bank's list of tables, and the actions of the windows that create, rename and
// delete categories and tests. Every function takes the bank's location, the path of
// test.mdb (BankBackend::forLocation), and speaks to the bank through its backend.
//
// Names are used exactly as typed (blanks, quotes and dots included). A name is
// refused with TableExists (3010) when any table already has it, ASCII letter case
// ignored and "分类列表" included; with EmptyName, ReservedName ("sqlite_...") or
// InvalidName for names no table may have; with the store's own message otherwise.
// A refused action leaves the bank exactly as it was: each runs in one transaction.

// Field types of the bank. Memo and Text are stored as TEXT, Single as REAL
// (rounded to single precision when written).
enum class FieldType { Memo, Text, Single };

struct FieldDef
{
    QString name;
    FieldType type;
};

// A table description: its name and its fields in order.
struct TableDef
{
    QString name;
    QList<FieldDef> fields;

    void append(const QString &field, FieldType type) { fields.append({ field, type }); }
};

// The names the bank is made of.
namespace BankNames {
QString categoryList(); // "分类列表"
QString categoryField(); // "分类", the one field of "分类列表"
QString testField(); // "测试", the one field of a category table
QString scoringTable(const QString &test); // test + "评分"
QString questionField(); // "题目"
QString optionField(int option); // 0..5: "选项A" .. "选项F"
QString scoreField(int option); // 0..5: "选项A分数" .. "选项F分数"
QString lowerField(); // "分数下限"
QString upperField(); // "分数上限"
QString evaluationField(); // "评价"

TableDef categoryTable(const QString &category); // 测试 Memo
TableDef questionTable(const QString &test); // 题目, then 选项X / 选项X分数 for A..F
TableDef scoringTableDef(const QString &test); // 分数下限, 分数上限, 评价
} // namespace BankNames

namespace Catalogue {

// Low-level catalogue: one table at a time.
StoreError createTable(const QString &bank, const TableDef &table);
// Renaming to the same name does nothing; a change of letter case only is allowed.
StoreError renameTable(const QString &bank, const QString &from, const QString &to);
// NoSuchTable when there is none.
StoreError dropTable(const QString &bank, const QString &name);
// Every table of the bank in creation order; empty with *error set on failure.
QStringList tables(const QString &bank, StoreError *error = nullptr);
// Whether a table of exactly that name exists (letter case counts).
bool hasTable(const QString &bank, const QString &name);
// The fields of a table in order; empty with *error (NoSuchTable) when missing.
QList<FieldDef> fields(const QString &bank, const QString &table, StoreError *error = nullptr);

// The windows' actions, each in one transaction. A new name for a category or a test
// (created, or renamed to) longer than kNameLimit characters is refused with
// InvalidName and a message that states the limit; longer names a bank already holds
// stay usable under their own name.
inline constexpr qsizetype kNameLimit = 255;

// Table C with field 测试, and a row 分类 = C at the end of "分类列表".
StoreError createCategory(const QString &bank, const QString &category);
// Table C renamed to D with its rows, and the first row 分类 = C set to D.
// NotFound when "分类列表" has no row C.
StoreError renameCategory(const QString &bank, const QString &from, const QString &to);
// Drops table C and the first row 分类 = C. Refuses CategoryNotEmpty while C lists a
// test, NotFound without a row C; a row whose table is missing is removed.
StoreError deleteCategory(const QString &bank, const QString &category);

// Tables T (thirteen fields) and T评分 (three fields), and a row 测试 = T at the end
// of category table C. NoSuchTable when C does not exist.
StoreError createTest(const QString &bank, const QString &test, const QString &category);
// Renames T to U and T评分 to U评分, and the first row 测试 = T of C to U.
// NotFound when C does not list T: nothing is renamed.
StoreError renameTest(
    const QString &bank, const QString &from, const QString &to, const QString &category);
// Drops T and T评分 and removes the first row 测试 = T of C. NotFound when C does not
// list T; tables that are already missing are passed over.
StoreError deleteTest(const QString &bank, const QString &test, const QString &category);

// Whether a new category or test could be given this name: success, or the refusal
// createTable would give (TableExists, EmptyName, ReservedName, InvalidName), or
// InvalidName for a name over kNameLimit.
StoreError checkNewName(const QString &bank, const QString &name);

class Batch;
// Runs `work` in one transaction: when it returns an error, or the commit fails,
// nothing of it lands (an import of many tests).
StoreError inOneTransaction(const QString &bank, const std::function<StoreError(Batch &)> &work);

} // namespace Catalogue

// The actions of Catalogue inside one transaction of inOneTransaction().
class Catalogue::Batch
{
public:
    explicit Batch(BankBackend &bank)
        : m_bank(bank)
    { }

    StoreError createCategory(const QString &category);
    StoreError createTest(const QString &test, const QString &category);
    // Whether "分类列表" has a row with this name.
    bool isCategory(const QString &category, StoreError *error);
    // One field of a row to append: a text, a number, or neither (NULL). A text comes as
    // a QString or, when utf8.data() is set, as UTF-8 bytes that are bound as they are
    // (also when empty); either stays valid until appendRows returns.
    struct Field
    {
        const QString *text = nullptr;
        std::optional<double> number;
        QByteArrayView utf8;
    };
    // Appends rowCount rows to table; fill(row, fields) gives the fieldCount fields of
    // each in order (all NULL until set). Single values are written as given.
    StoreError appendRows(const QString &table, int fieldCount, qsizetype rowCount,
        const std::function<void(qsizetype row, Field *fields)> &fill);

private:
    BankBackend &m_bank;
};
