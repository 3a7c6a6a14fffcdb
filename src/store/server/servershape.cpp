#include "store/server/servershape.h"

#include "base/valuerules.h"
#include "store/server/namerules.h"
#include "store/server/serversession.h"

#include <cmath>

namespace {

QString quoted(const QString &name)
{
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

} // namespace

ServerShape ServerShape::of(Kind kind, qint64 owner)
{
    ServerShape s;
    s.kind = kind;
    s.owner = owner;
    TableDef def;
    switch (kind) {
    case None:
        return s;
    case List:
        s.sqlTable = QStringLiteral("qelvi.categories");
        def.append(BankNames::categoryField(), FieldType::Memo);
        break;
    case Category:
        s.sqlTable = QStringLiteral("qelvi.tests");
        s.ownerColumn = QStringLiteral("category_id");
        def = BankNames::categoryTable(QString());
        break;
    case Questions:
        s.sqlTable = QStringLiteral("qelvi.questions");
        s.ownerColumn = QStringLiteral("test_id");
        def = BankNames::questionTable(QString());
        break;
    case Bands:
        s.sqlTable = QStringLiteral("qelvi.bands");
        s.ownerColumn = QStringLiteral("test_id");
        def = BankNames::scoringTableDef(QString());
        break;
    }
    s.defs = def.fields;
    for (const FieldDef &f : std::as_const(def.fields)) {
        s.fields << f.name;
        // The list's and a category's one field is the row's name.
        s.columns << (kind == List || kind == Category ? QStringLiteral("name") : quoted(f.name));
    }
    return s;
}

ServerShape ServerShape::find(PgConnection &db, const QString &table, StoreError *error)
{
    *error = {};
    const PgResult r = db.exec(QStringLiteral("SELECT kind, coalesce(category_id, test_id, 0) "
                                              "FROM qelvi.names WHERE name = $1"),
        { table });
    if (!r.ok()) {
        *error = ServerErrors::toStore(r.error());
        return {};
    }
    if (r.rows() == 0)
        return {};
    const QString kind = r.text(0, 0);
    const qint64 owner = r.integer(0, 1);
    if (kind == QLatin1String("list"))
        return of(List, 0);
    if (kind == QLatin1String("category"))
        return of(Category, owner);
    if (kind == QLatin1String("test"))
        return of(Questions, owner);
    return of(Bands, owner);
}

QString ServerShape::ownerCondition(QVariantList *values) const
{
    if (ownerColumn.isEmpty())
        return {};
    values->append(owner);
    return QStringLiteral(" WHERE %1 = $%2").arg(ownerColumn).arg(values->size());
}

QString ServerShape::rowCondition(qint64 id, QVariantList *values) const
{
    values->append(id);
    QString where = QStringLiteral(" WHERE id = $%1").arg(values->size());
    if (!ownerColumn.isEmpty()) {
        values->append(owner);
        where += QStringLiteral(" AND %1 = $%2").arg(ownerColumn).arg(values->size());
    }
    return where;
}

QVariant ServerShape::value(int field, const QVariant &given) const
{
    return isSingle(field) ? ServerErrors::singleValue(given) : given;
}

QString ServerShape::text(const PgResult &result, int row, int column, int field) const
{
    if (result.isNull(row, column))
        return {};
    if (isSingle(field))
        return singleText(result.single(row, column));
    return result.text(row, column);
}

namespace ServerErrors {

StoreError toStore(const PgError &error)
{
    if (!error)
        return {};
    if (const int number = ServerNames::storeNumber(error))
        return StoreError(StoreError::Number(number), error.message);
    switch (error.kind) {
    case PgError::Busy:
        return StoreError(StoreError::ServerBusy, error.message);
    case PgError::DiskFull:
    case PgError::Refused:
    case PgError::InvalidValue:
        return StoreError(StoreError::ServerRefused, error.message);
    default:
        return StoreError(StoreError::ServerUnreachable, error.message);
    }
}

StoreError notConnected(const QString &location)
{
    PgAddress address;
    ServerSession::parse(location, &address);
    return StoreError(StoreError::ServerUnreachable,
        QStringLiteral("没有连接题库服务器“%1”：请在“程序”菜单里连接。").arg(address.display()));
}

QVariant singleValue(const QVariant &value)
{
    if (value.isNull())
        return {};
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return value;
    const float single = float(number);
    // Nine digits read back as exactly this single.
    return std::isfinite(single) ? QVariant(QString::number(single, 'g', 9)) : value;
}

} // namespace ServerErrors
