#include "store/results/outbox.h"

#include "base/valuerules.h"
#include "store/results/historyfile.h"
#include "store/results/keeping.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace Results::Outbox {

using namespace HistoryFile;

namespace {

    const char *const schema = "CREATE TABLE IF NOT EXISTS outbox ("
                               " submission TEXT NOT NULL PRIMARY KEY,"
                               " result_id INTEGER NOT NULL,"
                               " bank TEXT NOT NULL,"
                               " test TEXT NOT NULL,"
                               " test_id INTEGER NOT NULL,"
                               " version INTEGER NOT NULL,"
                               " answers TEXT NOT NULL,"
                               " total TEXT NOT NULL,"
                               " state INTEGER NOT NULL," // State
                               " message TEXT NOT NULL)";

    const QString fields = QStringLiteral(
        "submission, result_id, bank, test, test_id, version, answers, total, state, message");

    Entry entryFrom(const QSqlQuery &q)
    {
        Entry e;
        e.submission = q.value(0).toString();
        e.record = q.value(1).toLongLong();
        e.bank = q.value(2).toString();
        e.test = q.value(3).toString();
        e.key = { q.value(4).toLongLong(), q.value(5).toLongLong() };
        e.answers = q.value(6).toString();
        e.total = q.value(7).toString();
        const int state = q.value(8).toInt();
        e.state = state >= 0 && state <= int(State::Differs) ? State(state) : State::Refused;
        e.message = q.value(9).toString();
        return e;
    }

    // Whether the file has an outbox at all (a history kept on the bank file has none).
    bool hasOutbox(Reading &file)
    {
        bool found = false;
        file.rows(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'outbox'"), {},
            [&](const QSqlQuery &) { found = true; });
        return found;
    }

    StoreError settle(const QString &path, const Entry &entry)
    {
        return History(path).write([&](QSqlDatabase &db) -> StoreError {
            QSqlQuery q(db);
            q.prepare(QStringLiteral(
                "UPDATE outbox SET state = ?, message = coalesce(?, '') WHERE submission = ?"));
            q.addBindValue(int(entry.state));
            q.addBindValue(entry.message);
            q.addBindValue(entry.submission);
            return q.exec() ? StoreError() : failure(q.lastError(), path);
        });
    }

} // namespace

Entry entryFor(const QString &bank, const QString &test, const Classroom::Key &key,
    const QString &answers, const QString &total)
{
    Entry e;
    e.submission = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.bank = bank;
    e.test = test;
    e.key = key;
    e.answers = answers;
    e.total = total;
    return e;
}

History::Work put(const Entry &entry, const Record *record)
{
    return [entry, record](QSqlDatabase &db) -> StoreError {
        QSqlQuery q(db);
        if (!q.exec(QLatin1String(schema)))
            return failure(q.lastError(), db.databaseName());
        q.prepare(QStringLiteral(
            "INSERT INTO outbox (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, coalesce(?, ''))")
                      .arg(fields));
        for (const QVariant &v :
            QVariantList { entry.submission, record->id, entry.bank, entry.test, entry.key.test,
                entry.key.version, entry.answers, entry.total, int(entry.state), entry.message })
            q.addBindValue(v);
        if (!q.exec())
            return failure(q.lastError(), db.databaseName());
        return {};
    };
}

QHash<qint64, Entry> entries(const QString &path, const QList<qint64> &records, StoreError *error)
{
    QHash<qint64, Entry> out;
    Reading file(path, error);
    if (!file || !hasOutbox(file))
        return out;
    QString sql = QStringLiteral("SELECT %1 FROM outbox").arg(fields);
    QVariantList values;
    if (!records.isEmpty()) {
        QStringList marks;
        for (const qint64 id : records) {
            marks << QStringLiteral("?");
            values << id;
        }
        sql += QStringLiteral(" WHERE result_id IN (%1)").arg(marks.join(u','));
    }
    file.rows(sql, values, [&](const QSqlQuery &q) {
        const Entry e = entryFrom(q);
        out.insert(e.record, e);
    });
    return out;
}

StoreError handInOne(Entry *entry)
{
    Classroom::Scored scored;
    const StoreError e
        = Classroom::handIn(entry->bank, entry->submission, entry->key, entry->answers, &scored);
    switch (e.number()) {
    case StoreError::None:
        if (singleText(scored.total) == entry->total) {
            entry->state = State::Sent;
        } else {
            entry->state = State::Differs;
            entry->message
                = QStringLiteral("题库服务器算出的总分是 %1，与测试结束时显示的 %2 不同。")
                      .arg(singleText(scored.total), entry->total);
        }
        return {};
    case StoreError::VersionChanged:
        entry->state = State::Changed;
        entry->message = e.message();
        return {};
    case StoreError::HandInRefused:
        entry->state = State::Refused;
        entry->message = e.message();
        return {};
    default:
        return e;
    }
}

bool any(const QString &path)
{
    StoreError error;
    Reading file(path, &error);
    bool found = false;
    if (file && hasOutbox(file))
        file.rows(QStringLiteral("SELECT 1 FROM outbox LIMIT 1"), {},
            [&](const QSqlQuery &) { found = true; });
    return found;
}

Round handIn(const QString &path, const QString &bank)
{
    Round round;
    QList<Entry> waiting;
    {
        Reading file(path, &round.error);
        if (!file || !hasOutbox(file))
            return round;
        file.rows(QStringLiteral("SELECT %1 FROM outbox WHERE bank = ? AND state = ? "
                                 "ORDER BY result_id")
                      .arg(fields),
            { bank, int(State::Waiting) }, [&](const QSqlQuery &q) { waiting << entryFrom(q); });
    }
    round.waiting = int(waiting.size());
    // The history window shows what became of them, once a round.
    const auto tell = qScopeGuard([&] {
        if (round.waiting < waiting.size())
            emit Keeping::notifier()->handedIn();
    });
    for (Entry &entry : waiting) {
        if (const StoreError e = handInOne(&entry)) {
            round.error = e; // the server out of reach, busy, or refusing the call: all wait
            return round;
        }
        // Handed in: what became of it is kept, so it is never handed in again. Should
        // that fail, the next round hands it in once more and finds the same result.
        if (const StoreError kept = settle(path, entry)) {
            round.error = kept;
            return round;
        }
        --round.waiting;
        if (entry.state == State::Sent)
            ++round.sent;
        else
            round.ended << entry;
    }
    return round;
}

QString stateText(State state)
{
    switch (state) {
    case State::Waiting:
        return QStringLiteral("等待交到服务器");
    case State::Sent:
        return QStringLiteral("已交到服务器");
    case State::Changed:
        return QStringLiteral("测试已改过，未计分");
    case State::Refused:
        return QStringLiteral("服务器未收");
    case State::Differs:
        return QStringLiteral("服务器总分不同");
    }
    return {};
}

} // namespace Results::Outbox
