#include "store/sqlitebank.h"

#include "store/bankfile.h"
#include "store/sqlitetable.h"
#include "store/testsettings.h"
#include "store/testversion.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QUuid>
#include <algorithm>
#include <sqlite3.h>
#include <vector>

using BankFile::quoteName;

namespace {

StoreError engine(const QSqlError &error)
{
    return BankFile::engineError(
        error.nativeErrorCode().toInt(), error.databaseText(), BankFile::connectedPath());
}

QString sqlType(FieldType type)
{
    return type == FieldType::Single ? QStringLiteral("REAL") : QStringLiteral("TEXT");
}

} // namespace

std::unique_ptr<BankTable> SqliteBank::table() const
{
    return std::make_unique<SqliteTable>(m_path);
}

StoreError SqliteBank::connect()
{
    StoreError error;
    m_db = BankFile::connection(m_path, &error);
    return error;
}

StoreError SqliteBank::failure(sqlite3 *db) const
{
    if (!db)
        return StoreError(StoreError::Engine, QStringLiteral("题库连接不是 SQLite。"));
    return BankFile::engineError(sqlite3_extended_errcode(db),
        QString::fromUtf8(sqlite3_errmsg(db)), BankFile::connectedPath());
}

// The catalogue's checks and changes are short statements: through SQLite's own
// interface on the connection's handle, as Qt's query object costs more than they do.
StoreError SqliteBank::step(
    const QString &sql, const QVariantList &values, const std::function<void(sqlite3_stmt *)> &row)
{
    sqlite3 *db = BankFile::sqliteHandle(m_db);
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (!db
        || sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr)
            != SQLITE_OK)
        return failure(db);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &v = values[i];
        if (v.typeId() == QMetaType::QString && !v.toString().isNull()) {
            const QByteArray utf8 = v.toString().toUtf8();
            sqlite3_bind_text(
                statement, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            sqlite3_bind_int64(statement, i + 1, v.toLongLong());
        } else {
            sqlite3_bind_null(statement, i + 1);
        }
    }
    int done = sqlite3_step(statement);
    if (done == SQLITE_ROW && row) {
        row(statement);
        done = SQLITE_DONE;
    }
    while (done == SQLITE_ROW)
        done = sqlite3_step(statement);
    const StoreError error = done == SQLITE_DONE ? StoreError() : failure(db);
    sqlite3_finalize(statement);
    return error;
}

StoreError SqliteBank::run(const QString &sql, const QVariantList &values)
{
    return step(sql, values, {});
}

std::optional<QVariant> SqliteBank::scalar(
    const QString &sql, const QVariantList &values, StoreError *error)
{
    std::optional<QVariant> result;
    *error = step(sql, values, [&](sqlite3_stmt *statement) {
        switch (sqlite3_column_type(statement, 0)) {
        case SQLITE_INTEGER:
            result = QVariant(qint64(sqlite3_column_int64(statement, 0)));
            break;
        case SQLITE_NULL:
            result = QVariant();
            break;
        default:
            result = QVariant(
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)),
                    sqlite3_column_bytes(statement, 0)));
            break;
        }
    });
    return *error ? std::nullopt : result;
}

StoreError SqliteBank::begin()
{
    return run(QStringLiteral("BEGIN IMMEDIATE"));
}

StoreError SqliteBank::commit()
{
    return run(QStringLiteral("COMMIT"));
}

void SqliteBank::rollback()
{
    run(QStringLiteral("ROLLBACK"));
}

StoreError SqliteBank::tables(QStringList *names)
{
    StoreError problem;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                              "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"))) {
        while (q.next())
            *names << q.value(0).toString();
    } else {
        problem = engine(q.lastError());
    }
    q.finish();
    return problem;
}

StoreError SqliteBank::hasTable(const QString &name, bool *found)
{
    StoreError error;
    *found = scalar(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' "
                                   "AND name = ? COLLATE BINARY"),
        { name }, &error)
                 .has_value();
    return error;
}

StoreError SqliteBank::nameTaken(const QString &name, const QString &self, bool *taken)
{
    StoreError error;
    *taken = scalar(QStringLiteral("SELECT name FROM sqlite_master "
                                   "WHERE name = ? COLLATE NOCASE AND name <> ?"),
        { name, self.isNull() ? QStringLiteral("") : self }, &error)
                 .has_value();
    return error;
}

StoreError SqliteBank::fields(const QString &table, QList<FieldDef> *fields)
{
    StoreError problem;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
    q.addBindValue(table);
    if (q.exec()) {
        while (q.next()) {
            const bool single
                = q.value(1).toString().compare(QLatin1String("REAL"), Qt::CaseInsensitive) == 0;
            fields->append({ q.value(0).toString(), single ? FieldType::Single : FieldType::Memo });
        }
    } else {
        problem = engine(q.lastError());
    }
    q.finish();
    return problem;
}

