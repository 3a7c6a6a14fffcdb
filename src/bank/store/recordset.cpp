#include "bank/store/recordset.h"

#include "bank/store/bankfile.h"
#include "bank/store/valuerules.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>

namespace {

using BankFile::quoteName;

StoreError notOpen()
{
    return StoreError(StoreError::NotOpen, QStringLiteral("记录集没有打开任何表。"));
}

StoreError noCurrent()
{
    return StoreError(StoreError::NoCurrentRecord, QStringLiteral("没有当前记录。"));
}

StoreError engine(const QSqlError &error)
{
    return StoreError(StoreError::Engine, QStringLiteral("题库出错：%1").arg(error.databaseText()));
}

StoreError noSuchField(const QString &table, const QString &field)
{
    return StoreError(
        StoreError::NoSuchField, QStringLiteral("表“%1”里没有字段“%2”。").arg(table, field));
}

} // namespace

struct Recordset::Impl
{
    // Where the record set stands. Gap: the record at `index` was deleted; the next
    // move goes to its neighbours.
    enum class Where { Record, BeforeFirst, AfterLast, Gap };

    QString bank;
    QString table;
    bool open = false;

    QStringList fields;
    QList<bool> single;

    QList<qint64> ids; // row ids in natural order, ascending
    Where where = Where::BeforeFirst;
    int index = 0;

    bool adding = false;
    Where addedFrom = Where::BeforeFirst;
    int addedFromIndex = 0;
    QHash<int, QString> edits; // field index -> text as given

    // The current record's values, read when first asked for.
    bool loaded = false;
    QVariantList row;

    // Prepared statements of the connection they were made on.
    QSqlDatabase db;
    quint64 serial = 0;
    std::unique_ptr<QSqlQuery> selectRow;
    std::unique_ptr<QSqlQuery> deleteRow;
    QHash<quint32, std::shared_ptr<QSqlQuery>> updates; // by the mask of changed fields
    QHash<quint32, std::shared_ptr<QSqlQuery>> inserts;

    void dropStatements()
    {
        selectRow.reset();
        deleteRow.reset();
        updates.clear();
        inserts.clear();
        db = QSqlDatabase();
        serial = 0;
    }

    // The connection, reopened when it was closed or moved to another file.
    StoreError connect()
    {
        if (serial != 0 && serial == BankFile::connectionSerial() && db.isOpen())
            return {};
        dropStatements();
        StoreError error;
        db = BankFile::connection(bank, &error);
        if (error)
            return error;
        serial = BankFile::connectionSerial();
        return {};
    }

    bool onRecord() const { return !adding && where == Where::Record; }
    qint64 currentId() const { return ids.at(index); }

    StoreError prepare(std::unique_ptr<QSqlQuery> &query, const QString &sql)
    {
        if (query)
            return {};
        auto q = std::make_unique<QSqlQuery>(db);
        if (!q->prepare(sql))
            return engine(q->lastError());
        query = std::move(q);
        return {};
    }

    StoreError prepare(QHash<quint32, std::shared_ptr<QSqlQuery>> &cache, quint32 mask,
        const QString &sql, QSqlQuery **out)
    {
        auto &slot = cache[mask];
        if (!slot) {
            auto q = std::make_shared<QSqlQuery>(db);
            if (!q->prepare(sql)) {
                cache.remove(mask);
                return engine(q->lastError());
            }
            slot = q;
        }
        *out = slot.get();
        return {};
    }

    // The value to store for a text given to field i; an error for a Single field
    // given text that is no number.
    StoreError convert(int i, const QString &text, QVariant *out) const
    {
        if (!single.at(i)) {
            *out = text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
            return {};
        }
        if (text.trimmed().isEmpty()) {
            *out = QVariant(QMetaType::fromType<double>());
            return {};
        }
        double number = 0;
        if (!parseNumber(text, &number))
            return StoreError::notANumber(fields.at(i), text);
        const float rounded = float(number);
        if (!std::isfinite(rounded))
            return StoreError::outOfRange(fields.at(i), text);
        *out = double(rounded);
        return {};
    }

