#include "store/server/serverbank.h"

#include "store/banknews.h"
#include "store/server/serversession.h"
#include "store/server/servertable.h"

#include <QTimer>

namespace {

// The layout of the bank this program knows.
constexpr int kSchemaVersion = 1;

QString noSuchTable(const QString &name)
{
    return QStringLiteral("找不到表“%1”。").arg(name);
}

// Many changes at once (an import) are told to the windows once.
void tellSoon(const QString &location)
{
    static QStringList waiting;
    if (waiting.contains(location))
        return;
    waiting << location;
    QTimer::singleShot(50, BankNews::instance(), [location] {
        waiting.removeAll(location);
        BankNews::instance()->tell(location);
    });
}

} // namespace

PgError ServerBank::prepare(PgConnection &db)
{
    const PgResult r = db.exec(QStringLiteral("SELECT schema_version FROM qelvi.bank"));
    if (!r.ok())
        return r.error();
    if (r.rows() != 1 || r.integer(0, 0) != kSchemaVersion) {
        PgError e;
        e.kind = PgError::Refused;
        e.message = QStringLiteral("题库服务器“%1”上的题库是这个程序不认识的版本，没有打开。")
                        .arg(db.address().display());
        return e;
    }
    if (PgError e = db.listen(QStringLiteral("qelvi_bank")))
        return e;
    const QString location = ServerSession::location(db.address());
    QObject::connect(&db, &PgConnection::notified, BankNews::instance(),
        [location](const QString &, const QString &) { tellSoon(location); });
    return {};
}

PgResult ServerBank::begin(PgConnection &db)
{
    return db.exec(QStringLiteral("BEGIN"));
}

std::unique_ptr<BankTable> ServerBank::table() const
{
    return std::make_unique<ServerTable>(m_location);
}

StoreError ServerBank::connect()
{
    QString why;
    m_db = ServerSession::ready(m_location, &why);
    if (!why.isEmpty())
        return StoreError(StoreError::ServerUnreachable, why);
    return m_db ? StoreError() : ServerErrors::notConnected(m_location);
}

StoreError ServerBank::run(const QString &sql, const QVariantList &values, PgResult *result)
{
    if (!m_db)
        return ServerErrors::notConnected(m_location);
    PgResult r = m_db->exec(sql, values);
    const StoreError error = ServerErrors::toStore(r.error());
    if (result)
        *result = r;
    return error;
}

StoreError ServerBank::begin()
{
    if (!m_db)
        return ServerErrors::notConnected(m_location);
    m_pending.clear();
    m_newCategory.clear();
    return ServerErrors::toStore(begin(*m_db).error());
}

StoreError ServerBank::commit()
{
    if (!m_pending.isEmpty()) {
        // Tables of a test that no category lists: the server keeps no test without one.
        const StoreError e(StoreError::ServerRefused,
            QStringLiteral("题库服务器上的测试必须属于一个测试类，“%1”没有建立。")
                .arg(m_pending.first()));
        rollback();
        return e;
    }
    const StoreError error = run(QStringLiteral("COMMIT"), {});
    if (error)
        rollback();
    return error;
}

void ServerBank::rollback()
{
    m_pending.clear();
    m_newCategory.clear();
    if (m_db && m_db->isOpen())
        m_db->exec(QStringLiteral("ROLLBACK"));
}

StoreError ServerBank::tables(QStringList *names)
{
    names->clear();
    PgResult r;
    if (const StoreError e
        = run(QStringLiteral("SELECT name FROM qelvi.names ORDER BY id"), {}, &r))
        return e;
    for (int i = 0; i < r.rows(); ++i)
        names->append(r.text(i, 0));
    *names << m_pending;
    return {};
}

StoreError ServerBank::hasTable(const QString &name, bool *found)
{
    *found = m_pending.contains(name);
    if (*found)
        return {};
    PgResult r;
    if (const StoreError e
        = run(QStringLiteral("SELECT 1 FROM qelvi.names WHERE name = $1"), { name }, &r))
        return e;
    *found = r.rows() > 0;
    return {};
}

StoreError ServerBank::nameTaken(const QString &name, const QString &self, bool *taken)
{
    const auto folded = [](const QString &n) {
        QString f = n;
        for (QChar &c : f) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + 32);
        }
        return f;
    };
    *taken = false;
    for (const QString &n : std::as_const(m_pending)) {
        if (n != self && folded(n) == folded(name))
            *taken = true;
    }
    if (*taken)
        return {};
    PgResult r;
    if (const StoreError e = run(QStringLiteral("SELECT 1 FROM qelvi.names "
                                                "WHERE folded = $1 AND name <> $2"),
            { folded(name), self }, &r))
        return e;
    *taken = r.rows() > 0;
    return {};
}

