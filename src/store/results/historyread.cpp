// Reading the history: whole records, and what a list of many records shows.
#include "store/results/history.h"

#include "base/valuerules.h"
#include "store/bankfile.h"
#include "store/results/historyfile.h"

#include <QHash>
#include <QSqlError>
#include <sqlite3.h>

namespace Results {

using namespace HistoryFile;

namespace {

    QDateTime timeFrom(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
    }

    QByteArrayView bytesOf(sqlite3_stmt *stmt, int column)
    {
        return { reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
            sqlite3_column_bytes(stmt, column) };
    }

    // A time as kept (2026-12-09T08:30:00.000Z) in milliseconds since the epoch, without
    // a QDateTime each: turning one into local time asks the system for its time zone.
    // Any other form is read as a QDateTime reads it.
    qint64 msecsFrom(QByteArrayView text)
    {
        const auto number = [&](int at, int digits) {
            int n = 0;
            for (int i = at; i < at + digits; ++i) {
                if (text[i] < '0' || text[i] > '9')
                    return -1;
                n = n * 10 + (text[i] - '0');
            }
            return n;
        };
        if (text.size() == 24 && text[4] == '-' && text[7] == '-' && text[10] == 'T'
            && text[13] == ':' && text[16] == ':' && text[19] == '.' && text[23] == 'Z') {
            const int year = number(0, 4);
            const QDate date(year, number(5, 2), number(8, 2));
            const int hour = number(11, 2);
            const int minute = number(14, 2);
            const int second = number(17, 2);
            const int msec = number(20, 3);
            if (year > 0 && date.isValid() && hour >= 0 && hour < 24 && minute >= 0 && minute < 60
                && second >= 0 && second < 60 && msec >= 0)
                return (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400000
                    + ((hour * 60 + minute) * 60 + second) * 1000LL + msec;
        }
        return QDateTime::fromString(QString::fromUtf8(text), Qt::ISODateWithMs)
            .toMSecsSinceEpoch();
    }

    // What a list shows of each record: the first fields, then the added columns, read as
    // their defaults where an older file lacks them.
    QString listedFields(QSqlDatabase &db)
    {
        const QStringList have = columnsOfResults(db);
        QString out = QStringLiteral("id, taken_at, test, category, total, evaluation");
        for (const auto &column : addedColumns) {
            const QString name = QLatin1String(column.name);
            const QString missing
                = name == QLatin1String("band") ? QStringLiteral("0") : QStringLiteral("''");
            out += QStringLiteral(", ") + (have.contains(name) ? name : missing);
        }
        return out;
    }
    const int resultTextField = 10; // the field after the listed ones

    const QString newestFirst = QStringLiteral(" ORDER BY taken_at DESC, id DESC");

    // A record from a query that selects the listed fields first.
    Record listedRecord(const QSqlQuery &query)
    {
        Record r;
        r.id = query.value(0).toLongLong();
        r.takenAt = timeFrom(query.value(1).toString());
        r.test = query.value(2).toString();
        r.category = query.value(3).toString();
        r.total = query.value(4).toString();
        r.evaluation = query.value(5).toString();
        r.bank = query.value(6).toString();
        r.version = query.value(7).toString();
        r.taker = query.value(8).toString();
        r.band = query.value(9).toInt();
        return r;
    }

    // A record with its result text, from a query that selects it after the listed fields.
    Record wholeRecord(const QSqlQuery &query)
    {
        Record r = listedRecord(query);
        r.resultText = query.value(resultTextField).toString();
        return r;
    }

    Answer answerFrom(const QSqlQuery &query)
    {
        return { query.value(1).toInt(), query.value(2).toString(), query.value(3).toString(),
            query.value(4).toString(), query.value(5).toString() };
    }

    const QString answerFields
        = QStringLiteral("SELECT result_id, question, question_text, option, option_text, score "
                         "FROM answers");

    // A WHERE clause for the records of the test and taker (each left out when empty),
    // with its values; false when the file cannot hold any (no taker column yet).
    bool whereOf(QSqlDatabase &db, const QString &test, const QString &taker, QString *where,
        QVariantList *values)
    {
        QStringList terms;
        if (!test.isEmpty()) {
            terms << QStringLiteral("test = ?");
            *values << test;
        }
        if (!taker.isEmpty()) {
            if (!columnsOfResults(db).contains(QLatin1String("taker")))
                return false;
            terms << QStringLiteral("taker = ?");
            *values << taker;
        }
        if (!terms.isEmpty())
            *where = QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
        return true;
    }

    // The values of the first column of every row.
    template<class T>
    QList<T> firstColumn(Reading &file, const QString &sql, const QVariantList &values = {})
    {
        QList<T> out;
        if (!file.rows(sql, values, [&](const QSqlQuery &q) { out << q.value(0).value<T>(); }))
            return {};
        return out;
    }

} // namespace

QList<Record> History::records(StoreError *error) const
{
    return recordsOf({}, error);
}

QList<Record> History::recordsOf(const QString &test, StoreError *error) const
{
    Reading file(m_path, error);
    if (!file)
        return {};
    const QVariantList values = test.isEmpty() ? QVariantList() : QVariantList { test };
    QList<Record> out;
    QHash<qint64, qsizetype> index;
    if (!file.rows(
            QStringLiteral("SELECT %1, result_text FROM results").arg(listedFields(file.db()))
                + (test.isEmpty() ? QString() : QStringLiteral(" WHERE test = ?")) + newestFirst,
            values, [&](const QSqlQuery &q) {
                index.insert(q.value(0).toLongLong(), out.size());
                out.append(wholeRecord(q));
            }))
        return {};
    if (!file.rows(answerFields
                + (test.isEmpty() ? QString()
                                  : QStringLiteral(" WHERE result_id IN (SELECT id FROM results "
                                                   "WHERE test = ?)"))
                + QStringLiteral(" ORDER BY result_id, question"),
            values, [&](const QSqlQuery &q) {
                const auto at = index.constFind(q.value(0).toLongLong());
                if (at != index.constEnd())
                    out[*at].answers.append(answerFrom(q));
            }))
        return {};
    return out;
}

QList<qint64> History::ids(const QString &test, StoreError *error) const
{
    return ids(test, {}, error);
}

QList<qint64> History::ids(const QString &test, const QString &taker, StoreError *error) const
{
    Reading file(m_path, error);
    if (!file)
        return {};
    QString where;
    QVariantList values;
    if (!whereOf(file.db(), test, taker, &where, &values))
        return {};
    return firstColumn<qint64>(
        file, QStringLiteral("SELECT id FROM results") + where + newestFirst, values);
}

QList<Record> History::listed(const QList<qint64> &ids, StoreError *error) const
{
    if (ids.isEmpty())
        return {};
    Reading file(m_path, error);
    if (!file)
        return {};
    QSqlQuery &query = file.query();
    if (!query.prepare(
            QStringLiteral("SELECT %1 FROM results WHERE id = ?").arg(listedFields(file.db())))) {
        file.fail(query.lastError());
        return {};
    }
    QList<Record> out;
    out.reserve(ids.size());
    for (const qint64 id : ids) {
        query.bindValue(0, id);
        if (!query.exec()) {
            file.fail(query.lastError());
            return {};
        }
        if (query.next())
            out.append(listedRecord(query));
        query.finish();
    }
    return out;
}

QList<Total> History::totals(const QString &test, const QString &version, StoreError *error) const
{
    Reading file(m_path, error);
    if (!file)
        return {};
    const bool versions = columnsOfResults(file.db()).contains(QLatin1String("version"));
    if (!version.isEmpty() && !versions)
        return {}; // kept before results named their version: none is of this one
    // A chart of a hundred thousand records: read through SQLite's own interface, each
    // time parsed from its bytes.
    sqlite3 *db = BankFile::sqliteHandle(file.db());
    sqlite3_stmt *stmt = nullptr;
    const char *sql = version.isEmpty()
        ? "SELECT taken_at, total FROM results WHERE test = ?1 ORDER BY taken_at, id"
        : "SELECT taken_at, total FROM results WHERE test = ?1 AND version = ?2 "
          "ORDER BY taken_at, id";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        file.fail(db);
        return {};
    }
    const QByteArray name = test.toUtf8();
    const QByteArray of = version.toUtf8();
    sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, of.constData(), int(of.size()), SQLITE_STATIC);
    QList<Total> out;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        out.append({ msecsFrom(bytesOf(stmt, 0)), val(QString::fromUtf8(bytesOf(stmt, 1))) });
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        file.fail(db);
        return {};
    }
    return out;
}

