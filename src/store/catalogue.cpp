#include "store/catalogue.h"

#include "store/bankfile.h"
#include "store/testsettings.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QUuid>
#include <algorithm>
#include <optional>
#include <sqlite3.h>
#include <vector>

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

using BankFile::quoteName;

StoreError engine(const QSqlError &error)
{
    return BankFile::engineError(
        error.nativeErrorCode().toInt(), error.databaseText(), BankFile::connectedPath());
}

// Runs one statement with bound values; finishes it.
StoreError run(QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        return engine(q.lastError());
    for (const QVariant &v : values)
        q.addBindValue(v);
    const bool ok = q.exec();
    const QSqlError error = q.lastError();
    q.finish();
    return ok ? StoreError() : engine(error);
}

// The first value of the first row, if there is one.
std::optional<QVariant> scalar(
    QSqlDatabase &db, const QString &sql, const QVariantList &values, StoreError *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *error = engine(q.lastError());
        return std::nullopt;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = engine(q.lastError());
        return std::nullopt;
    }
    std::optional<QVariant> result;
    if (q.next())
        result = q.value(0);
    q.finish();
    return result;
}

// Whether a table of exactly this name exists (letter case counts).
bool exists(QSqlDatabase &db, const QString &name, StoreError *error)
{
    const auto found = scalar(db,
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' "
                       "AND name = ? COLLATE BINARY"),
        { name }, error);
    return found.has_value();
}

StoreError noSuchTable(const QString &name)
{
    return StoreError(StoreError::NoSuchTable, QStringLiteral("找不到表“%1”。").arg(name));
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// Whether a name can be given to a new table: not empty, not reserved, no control
// character, and not the name of anything in the bank (ASCII letter case ignored) but
// `self`. A line break would also cut the name short in temp.txt.
StoreError checkNewName(QSqlDatabase &db, const QString &name, const QString &self = {})
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
    StoreError error;
    const auto taken = scalar(db,
        QStringLiteral("SELECT name FROM sqlite_master "
                       "WHERE name = ? COLLATE NOCASE AND name <> ?"),
        { name, self.isNull() ? QStringLiteral("") : self }, &error);
    if (error)
        return error;
    if (taken)
        return StoreError(StoreError::TableExists, QStringLiteral("名称“%1”已经存在。").arg(name));
    return {};
}

// A name given to a new or renamed category or test fits the lists, the title bars
// and the hand-off file: at most Catalogue::kNameLimit characters. Longer names
// already in a bank stay usable; only a new one is refused, never cut.
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

QString sqlType(FieldType type)
{
    return type == FieldType::Single ? QStringLiteral("REAL") : QStringLiteral("TEXT");
}

StoreError createIn(QSqlDatabase &db, const TableDef &table)
{
    if (const StoreError e = checkNewName(db, table.name))
        return e;
    if (table.fields.isEmpty())
        return StoreError(StoreError::Engine, QStringLiteral("表“%1”没有字段。").arg(table.name));
    QStringList columns;
    for (const FieldDef &f : table.fields)
        columns << quoteName(f.name) + u' ' + sqlType(f.type);
    return run(db,
        QStringLiteral("CREATE TABLE %1 (%2)")
            .arg(quoteName(table.name), columns.join(QStringLiteral(", "))));
}

StoreError renameIn(QSqlDatabase &db, const QString &from, const QString &to)
{
    StoreError error;
    if (!exists(db, from, &error))
        return error ? error : noSuchTable(from);
    if (from == to)
        return {};
    if (const StoreError e = checkNewName(db, to, from))
        return e;
    const QString sql = QStringLiteral("ALTER TABLE %1 RENAME TO %2");
    if (from.compare(to, Qt::CaseInsensitive) == 0) {
        // SQLite sees the two names as one; a change of letter case goes round.
        const QString between
            = QStringLiteral("qelvi_rename_") + QUuid::createUuid().toString(QUuid::Id128);
        if (const StoreError e = run(db, sql.arg(quoteName(from), quoteName(between))))
            return e;
        return run(db, sql.arg(quoteName(between), quoteName(to)));
    }
    return run(db, sql.arg(quoteName(from), quoteName(to)));
}

