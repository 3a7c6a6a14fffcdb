#pragma once

#include "store/storeerror.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// An updatable cursor over one table of the bank, in the table's natural (rowid)
// order. Opening takes a snapshot of the row ids, so every move, the position and
// the count cost the same at any table size. Rows that other record sets add appear
// after Refresh.
//
// The rules it keeps:
//  1. Opening lands on the first record, or on none in an empty table. A record
//     stored through the record set goes to the end.
//  2. AbsolutePosition is the zero-based index of the current record, -1 with none
//     (before the first, after the last, after Delete, while a new record is pending).
//  3. MovePrevious from the first record goes before the first, MoveNext from the
//     last goes after the last; both succeed. A further move the same way, and any
//     move in an empty table, fails with NoCurrentRecord (3021).
//  4. RecordCount is the exact number of records at all times.
//  5. AddNew commits (6), then begins a blank record that is not stored yet.
//  6. Commit: before a move, FindFirst, AddNew, Refresh or Close, the pending changes
//     (setValue, or the bound boxes of a Data through aboutToCommit) are written to
//     the current record, or the pending new record is stored with them. A new record
//     with no change is dropped. After a new record is stored, the record that was
//     current before AddNew is current again; when there was none (empty table,
//     before the first, after the last, after Delete) the stored record becomes current.
//  7. Update commits at once; with nothing pending it fails (NothingPending).
//  8. Delete removes the current record; there is none until the next move, which
//     goes to the deleted record's neighbour (MoveNext: the record after it,
//     MovePrevious: the record before it). Pending changes of that record are
//     dropped with it. Delete while a new record is pending drops the new record, as
//     if it had been stored at the end and deleted.
//  9. currentChanged() is emitted whenever the record set lands somewhere, so bound
//     boxes show the record's fields (an empty field, and no record, as "").
//
// A commit that is refused (a Single field given text that is no number) writes
// nothing of the record, keeps the pending changes and the position, and the
// operation that asked for it fails with that error.
//
// Values are text: a Single field reads as its shortest decimal text ("2.5", "30"),
// NULL as "". Writing "" stores NULL; a number is rounded to single precision.
//
// Two copies of the program on one bank: with a resolver set, a commit first reads the
// record as it is stored now. A field this record set changed that the other copy
// also changed since the record was shown, or a record the other copy deleted, is a
// conflict the resolver decides; it is never overwritten or lost in silence. Without
// a resolver a change to a deleted record fails with RecordGone and is dropped.
class Recordset : public QObject
{
    Q_OBJECT

public:
    struct Conflict
    {
        bool deleted = false; // the record is gone; else the fields below clash
        QStringList fields; // changed here and, since it was shown, in the bank too
        QStringList stored; // their texts in the bank now
        QStringList mine; // their texts as changed here
        // Who stored the record as it is now, and when: known on a server bank, empty
        // on the bank file.
        QString changedBy;
        QDateTime changedAt;
    };
    enum class Resolution {
        KeepMine, // a changed record: this record set's texts overwrite the stored ones
        TakeStored, // a changed record: the clashing changes are dropped, the rest written
        StoreAsNew, // the record as shown here, with its changes, stored as a new record
        Drop, // a deleted record: its changes are dropped with it
    };
    using Resolver = std::function<Resolution(const Conflict &)>;
    void setResolver(Resolver resolver);

    explicit Recordset(QObject *parent = nullptr);
    ~Recordset() override;

    // Opens table of the bank at path, first committing and closing what was open.
    // Fails with the bank's errors, NoSuchTable, or a refused commit (then nothing
    // changes).
    StoreError open(const QString &bank, const QString &table);
    // Commits, then closes. A refused commit leaves the record set open.
    StoreError Close();
    // Closes without committing (a window that goes away after a refused commit).
    void release();
    bool isOpen() const;
    QString table() const;
    QString bank() const;

    StoreError MoveFirst();
    StoreError MoveLast();
    StoreError MoveNext();
    StoreError MovePrevious();
    int AbsolutePosition() const;
    int RecordCount() const;
    StoreError AddNew();
    StoreError Update();
    StoreError Delete();
    // Commits, then makes current the first record whose field equals value exactly
    // (letter case counts; "" finds an empty field; a Single field compares numbers).
    // Without a match: NotFound, and there is no current record (so a change made
    // next cannot fall on another row); the next MoveNext goes to the first record.
    StoreError FindFirst(const QString &field, const QString &value);
    // Commits, re-reads the row ids and lands on the first record (rule 1).
    StoreError Refresh();
    // After another copy changed the bank: the rows are read again, and the current
    // record stays current where it still is, its texts read anew. A record set with
    // changes pending keeps what it shows; the commit compares as always.
    StoreError reread();
    // Commits the pending changes (rule 6) without moving; success with nothing pending.
    StoreError commit();

    // Whether there is a current stored record.
    bool hasCurrent() const;
    // Whether a new record is pending (begun by AddNew, not stored yet).
    bool isAdding() const;
    // Whether changes are pending (setValue since the record was shown).
    bool hasChanges() const;

    // The fields of the table in order.
    QStringList fieldNames() const;
    bool hasField(const QString &field) const;
    bool isSingleField(const QString &field) const;
    // The current record's stored value of field as text; "" with no current record,
    // while a new record is pending, and for an unknown field.
    QString value(const QString &field) const;
    // Sets a pending change of the current or pending new record. NoCurrentRecord when
    // there is neither, NoSuchField for an unknown field. The text is checked when it is
    // committed.
    StoreError setValue(const QString &field, const QString &text);
    // Drops the pending change of one field; the other changes stay pending.
    void discardChange(const QString &field);
    // One field of every record in record-set order (for bound lists).
    QStringList column(const QString &field) const;

signals:
    // Just before a commit: a binding stages its changed boxes with setValue.
    void aboutToCommit();
    // The record set landed (rule 9): on a record, on none, or on a new blank record.
    void currentChanged();
    // Records were stored, deleted or re-read: bound lists read the column again.
    void rowsChanged();

private:
    enum class Move { First, Last, Next, Previous };
    StoreError move(Move how);
    // Commits as the first step of another operation; *landed when a pending new
    // record was stored or dropped.
    StoreError commitStep(bool *landed);

    struct Impl;
    std::unique_ptr<Impl> d;
};
