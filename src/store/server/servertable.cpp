#include "store/server/servertable.h"

#include "store/server/serverbank.h"
#include "store/server/serversession.h"

StoreError ServerTable::connect()
{
    m_db = ServerSession::connection(m_location);
    if (!m_db || !m_db->isOpen()) {
        m_inTransaction = false;
        return ServerErrors::notConnected(m_location);
    }
    return {};
}

PgResult ServerTable::exec(const QString &sql, const QVariantList &values)
{
    PgResult r = m_db->exec(sql, values);
    if (!r.ok() && !m_db->isOpen())
        m_inTransaction = false;
    return r;
}

StoreError ServerTable::open(const QString &table)
{
    if (const StoreError e = connect())
        return e;
    StoreError error;
    const ServerShape shape = ServerShape::find(*m_db, table, &error);
    if (error)
        return error;
    if (shape.kind == ServerShape::None)
        return StoreError(StoreError::NoSuchTable, QStringLiteral("找不到表“%1”。").arg(table));
    m_table = table;
    m_shape = shape;
    return {};
}

void ServerTable::close()
{
    m_table.clear();
    m_shape = {};
}

StoreError ServerTable::rowIds(QList<qint64> *ids)
{
    return column(-1, ids, nullptr);
}

StoreError ServerTable::column(int field, QList<qint64> *ids, QStringList *texts)
{
    ids->clear();
    if (texts)
        texts->clear();
    if (const StoreError e = connect())
        return e;
    QVariantList values;
    const QString where = m_shape.ownerCondition(&values);
    const QString what
        = field < 0 ? QStringLiteral("id") : QStringLiteral("id, ") + m_shape.columns.at(field);
    const PgResult r
        = exec(QStringLiteral("SELECT %1 FROM %2%3 ORDER BY id").arg(what, m_shape.sqlTable, where),
            values);
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    ids->reserve(r.rows());
    if (texts)
        texts->reserve(r.rows());
    for (int i = 0; i < r.rows(); ++i) {
        ids->append(r.integer(i, 0));
        if (texts)
            texts->append(m_shape.text(r, i, 1, field));
    }
    return {};
}

StoreError ServerTable::readRow(qint64 id, QStringList *texts, bool *found)
{
    texts->clear();
    *found = false;
    if (const StoreError e = connect())
        return e;
    QVariantList values { id };
    QString where = QStringLiteral(" WHERE id = $1");
    if (!m_shape.ownerColumn.isEmpty()) {
        values << m_shape.owner;
        where += QStringLiteral(" AND %1 = $2").arg(m_shape.ownerColumn);
    }
    // In a transaction the row is read to be written: its lock now, or ServerBusy.
    const QString lock = m_inTransaction ? QStringLiteral(" FOR UPDATE NOWAIT") : QString();
    const PgResult r = exec(QStringLiteral("SELECT %1 FROM %2%3%4")
                                .arg(m_shape.columns.join(u", "), m_shape.sqlTable, where, lock),
        values);
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    if (r.rows() == 0) {
        for (int i = 0; i < m_shape.fields.size(); ++i)
            texts->append(QString());
        return {};
    }
    *found = true;
    for (int i = 0; i < m_shape.fields.size(); ++i)
        texts->append(m_shape.text(r, 0, i, i));
    return {};
}

StoreError ServerTable::schemaVersion(qint64 *version)
{
    // The server never gives a row id again: a row at the id read is that row.
    *version = 1;
    return {};
}

QVariant ServerTable::value(int field, const QVariant &given) const
{
    return m_shape.isSingle(field) ? ServerErrors::singleValue(given) : given;
}

StoreError ServerTable::insert(const QList<int> &fields, const QVariantList &values, qint64 *id)
{
    *id = 0;
    if (const StoreError e = connect())
        return e;
    QStringList columns;
    QStringList places;
    QVariantList bound;
    if (!m_shape.ownerColumn.isEmpty()) {
        columns << m_shape.ownerColumn;
        bound << m_shape.owner;
        places << QStringLiteral("$1");
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        columns << m_shape.columns.at(fields.at(i));
        bound << value(fields.at(i), values.at(i));
        places << u'$' + QString::number(bound.size());
    }
    const QString sql = columns.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING id").arg(m_shape.sqlTable)
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING id")
              .arg(m_shape.sqlTable, columns.join(u", "), places.join(u", "));
    const PgResult r = exec(sql, bound);
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    *id = r.integer(0, 0);
    return {};
}

