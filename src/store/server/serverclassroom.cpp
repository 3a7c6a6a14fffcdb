// The classroom of a server bank: roles, publishing, results handed in and kept.
#include "store/server/serverbank.h"

#include <QTimeZone>

namespace {

// A refusal of qelvi.submit: its own sentence (written for the taker) and its kind.
StoreError handInError(const PgError &error)
{
    if (error.kind != PgError::Refused || !error.sqlstate.startsWith(QLatin1String("QE")))
        return ServerErrors::toStore(error);
    return StoreError(error.sqlstate == QLatin1String("QE002") ? StoreError::VersionChanged
                                                               : StoreError::HandInRefused,
        error.detail);
}

} // namespace

StoreError ServerBank::role(Classroom::Role *role)
{
    *role = Classroom::Role::Author;
    PgResult r;
    if (const StoreError e
        = run(QStringLiteral("SELECT pg_has_role(session_user, 'qelvi_authors', 'USAGE'), "
                             "pg_has_role(session_user, 'qelvi_takers', 'USAGE')"),
            {}, &r))
        return e;
    if (r.text(0, 0) != QLatin1String("t") && r.text(0, 1) == QLatin1String("t"))
        *role = Classroom::Role::Taker;
    return {};
}

StoreError ServerBank::classTests(QList<Classroom::TestState> *tests)
{
    tests->clear();
    PgResult r;
    if (const StoreError e = run(QStringLiteral("SELECT c.name, t.name, t.published, t.anonymous, "
                                                "t.content_version, t.id FROM qelvi.tests t "
                                                "JOIN qelvi.categories c ON c.id = t.category_id "
                                                "ORDER BY c.id, t.id"),
            {}, &r))
        return e;
    for (int row = 0; row < r.rows(); ++row)
        tests->append({ r.integer(row, 5), r.text(row, 0), r.text(row, 1),
            r.text(row, 2) == QLatin1String("t"), r.text(row, 3) == QLatin1String("t"),
            r.integer(row, 4) });
    return {};
}

StoreError ServerBank::setClassFlag(const QString &test, ClassFlag flag, bool on)
{
    const QString column
        = flag == ClassFlag::Published ? QStringLiteral("published") : QStringLiteral("anonymous");
    PgResult r;
    if (const StoreError e = run(QStringLiteral("UPDATE qelvi.tests SET %1 = $1 "
                                                "WHERE id = (SELECT test_id FROM qelvi.names "
                                                "WHERE name = $2 AND kind = 'test')")
                                     .arg(column),
            { on, test }, &r))
        return e;
    if (r.affected() == 0)
        return StoreError(StoreError::NotFound, QStringLiteral("题库里没有测试“%1”。").arg(test));
    return {};
}

StoreError ServerBank::handInKey(const QString &test, Classroom::Key *key)
{
    *key = {};
    PgResult r;
    if (const StoreError e = run(QStringLiteral("SELECT t.id, t.content_version FROM qelvi.tests t "
                                                "JOIN qelvi.names n ON n.test_id = t.id "
                                                "WHERE n.name = $1 AND n.kind = 'test' "
                                                "AND t.published"),
            { test }, &r))
        return e;
    if (r.rows() > 0)
        *key = { r.integer(0, 0), r.integer(0, 1), m_location };
    return {};
}

StoreError ServerBank::handIn(const QString &submission, const Classroom::Key &key,
    const QString &answers, Classroom::Scored *scored)
{
    *scored = {};
    if (!m_db)
        return ServerErrors::notConnected(m_location);
    // The letters A .. F only, so the array's text needs no quoting.
    QStringList letters;
    for (const QChar c : answers)
        letters << QString(c);
    const PgResult r = m_db->exec(
        QStringLiteral("SELECT total, evaluation, band FROM qelvi.submit($1, $2, $3, $4)"),
        { submission, key.test, key.version, u'{' + letters.join(u',') + u'}' });
    if (!r.ok())
        return handInError(r.error());
    *scored = { r.single(0, 0), r.text(0, 1), int(r.integer(0, 2)) };
    return {};
}

StoreError ServerBank::classResults(qint64 after, int limit, QList<Classroom::Result> *results)
{
    results->clear();
    PgResult r;
    if (const StoreError e
        = run(QStringLiteral(
                  "SELECT id, test_name, test_version, taker, "
                  "to_char(taken_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS'), "
                  "to_char(taken_on, 'YYYY-MM-DD'), array_to_string(answers, ''), total, "
                  "evaluation, band FROM qelvi.results WHERE id > $1 ORDER BY id LIMIT $2"),
            { after, limit }, &r))
        return e;
    results->reserve(r.rows());
    for (int row = 0; row < r.rows(); ++row) {
        Classroom::Result result;
        result.id = r.integer(row, 0);
        result.test = r.text(row, 1);
        result.version = r.integer(row, 2);
        result.taker = r.text(row, 3);
        if (!r.isNull(row, 4)) {
            result.takenAt = QDateTime::fromString(r.text(row, 4), Qt::ISODateWithMs);
            result.takenAt.setTimeZone(QTimeZone::utc());
        }
        result.day = QDate::fromString(r.text(row, 5), Qt::ISODate);
        result.answers = r.text(row, 6);
        result.total = r.single(row, 7);
        result.evaluation = r.text(row, 8);
        result.band = int(r.integer(row, 9));
        results->append(result);
    }
    return {};
}
