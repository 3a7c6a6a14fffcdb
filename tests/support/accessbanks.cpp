#include "accessbanks.h"

#include "formats/access2000/jetbank.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <bit>
#include <sqlite3.h>

namespace {

QString where(const QString &table, qsizetype row, const QString &field)
{
    return QStringLiteral("%1, row %2, %3").arg(table).arg(row + 1).arg(field);
}

// One stored value against its manifest value; empty when they agree.
QString compareValue(sqlite3_stmt *stmt, int column, const QString &type, const QJsonValue &want)
{
    const int stored = sqlite3_column_type(stmt, column);
    if (want.isNull())
        return stored == SQLITE_NULL ? QString() : QStringLiteral("NULL expected");
    if (type == QLatin1String("FLOAT")) {
        if (stored != SQLITE_FLOAT)
            return QStringLiteral("a REAL value expected, storage class %1").arg(stored);
        const double got = sqlite3_column_double(stmt, column);
        if (std::bit_cast<quint64>(got) != std::bit_cast<quint64>(want.toDouble()))
            return QStringLiteral("%1 instead of %2")
                .arg(QString::number(got, 'g', 17), QString::number(want.toDouble(), 'g', 17));
        return {};
    }
    if (stored != SQLITE_TEXT)
        return QStringLiteral("text expected, storage class %1").arg(stored);
    const QString got
        = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
            sqlite3_column_bytes(stmt, column));
    if (got != want.toString())
        return QStringLiteral("“%1” instead of “%2”").arg(got.left(80), want.toString().left(80));
    return {};
}

QString compareTable(sqlite3 *db, const QJsonObject &table)
{
    const QString name = table.value(QLatin1String("name")).toString();
    const QJsonArray columns = table.value(QLatin1String("columns")).toArray();
    const QJsonArray rows = table.value(QLatin1String("rows")).toArray();

    sqlite3_stmt *info = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT name, type FROM pragma_table_info(?1) ORDER BY cid", -1, &info, nullptr);
    const QByteArray utf8Name = name.toUtf8();
    sqlite3_bind_text(info, 1, utf8Name.constData(), int(utf8Name.size()), SQLITE_TRANSIENT);
    QStringList fieldNames, types;
    while (sqlite3_step(info) == SQLITE_ROW) {
        fieldNames << QString::fromUtf8(
            reinterpret_cast<const char *>(sqlite3_column_text(info, 0)));
        types << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info, 1)));
    }
    sqlite3_finalize(info);
    if (fieldNames.size() != columns.size())
        return QStringLiteral("%1: %2 fields instead of %3")
            .arg(name)
            .arg(fieldNames.size())
            .arg(columns.size());
    QStringList jetTypes;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        const QJsonObject col = columns.at(c).toObject();
        const QString jetType = col.value(QLatin1String("type")).toString();
        jetTypes << jetType;
        const QString sqlType
            = jetType == QLatin1String("FLOAT") ? QStringLiteral("REAL") : QStringLiteral("TEXT");
        if (fieldNames.at(c) != col.value(QLatin1String("name")).toString()
            || types.at(c) != sqlType)
            return QStringLiteral("%1: field %2 is “%3” %4")
                .arg(name)
                .arg(c + 1)
                .arg(fieldNames.at(c), types.at(c));
    }

    QStringList quoted;
    for (QString f : fieldNames)
        quoted << u'"' + f.replace(u'"', QStringLiteral("\"\"")) + u'"';
    QString table_ = name;
    const QByteArray sql = QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                               .arg(quoted.join(u','), table_.replace(u'"', QStringLiteral("\"\"")))
                               .toUtf8();
    sqlite3_stmt *select = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &select, nullptr) != SQLITE_OK)
        return QStringLiteral("%1: %2").arg(name, QString::fromUtf8(sqlite3_errmsg(db)));
    qsizetype row = 0;
    QString problem;
    while (problem.isEmpty() && sqlite3_step(select) == SQLITE_ROW) {
        if (row >= rows.size()) {
            problem = QStringLiteral("%1: more rows than %2").arg(name).arg(rows.size());
            break;
        }
        const QJsonArray want = rows.at(row).toArray();
        for (int c = 0; c < fieldNames.size() && problem.isEmpty(); ++c) {
            const QString difference = compareValue(select, c, jetTypes.at(c), want.at(c));
            if (!difference.isEmpty())
                problem = where(name, row, fieldNames.at(c)) + QStringLiteral(": ") + difference;
        }
        ++row;
    }
    sqlite3_finalize(select);
    if (problem.isEmpty() && row != rows.size())
        problem = QStringLiteral("%1: %2 rows instead of %3").arg(name).arg(row).arg(rows.size());
    return problem;
}

} // namespace

namespace AccessBanks {

QString fixture(const QString &file)
{
    const QString where = QStringLiteral(QELVI_ACCESS_FIXTURES "/") + file;
    if (!QFileInfo(where).isFile())
        qFatal("test fixture missing: %s", qPrintable(where));
    return where;
}

QString path(const QString &name)
{
    return fixture(name + QStringLiteral(".mdb"));
}

QJsonObject manifest(const QString &name)
{
    QFile file(fixture(name + QStringLiteral(".json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool copyTo(const QString &name, const QString &file)
{
    QFile::remove(file);
    return QFile::copy(path(name), file)
        && QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

QString compare(const QString &bank, const QJsonObject &manifest)
{
    const QJsonArray tables = manifest.value(QLatin1String("tables")).toArray();
    if (tables.isEmpty())
        return QStringLiteral("no manifest");
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(bank.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("cannot open ") + bank;
    }
    QStringList names;
    sqlite3_stmt *list = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid", -1,
        &list, nullptr);
    while (list && sqlite3_step(list) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(list, 0)));
    sqlite3_finalize(list);
    QStringList wanted;
    for (const QJsonValue &t : tables)
        wanted << t.toObject().value(QLatin1String("name")).toString();
    QString problem;
    if (names != wanted)
        problem = QStringLiteral("tables %1 instead of %2")
                      .arg(names.join(QStringLiteral(" | ")), wanted.join(QStringLiteral(" | ")));
    for (qsizetype i = 0; problem.isEmpty() && i < tables.size(); ++i)
        problem = compareTable(db, tables.at(i).toObject());
    sqlite3_close(db);
    return problem;
}

} // namespace AccessBanks

namespace {
// A test program that reads Access banks has them converted as the program does.
void installConverter()
{
    JetBank::install();
}
} // namespace
Q_CONSTRUCTOR_FUNCTION(installConverter)