Record History::record(qint64 id, StoreError *error) const
{
    Reading file(m_path, error);
    if (!file)
        return {};
    QSqlQuery &query = file.query();
    if (!file.run(QStringLiteral("SELECT %1, result_text FROM results WHERE id = ?")
                      .arg(listedFields(file.db())),
            { id })
        || !query.next())
        return {};
    Record r = wholeRecord(query);
    if (!file.rows(answerFields + QStringLiteral(" WHERE result_id = ? ORDER BY question"), { id },
            [&](const QSqlQuery &q) { r.answers.append(answerFrom(q)); }))
        return {};
    return r;
}

QStringList History::tests(StoreError *error) const
{
    Reading file(m_path, error);
    if (!file)
        return {};
    return firstColumn<QString>(file, QStringLiteral("SELECT DISTINCT test FROM results"));
}

QStringList History::takers(const QString &test, StoreError *error) const
{
    Reading file(m_path, error);
    if (!file || !columnsOfResults(file.db()).contains(QLatin1String("taker")))
        return {};
    return firstColumn<QString>(file,
        QStringLiteral("SELECT DISTINCT taker FROM results WHERE taker <> ''")
            + (test.isEmpty() ? QString() : QStringLiteral(" AND test = ?")),
        test.isEmpty() ? QVariantList() : QVariantList { test });
}

} // namespace Results
