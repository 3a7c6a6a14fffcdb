#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <cstring>

// Banks for the exchange tests, read and written on connections of their own so
// that the program's bank connection is left alone.
namespace ExchangeBanks {

using namespace Qt::StringLiterals;

inline QString quote(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

template<class Work>
void withDatabase(const QString &path, Work work)
{
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open())
            work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Writes the bank that a fixture manifest describes: every table, column and row.
inline bool fromManifest(const QString &manifest, const QString &path)
{
    QFile file(manifest);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonArray tables = QJsonDocument::fromJson(file.readAll()).object()[u"tables"].toArray();
    bool ok = !tables.isEmpty();
    withDatabase(path, [&](QSqlDatabase &db) {
        db.transaction();
        for (const QJsonValue &t : tables) {
            const QJsonObject table = t.toObject();
            QStringList columns, marks;
            for (const QJsonValue &c : table[u"columns"].toArray()) {
                const bool single = c[u"type"].toString() == QLatin1String("FLOAT");
                columns << quote(c[u"name"].toString()) + (single ? u" REAL"_s : u" TEXT"_s);
                marks << u"?"_s;
            }
            QSqlQuery q(db);
            ok = ok
                && q.exec(u"CREATE TABLE %1 (%2)"_s.arg(
                    quote(table[u"name"].toString()), columns.join(u", "_s)));
            ok = ok
                && q.prepare(u"INSERT INTO %1 VALUES (%2)"_s.arg(
                    quote(table[u"name"].toString()), marks.join(u',')));
            for (const QJsonValue &r : table[u"rows"].toArray()) {
                const QJsonArray row = r.toArray();
                for (int i = 0; i < row.size(); ++i)
                    q.bindValue(i, row[i].isNull() ? QVariant() : row[i].toVariant());
                ok = ok && q.exec();
            }
        }
        db.commit();
    });
    return ok;
}

// Every table of a bank, by name, with its columns and every value: NULL, text as
// it is, a number by the bits of its double.
inline QStringList dump(const QString &path)
{
    QStringList out;
    withDatabase(path, [&](QSqlDatabase &db) {
        QSqlQuery names(db);
        names.exec(u"SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"_s);
        QStringList tables;
        while (names.next())
            tables << names.value(0).toString();
        for (const QString &table : tables) {
            QSqlQuery q(db);
            q.exec(u"SELECT name || ' ' || type FROM pragma_table_info(%1)"_s.arg(
                u'\'' + QString(table).replace(u'\'', u"''"_s) + u'\''));
            QStringList columns;
            while (q.next())
                columns << q.value(0).toString();
            out << u"table "_s + table + u" ("_s + columns.join(u", "_s) + u')';
            q.exec(u"SELECT * FROM %1 ORDER BY rowid"_s.arg(quote(table)));
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < columns.size(); ++i) {
                    const QVariant v = q.value(i);
                    if (v.isNull()) {
                        row << u"NULL"_s;
                    } else if (v.metaType().id() == QMetaType::Double) {
                        const double d = v.toDouble();
                        quint64 bits;
                        std::memcpy(&bits, &d, sizeof bits);
                        row << u"real:"_s + QString::number(bits, 16);
                    } else {
                        row << QString::fromLatin1(v.metaType().name()) + u':' + v.toString();
                    }
                }
                out << row.join(u" | "_s);
            }
        }
    });
    return out;
}

inline QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace ExchangeBanks
