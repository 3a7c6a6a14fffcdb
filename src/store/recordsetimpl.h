#pragma once

#include "store/recordset.h"
#include "store/tableaccess.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// What a record set knows between calls: its snapshot of row ids, where it stands,
// the pending changes and the current record as read. Moves live in recordset.cpp,
// commits in recordsetcommit.cpp, the two-copies checks in recordsetconflict.cpp.
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

    // Commits and reads (recordsetcommit.cpp).
    StoreError convert(int i, const QString &text, QVariant *out) const;
    StoreError write();
    StoreError insert(const QList<int> &order, const QVariantList &values);
    StoreError update(QList<int> order, QVariantList values);
    // The current record's field i as text, read when first asked for.
    QString text(int i);
    StoreError readTable();
    void landFirst();

    // Another copy of the program on the same bank (recordsetconflict.cpp).
    StoreError checkedUpdate(QList<int> order, QVariantList values);
    QList<int> clashes(const QList<int> &order, const QStringList &stored, Conflict *conflict);
    StoreError settle(Resolution resolution, bool found, const QStringList &base);
    void leaveDeleted();
    StoreError storeAsNew(const QStringList &base, bool found);
    StoreError sameRecord(const QStringList &stored, bool *found);
};
