#include "store/recordset.h"

#include "base/valuerules.h"
#include "store/recordsetimpl.h"

#include <QVariant>
#include <algorithm>
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

StoreError Recordset::reread()
{
    if (!d->open || d->adding || !d->edits.isEmpty())
        return {};
    const bool onRecord = d->onRecord();
    const qint64 current = onRecord ? d->currentId() : -1;
    QList<qint64> ids;
    qint64 schema = 0;
    if (const StoreError e = d->access.schemaVersion(&schema))
        return e;
    if (const StoreError e = d->access.rowIds(&ids))
        return e;
    d->schema = schema;
    d->loaded = false;
    d->ids = ids;
    if (onRecord) {
        const qsizetype at = ids.indexOf(current);
        if (at >= 0)
            d->index = int(at);
        else if (ids.isEmpty())
            d->where = Impl::Where::BeforeFirst;
        else
            d->index = qMin(d->index, int(ids.size()) - 1);
    } else if (d->where == Impl::Where::Gap || d->index > ids.size()) {
        d->index = qMin(d->index, int(ids.size()));
    }
    // The rows' texts may have changed as well as their number.
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
