#include "store/sqlitetable.h"

#include "base/valuerules.h"
#include "store/bankfile.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <sqlite3.h>

using BankFile::quoteName;

class SqliteTable::Statement
{
public:
    ~Statement() { sqlite3_finalize(stmt); }
    sqlite3_stmt *stmt = nullptr;
};

namespace {

// Resets a statement when the step is done, as no statement may stay active between
// calls (SQLite refuses to drop a table that an active statement reads).
class Step
{
public:
    explicit Step(sqlite3_stmt *stmt)
        : m_stmt(stmt)
    { }
    ~Step() { sqlite3_reset(m_stmt); }
    int next() { return sqlite3_step(m_stmt); }

private:
    sqlite3_stmt *m_stmt;
};

void bind(sqlite3_stmt *stmt, int k, const QVariant &value)
{
    if (value.isNull()) {
        sqlite3_bind_null(stmt, k);
    } else if (value.typeId() == QMetaType::Double) {
        sqlite3_bind_double(stmt, k, value.toDouble());
    } else if (value.typeId() == QMetaType::LongLong) {
        sqlite3_bind_int64(stmt, k, value.toLongLong());
    } else {
        const QByteArray utf8 = value.toString().toUtf8();
        sqlite3_bind_text(stmt, k, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
}

StoreError noSuchTable(const QString &table)
{
    return StoreError(StoreError::NoSuchTable, QStringLiteral("找不到表“%1”。").arg(table));
}

} // namespace

SqliteTable::SqliteTable(const QString &bank)
    : m_bank(bank)
{
    BankFile::addCloseListener(this, [this] { dropStatements(); });
}

SqliteTable::~SqliteTable()
{
    dropStatements();
    BankFile::removeCloseListener(this);
}

void SqliteTable::dropStatements()
{
    m_select.reset();
    m_delete.reset();
    m_updates.clear();
    m_inserts.clear();
    m_handle = nullptr;
    m_serial = 0;
}

StoreError SqliteTable::connect()
{
    if (m_handle && m_serial == BankFile::connectionSerial())
        return {};
    dropStatements();
    StoreError error;
    QSqlDatabase db = BankFile::connection(m_bank, &error);
    if (error)
        return error;
    m_handle = BankFile::sqliteHandle(db);
    if (!m_handle)
        return StoreError(StoreError::Engine, QStringLiteral("题库连接不是 SQLite。"));
    m_serial = BankFile::connectionSerial();
    return {};
}

StoreError SqliteTable::failure() const
{
    return BankFile::engineError(sqlite3_extended_errcode(m_handle),
        QString::fromUtf8(sqlite3_errmsg(m_handle)), QFileInfo(m_bank).absoluteFilePath());
}

StoreError SqliteTable::prepare(
    std::unique_ptr<Statement> &slot, const std::function<QString()> &sql)
{
    if (const StoreError e = connect())
        return e;
    if (slot)
        return {};
    auto statement = std::make_unique<Statement>();
    if (sqlite3_prepare_v2(m_handle, sql().toUtf8().constData(), -1, &statement->stmt, nullptr)
        != SQLITE_OK)
        return failure();
    slot = std::move(statement);
    return {};
}

StoreError SqliteTable::prepare(QHash<quint32, std::shared_ptr<Statement>> &cache, quint32 mask,
    const std::function<QString()> &sql, Statement **out)
{
    if (const StoreError e = connect())
        return e;
    std::shared_ptr<Statement> &slot = cache[mask];
    if (!slot) {
        auto statement = std::make_shared<Statement>();
        if (sqlite3_prepare_v2(m_handle, sql().toUtf8().constData(), -1, &statement->stmt, nullptr)
            != SQLITE_OK) {
            cache.remove(mask);
            return failure();
        }
        slot = statement;
    }
    *out = slot.get();
    return {};
}

QString SqliteTable::text(sqlite3_stmt *stmt, int column, bool single) const
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        if (single)
            return singleText(float(sqlite3_column_double(stmt, column)));
        break;
    default:
        break;
    }
    const auto *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(utf8, sqlite3_column_bytes(stmt, column));
}