    // Writes the pending changes: the new record, or the current one. A new record
    // without a change is dropped. With no record to write to, changes are dropped.
    StoreError write()
    {
        if (!adding && (edits.isEmpty() || where != Where::Record)) {
            edits.clear();
            return {};
        }
        if (adding && edits.isEmpty()) {
            adding = false;
            return {};
        }
        QList<int> order = edits.keys();
        std::sort(order.begin(), order.end());
        QVariantList values;
        quint32 mask = 0;
        for (int i : order) {
            QVariant v;
            if (const StoreError e = convert(i, edits.value(i), &v))
                return e;
            values << v;
            mask |= 1u << (i % 32);
        }
        if (const StoreError e = connect())
            return e;
        return adding ? insert(order, mask, values) : update(order, mask, values);
    }

    StoreError insert(const QList<int> &order, quint32 mask, const QVariantList &values)
    {
        QStringList names, marks;
        for (int i : order) {
            names << quoteName(fields.at(i));
            marks << QStringLiteral("?");
        }
        QSqlQuery *q = nullptr;
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quoteName(table), names.join(u','), marks.join(u','));
        if (const StoreError e = prepare(inserts, mask, sql, &q))
            return e;
        for (int k = 0; k < values.size(); ++k)
            q->bindValue(k, values.at(k));
        const bool ok = q->exec();
        const QSqlError error = q->lastError();
        const qint64 id = q->lastInsertId().toLongLong();
        q->finish();
        if (!ok)
            return engine(error);
        ids.append(id);
        adding = false;
        edits.clear();
        // Back on the record that was current before AddNew; with none, on the new one.
        if (addedFrom == Where::Record) {
            where = Where::Record;
            index = addedFromIndex;
        } else {
            where = Where::Record;
            index = int(ids.size()) - 1;
        }
        loaded = false;
        return {};
    }

    StoreError update(const QList<int> &order, quint32 mask, const QVariantList &values)
    {
        QStringList sets;
        for (int i : order)
            sets << quoteName(fields.at(i)) + QStringLiteral(" = ?");
        QSqlQuery *q = nullptr;
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                .arg(quoteName(table), sets.join(u','));
        if (const StoreError e = prepare(updates, mask, sql, &q))
            return e;
        for (int k = 0; k < values.size(); ++k)
            q->bindValue(k, values.at(k));
        q->bindValue(int(values.size()), currentId());
        const bool ok = q->exec();
        const QSqlError error = q->lastError();
        const int affected = q->numRowsAffected();
        q->finish();
        if (!ok)
            return engine(error);
        edits.clear();
        loaded = false;
        if (affected == 0)
            return StoreError(StoreError::RecordGone, QStringLiteral("当前记录已经被删除。"));
        return {};
    }

    StoreError load()
    {
        loaded = true;
        row.clear();
        if (const StoreError e = connect())
            return e;
        QStringList names;
        for (const QString &f : fields)
            names << quoteName(f);
        if (const StoreError e = prepare(selectRow,
                QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                    .arg(names.join(u','), quoteName(table))))
            return e;
        selectRow->bindValue(0, currentId());
        if (!selectRow->exec()) {
            const QSqlError error = selectRow->lastError();
            selectRow->finish();
            return engine(error);
        }
        if (selectRow->next()) {
            for (int i = 0; i < fields.size(); ++i)
                row << selectRow->value(i);
        }
        selectRow->finish();
        return {};
    }

    QString text(int i)
    {
        if (!onRecord())
            return {};
        if (!loaded)
            load();
        if (i >= row.size())
            return {};
        const QVariant &v = row.at(i);
        if (v.isNull())
            return {};
        if (single.at(i))
            return singleText(float(v.toDouble()));
        return v.toString();
    }

    // Reads the table's fields and its row ids.
    StoreError readTable()
    {
        if (const StoreError e = connect())
            return e;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
        q.addBindValue(table);
        QStringList names;
        QList<bool> kinds;
        if (!q.exec())
            return engine(q.lastError());
        while (q.next()) {
            names << q.value(0).toString();
            kinds << (q.value(1).toString().compare(QLatin1String("REAL"), Qt::CaseInsensitive)
                == 0);
        }
        q.finish();
        q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                 "AND name = ? COLLATE BINARY"));
        q.addBindValue(table);
        const bool exists = q.exec() && q.next();
        q.finish();
        if (!exists || names.isEmpty())
            return StoreError(StoreError::NoSuchTable, QStringLiteral("找不到表“%1”。").arg(table));

        QList<qint64> rows;
        if (!q.exec(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(quoteName(table))))
            return engine(q.lastError());
        while (q.next())
            rows.append(q.value(0).toLongLong());
        q.finish();

        if (names != fields) {
            selectRow.reset();
            updates.clear();
            inserts.clear();
        }
        fields = names;
        single = kinds;
        ids = std::move(rows);
        return {};
    }

    void landFirst()
    {
        adding = false;
        edits.clear();
        where = Where::BeforeFirst;
        index = 0;
        if (!ids.isEmpty())
            where = Where::Record;
        loaded = false;
    }
};