StoreError ServerBank::shape(const QString &table, ServerShape *out)
{
    if (m_pending.contains(table))
        return StoreError(StoreError::ServerRefused,
            QStringLiteral("测试“%1”还没有放进测试类。").arg(m_pending.first()));
    if (!m_db)
        return ServerErrors::notConnected(m_location);
    StoreError error;
    *out = ServerShape::find(*m_db, table, &error);
    if (error)
        return error;
    if (out->kind == ServerShape::None)
        return StoreError(StoreError::NoSuchTable, noSuchTable(table));
    return {};
}

StoreError ServerBank::fields(const QString &table, QList<FieldDef> *fields)
{
    fields->clear();
    if (const qsizetype i = m_pending.indexOf(table); i >= 0) {
        *fields = (i == 0 ? BankNames::questionTable(table)
                          : BankNames::scoringTableDef(m_pending.first()))
                      .fields;
        return {};
    }
    ServerShape s;
    if (const StoreError e = shape(table, &s))
        return e;
    *fields = s.defs;
    return {};
}

StoreError ServerBank::createTable(TableKind kind, const TableDef &table)
{
    switch (kind) {
    case TableKind::Category:
        if (const StoreError e = run(
                QStringLiteral("INSERT INTO qelvi.categories (name) VALUES ($1)"), { table.name }))
            return e;
        m_newCategory = table.name;
        return {};
    case TableKind::Questions:
        if (!m_pending.isEmpty())
            break;
        m_pending << table.name;
        return {};
    case TableKind::Scoring:
        if (m_pending.size() != 1 || table.name != BankNames::scoringTable(m_pending.first()))
            break;
        m_pending << table.name;
        return {};
    case TableKind::Other:
        break;
    }
    return StoreError(StoreError::ServerRefused,
        QStringLiteral("题库服务器上只有测试类和测试，不能另建表“%1”。").arg(table.name));
}

StoreError ServerBank::renameTable(TableKind kind, const QString &from, const QString &)
{
    // The row's new name (setField, next in the same action) renames it on the server.
    if (kind == TableKind::Other)
        return StoreError(StoreError::ServerRefused,
            QStringLiteral("题库服务器上只有测试类和测试，不能改表“%1”的名字。").arg(from));
    ServerShape s;
    return shape(from, &s);
}

StoreError ServerBank::dropTable(TableKind kind, const QString &name)
{
    // The row's removal (removeRow, next in the same action) deletes it on the server.
    if (kind == TableKind::Other)
        return StoreError(StoreError::ServerRefused,
            QStringLiteral("题库服务器上只有测试类和测试，不能删除表“%1”。").arg(name));
    ServerShape s;
    return shape(name, &s);
}

StoreError ServerBank::field(const QString &table, const QString &name, ServerShape *s, int *i)
{
    if (const StoreError e = shape(table, s))
        return e;
    *i = int(s->fields.indexOf(name));
    if (*i < 0)
        return StoreError(
            StoreError::NoSuchField, QStringLiteral("表“%1”里没有字段“%2”。").arg(table, name));
    return {};
}