StoreError SqliteBank::createTable(TableKind, const TableDef &table)
{
    QStringList columns;
    for (const FieldDef &f : table.fields)
        columns << quoteName(f.name) + u' ' + sqlType(f.type);
    return run(QStringLiteral("CREATE TABLE %1 (%2)")
                   .arg(quoteName(table.name), columns.join(QStringLiteral(", "))));
}

StoreError SqliteBank::renameTable(TableKind, const QString &from, const QString &to)
{
    const QString sql = QStringLiteral("ALTER TABLE %1 RENAME TO %2");
    if (from.compare(to, Qt::CaseInsensitive) == 0) {
        const QString between
            = QStringLiteral("qelvi_rename_") + QUuid::createUuid().toString(QUuid::Id128);
        if (const StoreError e = run(sql.arg(quoteName(from), quoteName(between))))
            return e;
        return run(sql.arg(quoteName(between), quoteName(to)));
    }
    return run(sql.arg(quoteName(from), quoteName(to)));
}

StoreError SqliteBank::dropTable(TableKind, const QString &name)
{
    return run(QStringLiteral("DROP TABLE %1").arg(quoteName(name)));
}

StoreError SqliteBank::firstRow(
    const QString &table, const QString &field, const QString &text, std::optional<qint64> *row)
{
    StoreError error;
    const auto id
        = scalar(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                     .arg(quoteName(table), quoteName(field)),
            { text }, &error);
    *row = id ? std::optional<qint64>(id->toLongLong()) : std::nullopt;
    return error;
}

StoreError SqliteBank::rowCount(const QString &table, qint64 *count)
{
    StoreError error;
    const auto n
        = scalar(QStringLiteral("SELECT count(*) FROM %1").arg(quoteName(table)), {}, &error);
    *count = n ? n->toLongLong() : 0;
    return error;
}

StoreError SqliteBank::appendRow(const QString &table, const QString &field, const QString &text)
{
    return run(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(quoteName(table), quoteName(field)),
        { text });
}

StoreError SqliteBank::setField(
    const QString &table, const QString &field, qint64 row, const QString &text)
{
    return run(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                   .arg(quoteName(table), quoteName(field)),
        { text, row });
}

StoreError SqliteBank::removeRow(const QString &table, qint64 row)
{
    return run(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(table)), { row });
}

StoreError SqliteBank::renameSettings(const QString &from, const QString &to)
{
    return TestSettings::renameIn(m_db, from, to);
}

StoreError SqliteBank::dropSettings(const QString &test)
{
    return TestSettings::dropIn(m_db, test);
}

StoreError SqliteBank::appendRows(const QString &table, int fieldCount, qsizetype rowCount,
    const std::function<void(qsizetype row, Catalogue::Batch::Field *fields)> &fill)
{
    using Field = Catalogue::Batch::Field;
    if (rowCount == 0)
        return {};
    sqlite3 *db = BankFile::sqliteHandle(m_db);
    if (!db)
        return failure(db);
    QStringList marks;
    for (int i = 0; i < fieldCount; ++i)
        marks << QStringLiteral("?");
    const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                               .arg(quoteName(table), marks.join(QLatin1Char(',')))
                               .toUtf8();
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr) != SQLITE_OK)
        return failure(db);
    // Texts already in UTF-8 are bound where they lie; each row's other texts go into one
    // UTF-8 buffer first, as the bank stores them: SQLite's own conversion from UTF-16
    // costs an allocation a field.
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray texts;
    std::vector<Field> fields(static_cast<size_t>(fieldCount));
    StoreError error;
    for (qsizetype r = 0; r < rowCount; ++r) {
        std::fill(fields.begin(), fields.end(), Field());
        fill(r, fields.data());
        qsizetype room = 0;
        for (const Field &f : fields)
            if (f.text && !f.utf8.data())
                room += utf8.requiredSpace(f.text->size());
        texts.resize(room);
        char *end = texts.data();
        for (int i = 0; i < fieldCount; ++i) {
            if (const QByteArrayView bytes = fields[size_t(i)].utf8; bytes.data()) {
                sqlite3_bind_text64(insert, i + 1, bytes.data(), sqlite3_uint64(bytes.size()),
                    SQLITE_STATIC, SQLITE_UTF8);
            } else if (const QString *text = fields[size_t(i)].text) {
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
            error = failure(db);
            break;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return error;
}

StoreError SqliteBank::goingBack(const QString &test, bool *allowed)
{
    *allowed = TestSettings::File::goingBackAllowed(m_db, test);
    return {};
}

StoreError SqliteBank::setGoingBack(const QString &test, bool allowed)
{
    return TestSettings::File::allowGoingBack(m_db, test, allowed);
}

QString SqliteBank::questionsVersion(const QString &test)
{
    return fileQuestionsVersion(m_db, test);
}
