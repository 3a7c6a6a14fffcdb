#pragma once

// What a bank holds, read straight from the file with a connection of its own, and
// what it should hold after the commits a writer reported; the check compares them.

#include "writerlines.h"

#include "store/bankfile.h"
#include "store/catalogue.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace BankImage {

struct Snapshot
{
    QString integrity; // PRAGMA integrity_check: "ok" or what is wrong
    QStringList tables; // in creation order
    QHash<QString, QStringList> fields; // table -> field names in order
    QHash<QString, QList<QStringList>> rows; // table -> rows as text, in rowid order

    QStringList column(const QString &table, int field) const
    {
        QStringList out;
        for (const QStringList &row : rows.value(table))
            out << row.value(field);
        return out;
    }
    QStringList categories() const { return column(BankNames::categoryList(), 0); }
    QStringList questionNames(const QString &test) const
    {
        QStringList out;
        for (const QString &q : column(test, 0))
            out << WriterLines::questionName(q);
        return out;
    }
};

// Reads the whole bank. Opening it also rolls back what a killed writer left half
// done, as the program's next start would.
inline Snapshot read(const QString &path)
{
    Snapshot s;
    const QString name = QStringLiteral("bank-image");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            s.integrity = QStringLiteral("cannot open");
        } else {
            QSqlQuery q(db);
            q.exec(QStringLiteral("PRAGMA integrity_check"));
            while (q.next())
                s.integrity += q.value(0).toString();
            q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                  "ORDER BY rowid"));
            while (q.next())
                s.tables << q.value(0).toString();
            for (const QString &table : std::as_const(s.tables)) {
                q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid")
                           .arg(BankFile::quoteName(table)));
                const QSqlRecord record = q.record();
                QStringList names;
                for (int i = 0; i < record.count(); ++i)
                    names << record.fieldName(i);
                s.fields.insert(table, names);
                QList<QStringList> rows;
                while (q.next()) {
                    QStringList row;
                    for (int i = 0; i < record.count(); ++i)
                        row << q.value(i).toString();
                    rows << row;
                }
                s.rows.insert(table, rows);
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return s;
}

// The categories, tests and questions the reported commits leave.
struct Expected
{
    QStringList categories;
    QHash<QString, QStringList> testsOf; // category -> its tests in row order
    QHash<QString, QStringList> questions; // test -> question names in order

    // Applies one action line's fields (after "B").
    void apply(const QStringList &a)
    {
        const QString &verb = a.at(0);
        if (verb == QLatin1String("cat")) {
            categories << a.at(1);
            testsOf.insert(a.at(1), {});
        } else if (verb == QLatin1String("test")) {
            testsOf[a.at(2)] << a.at(1);
            questions.insert(a.at(1), {});
        } else if (verb == QLatin1String("ren")) {
            QStringList &tests = testsOf[a.at(3)];
            tests[tests.indexOf(a.at(1))] = a.at(2);
            questions.insert(a.at(2), questions.take(a.at(1)));
        } else if (verb == QLatin1String("del")) {
            testsOf[a.at(2)].removeOne(a.at(1));
            questions.remove(a.at(1));
        } else if (verb == QLatin1String("q")) {
            questions[a.at(1)] << a.at(2);
        }
    }

    // Whether an action whose commit was not reported made it into the bank.
    static bool landed(const QStringList &a, const Snapshot &s)
    {
        const QString &verb = a.at(0);
        if (verb == QLatin1String("cat"))
            return s.categories().contains(a.at(1));
        if (verb == QLatin1String("test"))
            return s.tables.contains(a.at(1));
        if (verb == QLatin1String("ren"))
            return s.tables.contains(a.at(2));
        if (verb == QLatin1String("del"))
            return !s.tables.contains(a.at(1));
        return s.questionNames(a.at(1)).contains(a.at(2));
    }
};

// Lists compared exactly, or, with owners (name prefixes of writers that ran at the
// same time), as the same items with each owner's items in its own order.
inline bool sameList(QStringList actual, QStringList expected, const QStringList &owners)
{
    if (owners.isEmpty())
        return actual == expected;
    for (const QString &owner : owners) {
        const auto own = [&](const QString &item) { return item.startsWith(owner); };
        QStringList a, e;
        std::copy_if(actual.cbegin(), actual.cend(), std::back_inserter(a), own);
        std::copy_if(expected.cbegin(), expected.cend(), std::back_inserter(e), own);
        if (a != e)
            return false;
    }
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    return actual == expected;
}

inline QString describe(const QString &what, const QStringList &actual, const QStringList &expected)
{
    return QStringLiteral("%1: bank has [%2], expected [%3]")
        .arg(what, actual.join(QStringLiteral(" | ")), expected.join(QStringLiteral(" | ")));
}

// The first difference between the bank and what it should hold, or "" when none:
// a sound file, every reported commit there, nothing else there, and no test or
// category made in part (a table without its partner or its row, a row without its
// tables, a question row written in part).
inline QString check(const Snapshot &s, const Expected &e, const QStringList &owners = {})
{
    if (s.integrity != QLatin1String("ok"))
        return QStringLiteral("integrity_check: ") + s.integrity;
    if (!sameList(s.categories(), e.categories, owners))
        return describe(QStringLiteral("分类列表"), s.categories(), e.categories);

    QStringList wanted { BankNames::categoryList() };
    const QStringList categoryFields { BankNames::testField() };
    for (const QString &category : e.categories) {
        wanted << category;
        if (s.fields.value(category) != categoryFields)
            return QStringLiteral("category table %1 missing or malformed").arg(category);
        const QStringList tests = e.testsOf.value(category);
        if (!sameList(s.column(category, 0), tests, owners))
            return describe(QStringLiteral("category ") + category, s.column(category, 0), tests);
    }

    QStringList questionFields, scoringFields;
    for (const FieldDef &f : BankNames::questionTable(QString()).fields)
        questionFields << f.name;
    for (const FieldDef &f : BankNames::scoringTableDef(QString()).fields)
        scoringFields << f.name;
    for (auto it = e.questions.cbegin(); it != e.questions.cend(); ++it) {
        const QString &test = it.key();
        wanted << test << BankNames::scoringTable(test);
        if (s.fields.value(test) != questionFields)
            return QStringLiteral("question table %1 missing or malformed").arg(test);
        if (s.fields.value(BankNames::scoringTable(test)) != scoringFields)
            return QStringLiteral("scoring table of %1 missing or malformed").arg(test);
        if (!sameList(s.questionNames(test), it.value(), owners))
            return describe(
                QStringLiteral("questions of ") + test, s.questionNames(test), it.value());
        for (const QStringList &row : s.rows.value(test)) {
            for (int option = 0; option < 6; ++option) {
                if (row.value(1 + 2 * option) != WriterLines::optionText(row.value(0), option)
                    || row.value(2 + 2 * option) != WriterLines::optionScore(option))
                    return QStringLiteral("question row of %1 written in part: %2")
                        .arg(test, row.join(u','));
            }
        }
    }

    QStringList tables = s.tables;
    tables.sort();
    wanted.sort();
    if (tables != wanted)
        return describe(QStringLiteral("tables"), tables, wanted);
    return {};
}

} // namespace BankImage
