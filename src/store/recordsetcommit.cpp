// What a commit writes, and the record a move lands on as read.
#include "store/recordsetimpl.h"

#include "base/valuerules.h"

#include <algorithm>
#include <cmath>

// The value to store for a text given to field i; an error for a Single field
// given text that is no number.
StoreError Recordset::Impl::convert(int i, const QString &text, QVariant *out) const
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
StoreError Recordset::Impl::write()
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

StoreError Recordset::Impl::insert(const QList<int> &order, const QVariantList &values)
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

StoreError Recordset::Impl::update(QList<int> order, QVariantList values)
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

QString Recordset::Impl::text(int i)
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
StoreError Recordset::Impl::readTable()
{
    if (const StoreError e = access.open(bank, table))
        return e;
    if (const StoreError e = access.schemaVersion(&schema))
        return e;
    return access.rowIds(&ids);
}

void Recordset::Impl::landFirst()
{
    adding = false;
    edits.clear();
    where = ids.isEmpty() ? Where::BeforeFirst : Where::Record;
    index = 0;
    loaded = false;
}
