#include "store/recordset.h"

#include "store/tableaccess.h"
#include "base/valuerules.h"

#include <QVariant>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

StoreError notOpen()
{
    return StoreError(StoreError::NotOpen, QStringLiteral("记录集没有打开任何表。"));
}

StoreError noCurrent()
{
    return StoreError(StoreError::NoCurrentRecord, QStringLiteral("没有当前记录。"));
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

    TableAccess access;
    QString bank;
    QString table;
    bool open = false;

    QList<qint64> ids; // row ids in natural order, ascending
    Where where = Where::BeforeFirst;
    int index = 0;

    bool adding = false;
    Where addedFrom = Where::BeforeFirst;
    int addedFromIndex = 0;
    QHash<int, QString> edits; // field index -> text as given
    Recordset::Resolver resolver;
    bool resolved = false; // a conflict changed what the record set shows

    // The current record's values, read when first asked for.
    bool loaded = false;
    QStringList row;
    qint64 schema = 0; // the schema cookie when the row ids were read

    const QStringList &fields() const { return access.fields(); }
    bool onRecord() const { return !adding && where == Where::Record; }
    qint64 currentId() const { return ids.at(index); }

    // The value to store for a text given to field i; an error for a Single field
    // given text that is no number.
    StoreError convert(int i, const QString &text, QVariant *out) const
    {
        if (!access.isSingle(i)) {
            *out = text.isEmpty() ? QVariant() : QVariant(text);
            return {};
        }
        if (text.trimmed().isEmpty()) {
            *out = QVariant();
            return {};
        }
        double number = 0;
        if (!parseNumber(text, &number))
            return StoreError::notANumber(fields().at(i), text);
        const float rounded = float(number);
        if (!std::isfinite(rounded))
            return StoreError::outOfRange(fields().at(i), text);
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
        for (int i : order) {
            QVariant v;
            if (const StoreError e = convert(i, edits.value(i), &v))
                return e;
            values << v;
        }
        return adding ? insert(order, values) : update(order, values);
    }

    StoreError insert(const QList<int> &order, const QVariantList &values)
    {
        qint64 id = 0;
        if (const StoreError e = access.insert(order, values, &id))
            return e;
        ids.append(id);
        adding = false;
        edits.clear();
        // Back on the record that was current before AddNew; with none, on the new one.
        where = Where::Record;
        index = addedFrom == Where::Record ? addedFromIndex : int(ids.size()) - 1;
        loaded = false;
        return {};
    }

    StoreError update(QList<int> order, QVariantList values)
    {
        if (resolver)
            return checkedUpdate(order, values);
        bool found = false;
        if (const StoreError e = access.update(currentId(), order, values, &found))
            return e;
        edits.clear();
        loaded = false;
        if (!found)
            return StoreError(StoreError::RecordGone, QStringLiteral("当前记录已经被删除。"));
        return {};
    }

    // Compares the record as shown with the record as stored now and writes in one
    // transaction. A conflict is decided by the resolver with no lock held (the other
    // copy goes on meanwhile); then the record is compared again with what the user
    // was shown in the question, until it is written or settled otherwise.
    StoreError checkedUpdate(QList<int> order, QVariantList values)
    {
        for (;;) {
            if (const StoreError e = access.begin())
                return e;
            QStringList stored;
            bool found = false;
            StoreError error = access.readRow(currentId(), &stored, &found);
            if (!error && found)
                error = sameRecord(stored, &found);
            Conflict conflict;
            QList<int> clashing;
            if (!error && found)
                clashing = clashes(order, stored, &conflict);
            if (!error && found && clashing.isEmpty()) {
                error = access.update(currentId(), order, values, &found);
                if (!error)
                    error = access.commit();
                if (!error) {
                    edits.clear();
                    loaded = false;
                    return {};
                }
            }
            access.rollback();
            if (error)
                return error;

            conflict.deleted = !found;
            const qint64 id = currentId();
            const Resolution resolution = resolver(conflict);
            // While the user was asked, the record set may have been committed already
            // (a logout commits every window): then there is nothing left to decide.
            if (where != Where::Record || index >= ids.size() || ids.at(index) != id
                || edits.isEmpty())
                return {};
            resolved = resolution != Resolution::KeepMine || !found;
            if (!found || resolution == Resolution::StoreAsNew || resolution == Resolution::Drop)
                return settle(resolution, found, found ? stored : (loaded ? row : QStringList()));
            if (resolution == Resolution::TakeStored) {
                for (int i : std::as_const(clashing)) {
                    const qsizetype at = order.indexOf(i);
                    order.removeAt(at);
                    values.removeAt(at);
                    edits.remove(i);
                }
                if (order.isEmpty()) {
                    edits.clear();
                    loaded = false;
                    return {};
                }
            }
            // What the question showed is what the remaining changes were made against.
            row = stored;
            loaded = true;
        }
    }

    // The fields this record set changed that the bank, since the record was shown,
    // holds another text for.
    QList<int> clashes(const QList<int> &order, const QStringList &stored, Conflict *conflict)
    {
        QList<int> clashing;
        for (int i : order) {
            if (!loaded || i >= row.size() || i >= stored.size())
                continue;
            if (stored.at(i) != row.at(i) && stored.at(i) != edits.value(i)) {
                clashing << i;
                conflict->fields << fields().at(i);
                conflict->stored << stored.at(i);
                conflict->mine << edits.value(i);
            }
        }
        return clashing;
    }

    // A record the other copy deleted, or one stored as a new record, or changes dropped.
    StoreError settle(Resolution resolution, bool found, const QStringList &base)
    {
        if (resolution == Resolution::Drop || resolution == Resolution::TakeStored) {
            if (found) {
                edits.clear();
                loaded = false;
            } else {
                leaveDeleted();
            }
            return {};
        }
        return storeAsNew(base, found);
    }

    // The deleted record leaves the snapshot; the next move goes to its neighbours.
    void leaveDeleted()
    {
        ids.removeAt(index);
        where = Where::Gap;
        edits.clear();
        loaded = false;
    }

    // Stores base with this record set's changes as a new record at the end. The record
    // stays current when it still exists (found), else it leaves the snapshot.
    StoreError storeAsNew(const QStringList &base, bool found)
    {
        QList<int> all;
        QVariantList values;
        for (int i = 0; i < fields().size(); ++i) {
            QVariant v;
            const QString text = edits.contains(i) ? edits.value(i) : base.value(i);
            if (const StoreError e = convert(i, text, &v))
                return e;
            all << i;
            values << v;
        }
        qint64 id = 0;
        if (const StoreError e = access.insert(all, values, &id))
            return e;
        if (found) {
            edits.clear();
            loaded = false;
        } else {
            leaveDeleted();
        }
        ids.append(id);
        return {};
    }

    QString text(int i)
    {
        if (!onRecord())
            return {};
        if (!loaded) {
            bool found = false;
            access.readRow(currentId(), &row, &found);
            loaded = true;
        }
        return i < row.size() ? row.at(i) : QString();
    }

    // Reads the table's fields and its row ids.
    StoreError readTable()
    {
        if (const StoreError e = access.open(bank, table))
            return e;
        if (const StoreError e = access.schemaVersion(&schema))
            return e;
        return access.rowIds(&ids);
    }

    // Since the row ids were read, a VACUUM (or a change of a layout) may have given
    // the rows new ids: a row at the shown record's id that no longer holds what was
    // shown may be another record, and counts as this one gone.
    StoreError sameRecord(const QStringList &stored, bool *found)
    {
        qint64 now = schema;
        if (const StoreError e = access.schemaVersion(&now))
            return e;
        if (now != schema && loaded && stored != row)
            *found = false;
        return {};
    }

    void landFirst()
    {
        adding = false;
        edits.clear();
        where = ids.isEmpty() ? Where::BeforeFirst : Where::Record;
        index = 0;
        loaded = false;
    }
};

