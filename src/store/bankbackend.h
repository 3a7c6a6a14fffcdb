#pragma once

#include "store/catalogue.h"
#include "store/classroom.h"
#include "store/storeerror.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

// What the record sets and the catalogue ask of a bank, in the program's own terms:
// tables by name, rows by id, values as the boxes' texts or as QVariant (null, double
// or text). No verb takes SQL: a bank kept as rows of categories, tests, questions and
// bands on a server answers the same questions as the SQLite file does.
//
// Failures come back as StoreError values with the numbers the windows know (3010 a
// name that is taken, 3021 no current record, NoSuchTable) and the engine's own words.

// One table of a bank, as a record set reads and writes it. Values read are texts as
// the boxes show them: nothing stored reads as "", a single-precision field as its
// shortest text.
class BankTable
{
public:
    virtual ~BankTable() = default;

    // Reads the table's fields. NoSuchTable when there is no table of exactly that name.
    virtual StoreError open(const QString &table) = 0;
    virtual void close() = 0;

    virtual const QStringList &fields() const = 0;
    // Whether the field holds single-precision numbers.
    virtual bool isSingle(int field) const = 0;

    // Every row id in natural order.
    virtual StoreError rowIds(QList<qint64> *ids) = 0;
    // One row's fields as text; *found false (and texts empty) when the row is gone.
    virtual StoreError readRow(qint64 id, QStringList *texts, bool *found) = 0;
    // A counter that grows with every change of the bank's layout, and with anything
    // else that may give rows new ids.
    virtual StoreError schemaVersion(qint64 *version) = 0;
    // One field of every row, with its row id, in natural order.
    virtual StoreError column(int field, QList<qint64> *ids, QStringList *texts) = 0;
    virtual StoreError insert(const QList<int> &fields, const QVariantList &values, qint64 *id) = 0;
    // *found false when the row is gone.
    virtual StoreError update(
        qint64 id, const QList<int> &fields, const QVariantList &values, bool *found)
        = 0;
    virtual StoreError remove(qint64 id) = 0;
    // A write transaction of the table's own, begun with the write lock held, so that
    // what is read and what is written next are one step no other copy comes between.
    virtual StoreError begin() = 0;
    // A failed commit rolls back.
    virtual StoreError commit() = 0;
    virtual void rollback() = 0;
    // Row ids whose field equals key (null: the field is empty), in natural order,
    // until accept() returns true. Returns that id in *id, or -1.
    virtual StoreError find(
        int field, const QVariant &key, const std::function<bool(qint64)> &accept, qint64 *id)
        = 0;
    // One field of every row as stored, with its row id, in natural order: null, a
    // double (a single-precision field) or text. By default from column(), where an
    // empty text is null.
    virtual StoreError values(int field, QList<qint64> *ids, QVariantList *values);
    // Who last changed the row and when, where the bank keeps it (a server bank); the
    // bank file keeps neither and leaves both empty.
    virtual StoreError lastChange(qint64 id, QString *who, QDateTime *when)
    {
        Q_UNUSED(id);
        who->clear();
        *when = QDateTime();
        return {};
    }
};

// What a table of the bank is for. A bank of rows keeps each kind apart; the file
// keeps every kind as a table.
enum class TableKind {
    Category, // lists the tests of one category
    Questions, // a test's questions, options and scores
    Scoring, // a test's bands
    Other, // any other table (the catalogue's low-level calls)
};

// One bank, for the length of one catalogue action.
class BankBackend
{
public:
    virtual ~BankBackend() = default;

    // The backend of the bank at location. A path names a bank file (SQLite). A location
    // with a scheme ("name://...") names a bank of the kind installed for that scheme;
    // one of no installed kind is refused with UnknownBank. Nothing is opened here.
    static std::unique_ptr<BankBackend> forLocation(const QString &location, StoreError *error);
    // Whether location is a path (a bank file) rather than "scheme://...".
    static bool isFile(const QString &location);

