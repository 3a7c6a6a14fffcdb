#include "store/results/classcopy.h"

#include "base/programfolder.h"
#include "base/valuerules.h"
#include "store/classroom.h"
#include "store/results/history.h"
#include "store/results/historyfile.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>

namespace Results::ClassCopy {

namespace {

    constexpr int kBatch = 2000;

    // The last server result copied; 0 before the first.
    qint64 copiedUpTo(const QString &path, const QString &bank, StoreError *error)
    {
        qint64 last = 0;
        HistoryFile::Reading file(path, error);
        if (!file)
            return 0;
        bool hasTable = false;
        file.rows(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'class_sync'"), {},
            [&](const QSqlQuery &) { hasTable = true; });
        if (hasTable)
            file.rows(QStringLiteral("SELECT last FROM class_sync WHERE bank = ?"), { bank },
                [&](const QSqlQuery &q) { last = q.value(0).toLongLong(); });
        return last;
    }

    Record recordOf(const Classroom::Result &r, const QString &bank, const TextOf &resultText)
    {
        Record record;
        // An anonymous result keeps its day only.
        record.takenAt = r.takenAt.isValid() ? r.takenAt.toLocalTime() : r.day.startOfDay();
        record.test = r.test;
        record.total = singleText(r.total);
        record.evaluation = r.evaluation;
        record.resultText = resultText(r.total, r.evaluation);
        for (qsizetype i = 0; i < r.answers.size(); ++i)
            record.answers.append(
                { int(i) + 1, QString(), QString(r.answers.at(i)), QString(), QString() });
        record.bank = bank;
        record.version = QStringLiteral("第%1版").arg(r.version);
        record.taker = r.taker.isEmpty() ? QStringLiteral("（匿名）") : r.taker;
        record.band = r.band;
        return record;
    }

} // namespace

QString pathFor(const QString &bank)
{
    const QByteArray hash = QCryptographicHash::hash(bank.toUtf8(), QCryptographicHash::Sha256);
    return programFile(
        QStringLiteral("class-%1.db").arg(QString::fromLatin1(hash.toHex().left(16))));
}

StoreError update(const QString &bank, const TextOf &resultText, int *added)
{
    *added = 0;
    const QString path = pathFor(bank);
    StoreError error;
    qint64 last = copiedUpTo(path, bank, &error);
    if (error)
        return error;
    for (;;) {
        QList<Classroom::Result> results;
        if (const StoreError e = Classroom::results(bank, last, kBatch, &results))
            return e;
        if (results.isEmpty())
            return {};
        QList<Record> records;
        records.reserve(results.size());
        for (const Classroom::Result &r : std::as_const(results))
            records.append(recordOf(r, bank, resultText));
        const qint64 upTo = results.last().id;
        const StoreError e = History(path).appendAll(&records, [&](QSqlDatabase &db) -> StoreError {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS class_sync (bank TEXT PRIMARY "
                                       "KEY, last INTEGER NOT NULL)")))
                return HistoryFile::failure(q.lastError(), path);
            q.prepare(
                QStringLiteral("INSERT OR REPLACE INTO class_sync (bank, last) VALUES (?, ?)"));
            q.addBindValue(bank);
            q.addBindValue(upTo);
            return q.exec() ? StoreError() : HistoryFile::failure(q.lastError(), path);
        });
        if (e)
            return e;
        *added += int(records.size());
        last = upTo;
        if (results.size() < kBatch)
            return {};
    }
}

} // namespace Results::ClassCopy