Recordset::Recordset(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
    BankFile::addCloseListener(this, [this] { d->dropStatements(); });
}

Recordset::~Recordset()
{
    BankFile::removeCloseListener(this);
}

StoreError Recordset::open(const QString &bank, const QString &table)
{
    if (d->open) {
        if (const StoreError e = Close())
            return e;
    }
    d->bank = bank;
    d->table = table;
    d->fields.clear();
    d->dropStatements();
    if (const StoreError e = d->readTable()) {
        d->ids.clear();
        emit currentChanged();
        emit rowsChanged();
        return e;
    }
    d->open = true;
    d->landFirst();
    emit rowsChanged();
    emit currentChanged();
    return {};
}

StoreError Recordset::Close()
{
    if (!d->open)
        return {};
    if (const StoreError e = commit())
        return e;
    release();
    return {};
}

void Recordset::release()
{
    const bool wasOpen = d->open;
    d->open = false;
    d->adding = false;
    d->edits.clear();
    d->ids.clear();
    d->where = Impl::Where::BeforeFirst;
    d->loaded = false;
    d->dropStatements();
    if (wasOpen) {
        emit currentChanged();
        emit rowsChanged();
    }
}

bool Recordset::isOpen() const
{
    return d->open;
}

QString Recordset::table() const
{
    return d->open ? d->table : QString();
}

QString Recordset::bank() const
{
    return d->open ? d->bank : QString();
}

StoreError Recordset::commitStep(bool *landed)
{
    *landed = false;
    emit aboutToCommit();
    const bool wasAdding = d->adding;
    const bool hadChanges = !d->edits.isEmpty();
    const qsizetype stored = d->ids.size();
    const StoreError error = d->write();
    if (error)
        return error;
    *landed = wasAdding;
    if (d->ids.size() != stored || (hadChanges && !wasAdding))
        emit rowsChanged();
    return {};
}

StoreError Recordset::commit()
{
    if (!d->open)
        return notOpen();
    bool landed = false;
    const bool hadChanges = d->adding || !d->edits.isEmpty();
    const StoreError error = commitStep(&landed);
    if (!error && (landed || hadChanges))
        emit currentChanged();
    return error;
}