StoreError ServerBank::firstRow(
    const QString &table, const QString &field, const QString &text, std::optional<qint64> *row)
{
    row->reset();
    ServerShape s;
    int i = 0;
    if (const StoreError e = this->field(table, field, &s, &i))
        return e;
    QVariantList values;
    QString where = s.ownerCondition(&values);
    values << s.value(i, text);
    where += (where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND "))
        + QStringLiteral("%1 = $%2").arg(s.columns.at(i)).arg(values.size());
    PgResult r;
    if (const StoreError e
        = run(QStringLiteral("SELECT id FROM %1%2 ORDER BY id LIMIT 1").arg(s.sqlTable, where),
            values, &r))
        return e;
    if (r.rows() > 0)
        *row = r.integer(0, 0);
    return {};
}

StoreError ServerBank::rowCount(const QString &table, qint64 *count)
{
    *count = 0;
    ServerShape s;
    if (const StoreError e = shape(table, &s))
        return e;
    QVariantList values;
    const QString where = s.ownerCondition(&values);
    PgResult r;
    if (const StoreError e
        = run(QStringLiteral("SELECT count(*) FROM %1%2").arg(s.sqlTable, where), values, &r))
        return e;
    *count = r.integer(0, 0);
    return {};
}

StoreError ServerBank::appendRow(const QString &table, const QString &field, const QString &text)
{
    ServerShape s;
    int i = 0;
    if (const StoreError e = this->field(table, field, &s, &i))
        return e;
    if (s.kind == ServerShape::List && text == m_newCategory && !m_newCategory.isEmpty()) {
        m_newCategory.clear();
        return {};
    }
    QVariantList values;
    QString columns = s.columns.at(i);
    QString places = QStringLiteral("$1");
    values << s.value(i, text);
    if (!s.ownerColumn.isEmpty()) {
        columns += QStringLiteral(", ") + s.ownerColumn;
        places += QStringLiteral(", $2");
        values << s.owner;
    }
    if (const StoreError e
        = run(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(s.sqlTable, columns, places),
            values))
        return e;
    if (s.kind == ServerShape::Category && m_pending.value(0) == text)
        m_pending.clear();
    return {};
}

StoreError ServerBank::setField(
    const QString &table, const QString &field, qint64 row, const QString &text)
{
    ServerShape s;
    int i = 0;
    if (const StoreError e = this->field(table, field, &s, &i))
        return e;
    QVariantList values { s.value(i, text) };
    const QString where = s.rowCondition(row, &values);
    return run(
        QStringLiteral("UPDATE %1 SET %2 = $1%3").arg(s.sqlTable, s.columns.at(i), where), values);
}

StoreError ServerBank::removeRow(const QString &table, qint64 row)
{
    ServerShape s;
    if (const StoreError e = shape(table, &s))
        return e;
    QVariantList values;
    const QString where = s.rowCondition(row, &values);
    return run(QStringLiteral("DELETE FROM %1%2").arg(s.sqlTable, where), values);
}

StoreError ServerBank::appendRows(const QString &table, int fieldCount, qsizetype rowCount,
    const std::function<void(qsizetype row, Catalogue::Batch::Field *fields)> &fill)
{
    ServerShape s;
    if (const StoreError e = shape(table, &s))
        return e;
    if (fieldCount > s.fields.size())
        return StoreError(
            StoreError::NoSuchField, QStringLiteral("表“%1”没有这么多字段。").arg(table));
    QStringList columns;
    if (!s.ownerColumn.isEmpty())
        columns << s.ownerColumn;
    columns << s.columns.mid(0, fieldCount);
    const qsizetype perRow = columns.size();
    // libpq binds at most 65,535 values in one statement.
    const qsizetype chunk = qMax<qsizetype>(1, 30000 / perRow);
    QList<Catalogue::Batch::Field> fields(fieldCount);
    for (qsizetype start = 0; start < rowCount; start += chunk) {
        const qsizetype end = qMin(rowCount, start + chunk);
        QVariantList values;
        values.reserve((end - start) * perRow);
        QStringList rows;
        for (qsizetype row = start; row < end; ++row) {
            std::fill(fields.begin(), fields.end(), Catalogue::Batch::Field());
            fill(row, fields.data());
            QStringList places;
            if (!s.ownerColumn.isEmpty()) {
                values << s.owner;
                places << u'$' + QString::number(values.size());
            }
            for (int f = 0; f < fieldCount; ++f) {
                const Catalogue::Batch::Field &field = fields.at(f);
                QVariant v;
                if (field.number)
                    v = s.value(f, *field.number);
                else if (field.utf8.data())
                    v = s.value(f, QString::fromUtf8(field.utf8));
                else if (field.text)
                    v = s.value(f, *field.text);
                values << v;
                places << u'$' + QString::number(values.size());
            }
            rows << u'(' + places.join(u", ") + u')';
        }
        if (const StoreError e = run(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                         .arg(s.sqlTable, columns.join(u", "), rows.join(u", ")),
                values))
            return e;
    }
    return {};
}

StoreError ServerBank::goingBack(const QString &test, bool *allowed)
{
    *allowed = false;
    PgResult r;
    if (const StoreError e = run(QStringLiteral("SELECT t.going_back FROM qelvi.tests t JOIN "
                                                "qelvi.names n ON n.test_id = t.id "
                                                "WHERE n.name = $1 AND n.kind = 'test'"),
            { test }, &r))
        return e;
    *allowed = r.rows() > 0 && r.text(0, 0) == QLatin1String("t");
    return {};
}

StoreError ServerBank::setGoingBack(const QString &test, bool allowed)
{
    PgResult r;
    if (const StoreError e = run(QStringLiteral("UPDATE qelvi.tests SET going_back = $1 "
                                                "WHERE id = (SELECT test_id FROM qelvi.names "
                                                "WHERE name = $2 AND kind = 'test')"),
            { allowed, test }, &r))
        return e;
    if (r.affected() == 0)
        return StoreError(StoreError::NotFound, QStringLiteral("题库里没有测试“%1”。").arg(test));
    return {};
}

QString ServerBank::questionsVersion(const QString &test)
{
    PgResult r;
    if (run(QStringLiteral("SELECT n.test_id, md5(coalesce(string_agg(q.id || ':' || q.version, "
                           "',' ORDER BY q.id), '')) FROM qelvi.names n LEFT JOIN "
                           "qelvi.questions q ON q.test_id = n.test_id "
                           "WHERE n.name = $1 AND n.kind = 'test' GROUP BY n.test_id"),
            { test }, &r)
        || r.rows() == 0)
        return {};
    // The test's id too: a test deleted and made again under its name is another.
    return r.text(0, 0) + u'-' + r.text(0, 1);
}
