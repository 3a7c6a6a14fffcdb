// Writing the history: a finished test's record, the file's other tables, removals.
#include "store/results/history.h"

#include "store/results/historyfile.h"

#include <QFileInfo>
#include <QSqlQuery>

namespace Results {

using namespace HistoryFile;

namespace {

    QString timeText(const QDateTime &at)
    {
        return at.toUTC().toString(Qt::ISODateWithMs);
    }

} // namespace

StoreError History::append(Record *record, const Work &alsoDo) const
{
    StoreError error = appendOnce(record, alsoDo);
    // A damaged history is set aside once and the record kept in a new one.
    if (damaged(error)) {
        if (!setAside(m_path))
            return error;
        error = appendOnce(record, alsoDo);
    }
    if (!error)
        tellLink(m_path);
    return error;
}

namespace {

    // Puts one record and its answers into the open transaction; sets record->id.
    StoreError insert(Connection &c, Record *record)
    {
        QSqlQuery insert(c.db());
        if (const StoreError e = c.exec(insert,
                QStringLiteral("INSERT INTO results (taken_at, test, category, total, evaluation, "
                               "result_text, bank, version, taker, band) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                { timeText(record->takenAt), record->test, record->category, record->total,
                    record->evaluation, record->resultText, record->bank, record->version,
                    record->taker, record->band }))
            return e;
        const qint64 id = insert.lastInsertId().toLongLong();
        for (const Answer &a : std::as_const(record->answers)) {
            if (const StoreError e
                = c.exec(QStringLiteral("INSERT INTO answers (result_id, question, question_text, "
                                        "option, option_text, score) VALUES (?, ?, ?, ?, ?, ?)"),
                    { id, a.question, a.questionText, a.option, a.optionText, a.score }))
                return e;
        }
        record->id = id;
        return {};
    }

} // namespace

StoreError History::appendOnce(Record *record, const Work &alsoDo) const
{
    return inTransaction(m_path, [&](Connection &c) -> StoreError {
        if (const StoreError e = prepareToWrite(c))
            return e;
        if (const StoreError e = insert(c, record))
            return e;
        // alsoDo may name the record by its id.
        if (alsoDo)
            if (const StoreError e = alsoDo(c.db())) {
                record->id = 0;
                return e;
            }
        return {};
    });
}

StoreError History::appendAll(QList<Record> *records, const Work &alsoDo) const
{
    return inTransaction(m_path, [&](Connection &c) -> StoreError {
        if (const StoreError e = prepareToWrite(c))
            return e;
        for (Record &record : *records)
            if (const StoreError e = insert(c, &record))
                return e;
        return alsoDo ? alsoDo(c.db()) : StoreError();
    });
}

StoreError History::write(const Work &work) const
{
    return inTransaction(m_path, [&](Connection &c) { return work(c.db()); });
}

StoreError History::remove(const QList<qint64> &ids) const
{
    if (ids.isEmpty() || !QFileInfo::exists(m_path))
        return {};
    return inTransaction(m_path, [&](Connection &c) -> StoreError {
        for (const qint64 id : ids) {
            if (const StoreError e
                = c.exec(QStringLiteral("DELETE FROM answers WHERE result_id = ?"), { id }))
                return e;
            if (const StoreError e
                = c.exec(QStringLiteral("DELETE FROM results WHERE id = ?"), { id }))
                return e;
        }
        return {};
    });
}

} // namespace Results