StoreError dropIn(QSqlDatabase &db, const QString &name)
{
    StoreError error;
    if (!exists(db, name, &error))
        return error ? error : noSuchTable(name);
    return run(db, QStringLiteral("DROP TABLE %1").arg(quoteName(name)));
}

// The rowid of the first row of table whose field is value, if any.
std::optional<qint64> firstRow(QSqlDatabase &db, const QString &table, const QString &field,
    const QString &value, StoreError *error)
{
    if (!exists(db, table, error)) {
        if (!*error)
            *error = noSuchTable(table);
        return std::nullopt;
    }
    const auto id = scalar(db,
        QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
            .arg(quoteName(table), quoteName(field)),
        { value }, error);
    if (!id) {
        if (!*error)
            *error = StoreError(
                StoreError::NotFound, QStringLiteral("表“%1”里没有“%2”。").arg(table, value));
        return std::nullopt;
    }
    return id->toLongLong();
}

StoreError setRow(
    QSqlDatabase &db, const QString &table, const QString &field, qint64 row, const QString &value)
{
    return run(db,
        QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
            .arg(quoteName(table), quoteName(field)),
        { value, row });
}

StoreError deleteRow(QSqlDatabase &db, const QString &table, qint64 row)
{
    return run(db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(table)), { row });
}

StoreError appendRow(
    QSqlDatabase &db, const QString &table, const QString &field, const QString &value)
{
    return run(db,
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(quoteName(table), quoteName(field)),
        { value });
}

// Runs one action on the bank in a transaction: all of it, or nothing.
// The write lock is taken at BEGIN: a transaction that reads first and asks for it
// later is refused at once (SQLITE_BUSY, no waiting) while another copy of the
// program writes, whereas BEGIN IMMEDIATE waits out the busy timeout like any write.
template<class Action>
StoreError inTransaction(const QString &bank, Action action)
{
    StoreError error;
    QSqlDatabase db = BankFile::connection(bank, &error);
    if (error)
        return error;
    if (const StoreError e = run(db, QStringLiteral("BEGIN IMMEDIATE")))
        return e;
    error = action(db);
    if (!error)
        error = run(db, QStringLiteral("COMMIT"));
    if (error)
        run(db, QStringLiteral("ROLLBACK"));
    return error;
}

} // namespace

namespace Catalogue {

StoreError createTable(const QString &bank, const TableDef &table)
{
    return inTransaction(bank, [&](QSqlDatabase &db) { return createIn(db, table); });
}

StoreError renameTable(const QString &bank, const QString &from, const QString &to)
{
    return inTransaction(bank, [&](QSqlDatabase &db) { return renameIn(db, from, to); });
}

StoreError dropTable(const QString &bank, const QString &name)
{
    return inTransaction(bank, [&](QSqlDatabase &db) { return dropIn(db, name); });
}

QStringList tables(const QString &bank, StoreError *error)
{
    StoreError problem;
    QStringList names;
    QSqlDatabase db = BankFile::connection(bank, &problem);
    if (!problem) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                  "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"))) {
            while (q.next())
                names << q.value(0).toString();
        } else {
            problem = engine(q.lastError());
        }
        q.finish();
    }
    if (error)
        *error = problem;
    return names;
}

bool hasTable(const QString &bank, const QString &name)
{
    StoreError error;
    QSqlDatabase db = BankFile::connection(bank, &error);
    return !error && exists(db, name, &error);
}

