// Reading the history: whole records, and what a list of many records shows.
#include "store/results/history.h"

#include "store/results/historyfile.h"

#include <QHash>
#include <QSqlError>

namespace Results {

using namespace HistoryFile;

namespace {

    QDateTime timeFrom(const QString &text)
    {
        return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
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

QList<Record> History::totals(const QString &test, StoreError *error) const
{
    Reading file(m_path, error);
    if (!file)
        return {};
    QString where;
    QVariantList values;
    if (!whereOf(file.db(), test, {}, &where, &values))
        return {};
    const QString version = columnsOfResults(file.db()).contains(QLatin1String("version"))
        ? QStringLiteral("version")
        : QStringLiteral("''");
    QList<Record> out;
    if (!file.rows(QStringLiteral("SELECT taken_at, total, %1 FROM results").arg(version) + where
                + newestFirst,
            values, [&](const QSqlQuery &q) {
                Record r;
                r.takenAt = timeFrom(q.value(0).toString());
                r.total = q.value(1).toString();
                r.version = q.value(2).toString();
                out.append(r);
            }))
        return {};
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