Recordset::Recordset(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{ }

Recordset::~Recordset() = default;

void Recordset::setResolver(Resolver resolver)
{
    d->resolver = std::move(resolver);
}

StoreError Recordset::open(const QString &bank, const QString &table)
{
    if (d->open) {
        if (const StoreError e = Close())
            return e;
    }
    d->bank = bank;
    d->table = table;
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
    d->access.close();
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
    d->resolved = false;
    const StoreError error = d->write();
    if (error)
        return error;
    // A record another copy changed or deleted shows what the bank holds now.
    *landed = wasAdding || d->resolved;
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
    if (const StoreError e = d->access.remove(d->currentId()))
        return e;
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
    const int i = int(d->fields().indexOf(field));
    if (i < 0)
        return noSuchField(d->table, field);
    bool landed = false;
    if (const StoreError e = commitStep(&landed)) {
        if (landed)
            emit currentChanged();
        return e;
    }
    // A Single field compares numbers; "" finds an empty field; a Single field never
    // equals text that is no number.
    QVariant key = value;
    bool possible = true;
    if (value.isEmpty()) {
        key = QVariant();
    } else if (d->access.isSingle(i)) {
        double number = 0;
        possible = parseNumber(value, &number);
        key = double(float(number));
    }
    std::optional<int> found;
    if (possible) {
        qint64 id = -1;
        const auto inSnapshot = [&](qint64 row) {
            const auto at = std::lower_bound(d->ids.cbegin(), d->ids.cend(), row);
            if (at == d->ids.cend() || *at != row)
                return false;
            found = int(at - d->ids.cbegin());
            return true;
        };
        if (const StoreError e = d->access.find(i, key, inSnapshot, &id))
            return e;
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
    return d->open ? d->fields() : QStringList();
}

bool Recordset::hasField(const QString &field) const
{
    return d->open && d->fields().contains(field);
}

bool Recordset::isSingleField(const QString &field) const
{
    const int i = int(d->fields().indexOf(field));
    return d->open && i >= 0 && d->access.isSingle(i);
}

QString Recordset::value(const QString &field) const
{
    const int i = int(d->fields().indexOf(field));
    if (!d->open || i < 0)
        return {};
    return d->text(i);
}

StoreError Recordset::setValue(const QString &field, const QString &text)
{
    if (!d->open)
        return notOpen();
    const int i = int(d->fields().indexOf(field));
    if (i < 0)
        return noSuchField(d->table, field);
    if (!d->adding && d->where != Impl::Where::Record)
        return noCurrent();
    d->edits.insert(i, text);
    return {};
}

void Recordset::discardChange(const QString &field)
{
    d->edits.remove(int(d->fields().indexOf(field)));
}

QStringList Recordset::column(const QString &field) const
{
    QStringList values;
    const int i = int(d->fields().indexOf(field));
    if (!d->open || i < 0)
        return values;
    QList<qint64> rows;
    QStringList texts;
    if (d->access.column(i, &rows, &texts))
        return values;
    // Both in rowid order: walk them side by side; rows added elsewhere are left out.
    values.reserve(d->ids.size());
    qsizetype k = 0;
    for (qsizetype r = 0; r < rows.size() && k < d->ids.size(); ++r) {
        while (k < d->ids.size() && d->ids.at(k) < rows.at(r)) {
            values << QString();
            ++k;
        }
        if (k < d->ids.size() && d->ids.at(k) == rows.at(r)) {
            values << texts.at(r);
            ++k;
        }
    }
    while (values.size() < d->ids.size())
        values << QString();
    return values;
}