QList<FieldDef> fields(const QString &bank, const QString &table, StoreError *error)
{
    StoreError problem;
    QList<FieldDef> result;
    QSqlDatabase db = BankFile::connection(bank, &problem);
    if (!problem && !exists(db, table, &problem) && !problem)
        problem = noSuchTable(table);
    if (!problem) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
        q.addBindValue(table);
        if (q.exec()) {
            while (q.next()) {
                const bool single
                    = q.value(1).toString().compare(QLatin1String("REAL"), Qt::CaseInsensitive)
                    == 0;
                result.append(
                    { q.value(0).toString(), single ? FieldType::Single : FieldType::Memo });
            }
        } else {
            problem = engine(q.lastError());
        }
        q.finish();
    }
    if (error)
        *error = problem;
    return result;
}

StoreError createCategory(const QString &bank, const QString &category)
{
    if (const StoreError e = checkLength(category))
        return e;
    return inTransaction(bank, [&](QSqlDatabase &db) {
        if (const StoreError e = createIn(db, BankNames::categoryTable(category)))
            return e;
        return appendRow(db, BankNames::categoryList(), BankNames::categoryField(), category);
    });
}

StoreError renameCategory(const QString &bank, const QString &from, const QString &to)
{
    if (const StoreError e = from == to ? StoreError() : checkLength(to))
        return e;
    return inTransaction(bank, [&](QSqlDatabase &db) {
        if (const StoreError e = renameIn(db, from, to))
            return e;
        StoreError error;
        const auto row
            = firstRow(db, BankNames::categoryList(), BankNames::categoryField(), from, &error);
        if (!row)
            return error;
        return setRow(db, BankNames::categoryList(), BankNames::categoryField(), *row, to);
    });
}

StoreError deleteCategory(const QString &bank, const QString &category)
{
    return inTransaction(bank, [&](QSqlDatabase &db) {
        StoreError error;
        const auto row
            = firstRow(db, BankNames::categoryList(), BankNames::categoryField(), category, &error);
        if (!row)
            return error;
        if (exists(db, category, &error)) {
            const auto count = scalar(
                db, QStringLiteral("SELECT count(*) FROM %1").arg(quoteName(category)), {}, &error);
            if (error)
                return error;
            if (count && count->toLongLong() > 0)
                return StoreError(StoreError::CategoryNotEmpty,
                    QStringLiteral("测试类“%1”里还有测试。").arg(category));
            if (const StoreError e = dropIn(db, category))
                return e;
        } else if (error) {
            return error;
        }
        return deleteRow(db, BankNames::categoryList(), *row);
    });
}

StoreError createTest(const QString &bank, const QString &test, const QString &category)
{
    if (const StoreError e = checkLength(test))
        return e;
    return inTransaction(bank, [&](QSqlDatabase &db) {
        if (const StoreError e = createIn(db, BankNames::questionTable(test)))
            return e;
        if (const StoreError e = createIn(db, BankNames::scoringTableDef(test)))
            return e;
        StoreError error;
        if (!exists(db, category, &error))
            return error ? error : noSuchTable(category);
        return appendRow(db, category, BankNames::testField(), test);
    });
}

StoreError renameTest(
    const QString &bank, const QString &from, const QString &to, const QString &category)
{
    if (const StoreError e = from == to ? StoreError() : checkLength(to))
        return e;
    return inTransaction(bank, [&](QSqlDatabase &db) {
        if (const StoreError e = renameIn(db, from, to))
            return e;
        if (const StoreError e
            = renameIn(db, BankNames::scoringTable(from), BankNames::scoringTable(to)))
            return e;
        StoreError error;
        const auto row = firstRow(db, category, BankNames::testField(), from, &error);
        if (!row)
            return error;
        if (const StoreError e = TestSettings::renameIn(db, from, to))
            return e;
        return setRow(db, category, BankNames::testField(), *row, to);
    });
}

StoreError deleteTest(const QString &bank, const QString &test, const QString &category)
{
    return inTransaction(bank, [&](QSqlDatabase &db) {
        StoreError error;
        const auto row = firstRow(db, category, BankNames::testField(), test, &error);
        if (!row)
            return error;
        for (const QString &table : { test, BankNames::scoringTable(test) }) {
            if (exists(db, table, &error)) {
                if (const StoreError e = dropIn(db, table))
                    return e;
            } else if (error) {
                return error;
            }
        }
        if (const StoreError e = TestSettings::dropIn(db, test))
            return e;
        return deleteRow(db, category, *row);
    });
}