StoreError SqliteTable::open(const QString &table)
{
    const QStringList before = m_fields;
    if (table != m_table)
        dropStatements();
    m_table = table;
    m_fields.clear();
    m_single.clear();
    // A bank deleted or replaced since the last window opened it is opened anew here.
    StoreError error;
    BankFile::connection(m_bank, &error);
    if (error)
        return error;
    if (const StoreError e = connect())
        return e;

    // The table's shape comes from a statement on it: SQLite finds the table through its
    // schema hash, where a look-up in sqlite_master would read the whole schema (a bank of
    // many categories holds tens of thousands of tables). Names match case-insensitively
    // there, so the stored name must be the one asked for, byte for byte.
    Statement shape;
    const QByteArray sql = QStringLiteral("SELECT * FROM %1").arg(quoteName(table)).toUtf8();
    const int rc = sqlite3_prepare_v2(m_handle, sql.constData(), -1, &shape.stmt, nullptr);
    if (rc == SQLITE_ERROR)
        return noSuchTable(table);
    if (rc != SQLITE_OK)
        return failure();
    const int columns = sqlite3_column_count(shape.stmt);
    const char *stored = columns > 0 ? sqlite3_column_table_name(shape.stmt, 0) : nullptr;
    const char *schema = columns > 0 ? sqlite3_column_database_name(shape.stmt, 0) : nullptr;
    // The schema table reads through any statement but is no table of the bank.
    if (!stored || !schema || qstrcmp(schema, "main") != 0 || qstrcmp(stored, "sqlite_master") == 0
        || QString::fromUtf8(stored) != table)
        return noSuchTable(table);
    for (int i = 0; i < columns; ++i) {
        m_fields << QString::fromUtf8(sqlite3_column_name(shape.stmt, i));
        m_single << (qstricmp(sqlite3_column_decltype(shape.stmt, i), "REAL") == 0);
    }
    if (m_fields.isEmpty())
        return noSuchTable(table);
    if (m_fields != before) {
        m_select.reset();
        m_updates.clear();
        m_inserts.clear();
    }
    return {};
}

void SqliteTable::close()
{
    dropStatements();
    m_fields.clear();
    m_single.clear();
}

StoreError SqliteTable::rowIds(QList<qint64> *ids)
{
    std::unique_ptr<Statement> all;
    if (const StoreError e = prepare(all, [this] {
            return QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(quoteName(m_table));
        }))
        return e;
    ids->clear();
    Step step(all->stmt);
    int rc;
    while ((rc = step.next()) == SQLITE_ROW)
        ids->append(sqlite3_column_int64(all->stmt, 0));
    return rc == SQLITE_DONE ? StoreError() : failure();
}

StoreError SqliteTable::schemaVersion(qint64 *version)
{
    std::unique_ptr<Statement> pragma;
    if (const StoreError e
        = prepare(pragma, [] { return QStringLiteral("PRAGMA schema_version"); }))
        return e;
    Step step(pragma->stmt);
    if (step.next() != SQLITE_ROW)
        return failure();
    *version = sqlite3_column_int64(pragma->stmt, 0);
    return {};
}

