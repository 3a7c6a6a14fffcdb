// Two copies of the program on one bank: a commit compares the record as shown with
// the record as stored now, and a clash is the resolver's to decide.
#include "store/recordsetimpl.h"

// Compares the record as shown with the record as stored now and writes in one
// transaction. A conflict is decided by the resolver with no lock held (the other
// copy goes on meanwhile); then the record is compared again with what the user
// was shown in the question, until it is written or settled otherwise.
StoreError Recordset::Impl::checkedUpdate(QList<int> order, QVariantList values)
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
        if (found)
            access.lastChange(id, &conflict.changedBy, &conflict.changedAt);
        const Resolution resolution = resolver(conflict);
        // While the user was asked, the record set may have been committed already
        // (a logout commits every window): then there is nothing left to decide.
        if (where != Where::Record || index >= ids.size() || ids.at(index) != id || edits.isEmpty())
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
QList<int> Recordset::Impl::clashes(
    const QList<int> &order, const QStringList &stored, Conflict *conflict)
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
StoreError Recordset::Impl::settle(Resolution resolution, bool found, const QStringList &base)
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
void Recordset::Impl::leaveDeleted()
{
    ids.removeAt(index);
    where = Where::Gap;
    edits.clear();
    loaded = false;
}

// Stores base with this record set's changes as a new record at the end. The record
// stays current when it still exists (found), else it leaves the snapshot.
StoreError Recordset::Impl::storeAsNew(const QStringList &base, bool found)
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

// Since the row ids were read, a VACUUM (or a change of a layout) may have given
// the rows new ids: a row at the shown record's id that no longer holds what was
// shown may be another record, and counts as this one gone.
StoreError Recordset::Impl::sameRecord(const QStringList &stored, bool *found)
{
    qint64 now = schema;
    if (const StoreError e = access.schemaVersion(&now))
        return e;
    if (now != schema && loaded && stored != row)
        *found = false;
    return {};
}