StoreError checkNewName(const QString &bank, const QString &name)
{
    StoreError error;
    if (const StoreError e = checkLength(name))
        return e;
    QSqlDatabase db = BankFile::connection(bank, &error);
    return error ? error : ::checkNewName(db, name);
}

StoreError inOneTransaction(const QString &bank, const std::function<StoreError(Batch &)> &work)
{
    return inTransaction(bank, [&](QSqlDatabase &db) {
        Batch batch(db);
        return work(batch);
    });
}

StoreError Batch::createCategory(const QString &category)
{
    if (const StoreError e = checkLength(category))
        return e;
    if (const StoreError e = createIn(m_db, BankNames::categoryTable(category)))
        return e;
    return appendRow(m_db, BankNames::categoryList(), BankNames::categoryField(), category);
}

StoreError Batch::createTest(const QString &test, const QString &category)
{
    if (const StoreError e = checkLength(test))
        return e;
    if (const StoreError e = createIn(m_db, BankNames::questionTable(test)))
        return e;
    if (const StoreError e = createIn(m_db, BankNames::scoringTableDef(test)))
        return e;
    StoreError error;
    if (!exists(m_db, category, &error))
        return error ? error : noSuchTable(category);
    return appendRow(m_db, category, BankNames::testField(), test);
}

bool Batch::isCategory(const QString &category, StoreError *error)
{
    return scalar(m_db,
        QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
            .arg(quoteName(BankNames::categoryList()), quoteName(BankNames::categoryField())),
        { category }, error)
        .has_value();
}

// Through SQLite's own interface on the connection's handle: an import writes many
// rows, and binding them as Qt values costs several times what SQLite itself does.
StoreError Batch::appendRows(const QString &table, int fieldCount, qsizetype rowCount,
    const std::function<void(qsizetype row, Field *fields)> &fill)
{
    if (rowCount == 0)
        return {};
    const QVariant handle = m_db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return StoreError(StoreError::Engine, QStringLiteral("题库连接不是 SQLite。"));
    sqlite3 *db = *static_cast<sqlite3 *const *>(handle.constData());
    const auto failure = [db] {
        return BankFile::engineError(
            sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)), BankFile::connectedPath());
    };
    QStringList marks;
    for (int i = 0; i < fieldCount; ++i)
        marks << QStringLiteral("?");
    const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                               .arg(quoteName(table), marks.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr) != SQLITE_OK)
        return failure();
    // Each row's texts go into one UTF-8 buffer first, as the bank stores them: SQLite's
    // own conversion from UTF-16 costs an allocation a field.
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray texts;
    std::vector<Field> fields(static_cast<size_t>(fieldCount));
    StoreError error;
    for (qsizetype r = 0; r < rowCount; ++r) {
        std::fill(fields.begin(), fields.end(), Field());
        fill(r, fields.data());
        qsizetype room = 0;
        for (const Field &f : fields)
            if (f.text)
                room += utf8.requiredSpace(f.text->size());
        texts.resize(room);
        char *end = texts.data();
        for (int i = 0; i < fieldCount; ++i) {
            if (const QString *text = fields[size_t(i)].text) {
                char *start = end;
                end = utf8.appendToBuffer(end, *text);
                sqlite3_bind_text(insert, i + 1, start, int(end - start), SQLITE_STATIC);
            } else if (fields[size_t(i)].number) {
                sqlite3_bind_double(insert, i + 1, *fields[size_t(i)].number);
            } else {
                sqlite3_bind_null(insert, i + 1);
            }
        }
        if (sqlite3_step(insert) != SQLITE_DONE) {
            error = failure();
            break;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return error;
}

} // namespace Catalogue