StoreError Recordset::move(Move how)
{
    using Where = Impl::Where;
    if (!d->open)
        return notOpen();
    bool landed = false;
    if (const StoreError e = commitStep(&landed))
        return e;
    const int n = int(d->ids.size());
    Where where = d->where;
    int index = d->index;
    bool ok = n > 0;
    if (ok) {
        switch (how) {
        case Move::First:
            where = Where::Record;
            index = 0;
            break;
        case Move::Last:
            where = Where::Record;
            index = n - 1;
            break;
        case Move::Next:
            if (where == Where::Record && index + 1 < n) {
                ++index;
            } else if (where == Where::Record) {
                where = Where::AfterLast;
            } else if (where == Where::BeforeFirst) {
                where = Where::Record;
                index = 0;
            } else if (where == Where::Gap) {
                where = index < n ? Where::Record : Where::AfterLast;
            } else {
                ok = false;
            }
            break;
        case Move::Previous:
            if (where == Where::Record && index > 0) {
                --index;
            } else if (where == Where::Record) {
                where = Where::BeforeFirst;
            } else if (where == Where::AfterLast) {
                where = Where::Record;
                index = n - 1;
            } else if (where == Where::Gap) {
                if (index > 0) {
                    where = Where::Record;
                    index = std::min(index, n) - 1;
                } else {
                    where = Where::BeforeFirst;
                }
            } else {
                ok = false;
            }
            break;
        }
    }
    if (!ok) {
        if (landed)
            emit currentChanged();
        return noCurrent();
    }
    d->where = where;
    d->index = index;
    d->loaded = false;
    emit currentChanged();
    return {};
}

StoreError Recordset::MoveFirst()
{
    return move(Move::First);
}

StoreError Recordset::MoveLast()
{
    return move(Move::Last);
}

StoreError Recordset::MoveNext()
{
    return move(Move::Next);
}

StoreError Recordset::MovePrevious()
{
    return move(Move::Previous);
}

int Recordset::AbsolutePosition() const
{
    return d->open && d->onRecord() ? d->index : -1;
}

int Recordset::RecordCount() const
{
    return d->open ? int(d->ids.size()) : 0;
}

StoreError Recordset::AddNew()
{
    if (!d->open)
        return notOpen();
    bool landed = false;
    if (const StoreError e = commitStep(&landed)) {
        if (landed)
            emit currentChanged();
        return e;
    }
    d->adding = true;
    d->addedFrom = d->where;
    d->addedFromIndex = d->index;
    d->edits.clear();
    emit currentChanged();
    return {};
}

StoreError Recordset::Update()
{
    if (!d->open)
        return notOpen();
    if (!d->adding && d->where != Impl::Where::Record)
        return noCurrent();
    emit aboutToCommit();
    if (d->edits.isEmpty())
        return StoreError(StoreError::NothingPending, QStringLiteral("没有需要保存的修改。"));
    if (const StoreError e = d->write())
        return e;
    emit rowsChanged();
    emit currentChanged();
    return {};
}

StoreError Recordset::Delete()
{
    using Where = Impl::Where;
    if (!d->open)
        return notOpen();
    if (d->adding) {
        // As if the new record had been stored at the end and deleted at once.
        d->adding = false;
        d->edits.clear();
        d->where = Where::Gap;
        d->index = int(d->ids.size());
        emit currentChanged();
        return {};
    }
    if (d->where != Where::Record)
        return noCurrent();
    if (const StoreError e = d->connect())
        return e;
    if (const StoreError e = d->prepare(d->deleteRow,
            QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(d->table))))
        return e;
    d->deleteRow->bindValue(0, d->currentId());
    const bool ok = d->deleteRow->exec();
    const QSqlError error = d->deleteRow->lastError();
    d->deleteRow->finish();
    if (!ok)
        return engine(error);
    d->ids.removeAt(d->index);
    d->edits.clear();
    d->where = Where::Gap;
    d->loaded = false;
    emit rowsChanged();
    emit currentChanged();
    return {};
}