    // Makes locations beginning "scheme://" open through make (the layer that knows the
    // kind installs it at start).
    using Maker = std::function<std::unique_ptr<BankBackend>(const QString &location)>;
    static void install(const QString &scheme, Maker make);

    // A reader and writer of one of the bank's tables, not open yet.
    virtual std::unique_ptr<BankTable> table() const = 0;

    // Opens the bank and checks it; every verb below needs it first.
    virtual StoreError connect() = 0;

    // A write transaction: all that is done until commit lands, or nothing of it.
    // The write lock is taken at begin, so that another copy's write waits.
    virtual StoreError begin() = 0;
    virtual StoreError commit() = 0;
    virtual void rollback() = 0;

    // Every table of the bank in creation order, the engine's own left out.
    virtual StoreError tables(QStringList *names) = 0;
    // Whether a table of exactly this name exists (letter case counts).
    virtual StoreError hasTable(const QString &name, bool *found) = 0;
    // Whether anything in the bank but `self` has the name, ASCII letter case ignored.
    virtual StoreError nameTaken(const QString &name, const QString &self, bool *taken) = 0;
    // The fields of an existing table in order.
    virtual StoreError fields(const QString &table, QList<FieldDef> *fields) = 0;
    // The table is known to exist (rename, drop) or its name to be free (create).
    virtual StoreError createTable(TableKind kind, const TableDef &table) = 0;
    virtual StoreError renameTable(TableKind kind, const QString &from, const QString &to) = 0;
    virtual StoreError dropTable(TableKind kind, const QString &name) = 0;

    // The rows of a table, by id: the first whose field holds text (none: *row empty),
    // how many there are, one appended, one field set, one removed.
    virtual StoreError firstRow(
        const QString &table, const QString &field, const QString &text, std::optional<qint64> *row)
        = 0;
    virtual StoreError rowCount(const QString &table, qint64 *count) = 0;
    virtual StoreError appendRow(const QString &table, const QString &field, const QString &text)
        = 0;
    virtual StoreError setField(
        const QString &table, const QString &field, qint64 row, const QString &text)
        = 0;
    virtual StoreError removeRow(const QString &table, qint64 row) = 0;
    // Appends rowCount rows of fieldCount fields each; fill(row, fields) gives them in
    // order (all empty until set). Numbers are stored as given.
    virtual StoreError appendRows(const QString &table, int fieldCount, qsizetype rowCount,
        const std::function<void(qsizetype row, Catalogue::Batch::Field *fields)> &fill)
        = 0;

    // A test's own settings follow it when it is renamed and go when it is deleted.
    virtual StoreError renameSettings(const QString &from, const QString &to) = 0;
    virtual StoreError dropSettings(const QString &test) = 0;
    // Whether a taker may go back in the test (TestSettings); false without a setting.
    virtual StoreError goingBack(const QString &test, bool *allowed) = 0;
    // Stores it in a transaction of its own.
    virtual StoreError setGoingBack(const QString &test, bool allowed) = 0;
    // A text naming this version of the test's questions (questionsVersion); empty
    // when the test cannot be read.
    virtual QString questionsVersion(const QString &test) = 0;

    // The classroom (store/classroom.h). The bank file keeps none: its user is an
    // author, its tests have no key, and the rest is refused.
    virtual StoreError role(Classroom::Role *role)
    {
        *role = Classroom::Role::Author;
        return {};
    }
    virtual StoreError classTests(QList<Classroom::TestState> *tests);
    // Sets published or anonymous of the test, in a transaction of its own.
    enum class ClassFlag { Published, Anonymous };
    virtual StoreError setClassFlag(const QString &test, ClassFlag flag, bool on);
    virtual StoreError handInKey(const QString &test, Classroom::Key *key)
    {
        Q_UNUSED(test);
        *key = {};
        return {};
    }
    virtual StoreError handIn(const QString &submission, const Classroom::Key &key,
        const QString &answers, Classroom::Scored *scored);
    virtual StoreError classResults(qint64 after, int limit, QList<Classroom::Result> *results);
};