StoreError SqliteTable::readRow(qint64 id, QStringList *texts, bool *found)
{
    texts->clear();
    *found = false;
    if (const StoreError e = prepare(m_select, [this] {
            QStringList names;
            for (const QString &f : m_fields)
                names << quoteName(f);
            return QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                .arg(names.join(u','), quoteName(m_table));
        }))
        return e;
    sqlite3_bind_int64(m_select->stmt, 1, id);
    Step step(m_select->stmt);
    const int rc = step.next();
    if (rc == SQLITE_ROW) {
        *found = true;
        texts->reserve(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            texts->append(text(m_select->stmt, i, m_single.at(i)));
        return {};
    }
    return rc == SQLITE_DONE ? StoreError() : failure();
}

StoreError SqliteTable::column(int field, QList<qint64> *ids, QStringList *texts)
{
    std::unique_ptr<Statement> all;
    if (const StoreError e = prepare(all, [&] {
            return QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid")
                .arg(quoteName(m_fields.at(field)), quoteName(m_table));
        }))
        return e;
    Step step(all->stmt);
    int rc;
    while ((rc = step.next()) == SQLITE_ROW) {
        ids->append(sqlite3_column_int64(all->stmt, 0));
        texts->append(text(all->stmt, 1, m_single.at(field)));
    }
    return rc == SQLITE_DONE ? StoreError() : failure();
}

namespace {
quint32 maskOf(const QList<int> &fields)
{
    quint32 mask = 0;
    for (int i : fields)
        mask |= 1u << (i % 32);
    return mask;
}
} // namespace

StoreError SqliteTable::insert(const QList<int> &fields, const QVariantList &values, qint64 *id)
{
    Statement *statement = nullptr;
    const auto sql = [&] {
        QStringList names, marks;
        for (int i : fields) {
            names << quoteName(m_fields.at(i));
            marks << QStringLiteral("?");
        }
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoteName(m_table), names.join(u','), marks.join(u','));
    };
    // Field sets that share a mask differ only above 32 fields, which no table has.
    if (const StoreError e = prepare(m_inserts, maskOf(fields), sql, &statement))
        return e;
    for (int k = 0; k < values.size(); ++k)
        bind(statement->stmt, k + 1, values.at(k));
    Step step(statement->stmt);
    if (step.next() != SQLITE_DONE)
        return failure();
    *id = sqlite3_last_insert_rowid(m_handle);
    return {};
}

StoreError SqliteTable::update(
    qint64 id, const QList<int> &fields, const QVariantList &values, bool *found)
{
    Statement *statement = nullptr;
    const auto sql = [&] {
        QStringList sets;
        for (int i : fields)
            sets << quoteName(m_fields.at(i)) + QStringLiteral(" = ?");
        return QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
            .arg(quoteName(m_table), sets.join(u','));
    };
    if (const StoreError e = prepare(m_updates, maskOf(fields), sql, &statement))
        return e;
    for (int k = 0; k < values.size(); ++k)
        bind(statement->stmt, k + 1, values.at(k));
    sqlite3_bind_int64(statement->stmt, int(values.size()) + 1, id);
    Step step(statement->stmt);
    if (step.next() != SQLITE_DONE)
        return failure();
    *found = sqlite3_changes(m_handle) > 0;
    return {};
}

StoreError SqliteTable::begin()
{
    if (const StoreError e = connect())
        return e;
    return sqlite3_exec(m_handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK
        ? StoreError()
        : failure();
}

StoreError SqliteTable::commit()
{
    if (sqlite3_exec(m_handle, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return {};
    const StoreError error = failure();
    rollback();
    return error;
}

void SqliteTable::rollback()
{
    if (m_handle && !sqlite3_get_autocommit(m_handle))
        sqlite3_exec(m_handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

StoreError SqliteTable::remove(qint64 id)
{
    if (const StoreError e = prepare(m_delete, [this] {
            return QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(m_table));
        }))
        return e;
    sqlite3_bind_int64(m_delete->stmt, 1, id);
    Step step(m_delete->stmt);
    return step.next() == SQLITE_DONE ? StoreError() : failure();
}

StoreError SqliteTable::find(
    int field, const QVariant &key, const std::function<bool(qint64)> &accept, qint64 *id)
{
    *id = -1;
    std::unique_ptr<Statement> query;
    const QString name = quoteName(m_fields.at(field));
    if (const StoreError e = prepare(query, [&] {
            const QString condition = key.isNull()
                ? QStringLiteral("(%1 IS NULL OR %1 = '')").arg(name)
                : QStringLiteral("%1 = ?").arg(name);
            return QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rowid")
                .arg(quoteName(m_table), condition);
        }))
        return e;
    if (!key.isNull())
        bind(query->stmt, 1, key);
    Step step(query->stmt);
    int rc;
    while ((rc = step.next()) == SQLITE_ROW) {
        const qint64 row = sqlite3_column_int64(query->stmt, 0);
        if (accept(row)) {
            *id = row;
            return {};
        }
    }
    return rc == SQLITE_DONE ? StoreError() : failure();
}