StoreError Recordset::FindFirst(const QString &field, const QString &value)
{
    if (!d->open)
        return notOpen();
    const int i = int(d->fields.indexOf(field));
    if (i < 0)
        return noSuchField(d->table, field);
    bool landed = false;
    if (const StoreError e = commitStep(&landed)) {
        if (landed)
            emit currentChanged();
        return e;
    }
    if (const StoreError e = d->connect())
        return e;

    QString condition = QStringLiteral("%1 = ?").arg(quoteName(field));
    QVariant key = value;
    if (value.isEmpty()) {
        condition = QStringLiteral("(%1 IS NULL OR %1 = '')").arg(quoteName(field));
        key = QVariant();
    } else if (d->single.at(i)) {
        double number = 0;
        key = parseNumber(value, &number) ? QVariant(double(float(number))) : QVariant();
    }
    std::optional<int> found;
    if (!value.isEmpty() && key.isNull()) {
        // A Single field never equals text that is no number.
    } else {
        QSqlQuery q(d->db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY rowid")
                      .arg(quoteName(d->table), condition));
        if (!key.isNull())
            q.addBindValue(key);
        if (!q.exec())
            return engine(q.lastError());
        while (!found && q.next()) {
            const qint64 id = q.value(0).toLongLong();
            const auto at = std::lower_bound(d->ids.cbegin(), d->ids.cend(), id);
            if (at != d->ids.cend() && *at == id)
                found = int(at - d->ids.cbegin());
        }
        q.finish();
    }
    d->loaded = false;
    if (!found) {
        d->where = Impl::Where::BeforeFirst;
        d->index = 0;
        emit currentChanged();
        return StoreError(
            StoreError::NotFound, QStringLiteral("没有找到“%1”为“%2”的记录。").arg(field, value));
    }
    d->where = Impl::Where::Record;
    d->index = *found;
    emit currentChanged();
    return {};
}

StoreError Recordset::Refresh()
{
    if (!d->open)
        return notOpen();
    bool landed = false;
    if (const StoreError e = commitStep(&landed)) {
        if (landed)
            emit currentChanged();
        return e;
    }
    if (const StoreError e = d->readTable()) {
        release();
        return e;
    }
    d->landFirst();
    emit rowsChanged();
    emit currentChanged();
    return {};
}

bool Recordset::hasCurrent() const
{
    return d->open && d->onRecord();
}

bool Recordset::isAdding() const
{
    return d->open && d->adding;
}

bool Recordset::hasChanges() const
{
    return d->open && !d->edits.isEmpty();
}

QStringList Recordset::fieldNames() const
{
    return d->open ? d->fields : QStringList();
}

bool Recordset::hasField(const QString &field) const
{
    return d->open && d->fields.contains(field);
}

bool Recordset::isSingleField(const QString &field) const
{
    const int i = int(d->fields.indexOf(field));
    return d->open && i >= 0 && d->single.at(i);
}

QString Recordset::value(const QString &field) const
{
    const int i = int(d->fields.indexOf(field));
    if (!d->open || i < 0)
        return {};
    return d->text(i);
}

StoreError Recordset::setValue(const QString &field, const QString &text)
{
    if (!d->open)
        return notOpen();
    const int i = int(d->fields.indexOf(field));
    if (i < 0)
        return noSuchField(d->table, field);
    if (!d->adding && d->where != Impl::Where::Record)
        return noCurrent();
    d->edits.insert(i, text);
    return {};
}

QStringList Recordset::column(const QString &field) const
{
    QStringList values;
    const int i = int(d->fields.indexOf(field));
    if (!d->open || i < 0 || d->connect())
        return values;
    values.reserve(d->ids.size());
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid")
                   .arg(quoteName(field), quoteName(d->table)))) {
        // Both in rowid order: walk them side by side.
        qsizetype k = 0;
        while (q.next() && k < d->ids.size()) {
            const qint64 id = q.value(0).toLongLong();
            while (k < d->ids.size() && d->ids.at(k) < id) {
                values << QString();
                ++k;
            }
            if (k < d->ids.size() && d->ids.at(k) == id) {
                const QVariant v = q.value(1);
                values << (v.isNull()     ? QString()
                        : d->single.at(i) ? singleText(float(v.toDouble()))
                                          : v.toString());
                ++k;
            }
        }
    }
    q.finish();
    while (values.size() < d->ids.size())
        values << QString();
    return values;
}