StoreError ServerTable::update(
    qint64 id, const QList<int> &fields, const QVariantList &values, bool *found)
{
    *found = false;
    if (const StoreError e = connect())
        return e;
    QStringList sets;
    QVariantList bound;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        bound << value(fields.at(i), values.at(i));
        sets << QStringLiteral("%1 = $%2").arg(m_shape.columns.at(fields.at(i))).arg(bound.size());
    }
    bound << id;
    QString where = QStringLiteral(" WHERE id = $%1").arg(bound.size());
    if (!m_shape.ownerColumn.isEmpty()) {
        bound << m_shape.owner;
        where += QStringLiteral(" AND %1 = $%2").arg(m_shape.ownerColumn).arg(bound.size());
    }
    const PgResult r = exec(
        QStringLiteral("UPDATE %1 SET %2%3").arg(m_shape.sqlTable, sets.join(u", "), where), bound);
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    // A row that exists but held these values already is found too.
    if (r.affected() > 0) {
        *found = true;
        return {};
    }
    QStringList texts;
    return readRow(id, &texts, found);
}

StoreError ServerTable::remove(qint64 id)
{
    if (const StoreError e = connect())
        return e;
    QVariantList bound { id };
    QString where = QStringLiteral(" WHERE id = $1");
    if (!m_shape.ownerColumn.isEmpty()) {
        bound << m_shape.owner;
        where += QStringLiteral(" AND %1 = $2").arg(m_shape.ownerColumn);
    }
    const PgResult r = exec(QStringLiteral("DELETE FROM %1%2").arg(m_shape.sqlTable, where), bound);
    return ServerErrors::toStore(r.error());
}

StoreError ServerTable::begin()
{
    if (const StoreError e = connect())
        return e;
    if (const StoreError e = ServerErrors::toStore(ServerBank::begin(*m_db).error()))
        return e;
    m_inTransaction = true;
    return {};
}

StoreError ServerTable::commit()
{
    if (const StoreError e = connect())
        return e;
    m_inTransaction = false;
    const PgResult r = exec(QStringLiteral("COMMIT"), {});
    if (r.ok())
        return {};
    const StoreError error = ServerErrors::toStore(r.error());
    rollback();
    return error;
}

void ServerTable::rollback()
{
    m_inTransaction = false;
    if (m_db && ServerSession::connection(m_location) == m_db && m_db->isOpen())
        m_db->exec(QStringLiteral("ROLLBACK"));
}

StoreError ServerTable::find(
    int field, const QVariant &key, const std::function<bool(qint64)> &accept, qint64 *id)
{
    *id = -1;
    if (const StoreError e = connect())
        return e;
    QVariantList bound;
    QString where = m_shape.ownerCondition(&bound);
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    const QString column = m_shape.columns.at(field);
    if (key.isNull()) {
        where += m_shape.isSingle(field) ? QStringLiteral("%1 IS NULL").arg(column)
                                         : QStringLiteral("(%1 IS NULL OR %1 = '')").arg(column);
    } else {
        bound << value(field, key);
        where += QStringLiteral("%1 = $%2").arg(column).arg(bound.size());
    }
    const PgResult r = exec(
        QStringLiteral("SELECT id FROM %1%2 ORDER BY id").arg(m_shape.sqlTable, where), bound);
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    for (int i = 0; i < r.rows(); ++i) {
        if (accept(r.integer(i, 0))) {
            *id = r.integer(i, 0);
            break;
        }
    }
    return {};
}

StoreError ServerTable::lastChange(qint64 id, QString *who, QDateTime *when)
{
    who->clear();
    *when = QDateTime();
    if (const StoreError e = connect())
        return e;
    const PgResult r = exec(QStringLiteral("SELECT changed_by, "
                                           "(extract(epoch FROM changed_at) * 1000)::bigint "
                                           "FROM %1 WHERE id = $1")
                                .arg(m_shape.sqlTable),
        { id });
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    if (r.rows() > 0) {
        *who = r.text(0, 0);
        *when = QDateTime::fromMSecsSinceEpoch(r.integer(0, 1));
    }
    return {};
}

StoreError ServerTable::values(int field, QList<qint64> *ids, QVariantList *values)
{
    ids->clear();
    values->clear();
    if (const StoreError e = connect())
        return e;
    QVariantList bound;
    const QString where = m_shape.ownerCondition(&bound);
    const PgResult r = exec(QStringLiteral("SELECT id, %1 FROM %2%3 ORDER BY id")
                                .arg(m_shape.columns.at(field), m_shape.sqlTable, where),
        bound);
    if (!r.ok())
        return ServerErrors::toStore(r.error());
    for (int i = 0; i < r.rows(); ++i) {
        ids->append(r.integer(i, 0));
        if (r.isNull(i, 1))
            values->append(QVariant());
        else if (m_shape.isSingle(field))
            values->append(double(r.single(i, 1)));
        else
            values->append(r.text(i, 1));
    }
    return {};
}
