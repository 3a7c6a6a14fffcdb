#include "formats/importer.h"

#include "store/catalogue.h"
#include "store/recordset.h"

#include <QSet>

namespace Exchange {

namespace {

    // Names as the bank compares them: ASCII letters without regard to case.
    QString folded(const QString &name)
    {
        QString out = name;
        for (QChar &c : out)
            if (c.unicode() < 128)
                c = c.toLower();
        return out;
    }

    using Field = Catalogue::Batch::Field;

    // A text read from a UTF-8 file goes to the bank as the bytes it was read as.
    void store(const Text &text, Field &field)
    {
        if (!text)
            return;
        if (const QByteArrayView bytes = text.utf8View(); bytes.data())
            field.utf8 = bytes;
        else
            field.text = text.string();
    }

    void store(const Score &score, Field &field)
    {
        if (score)
            field.number = *score;
    }

    StoreError writeTest(Catalogue::Batch &batch, const Test &test, const QString &category)
    {
        if (const StoreError e = batch.createTest(test.name, category))
            return e;
        const auto question = [&](qsizetype r, Field *fields) {
            const Question &q = test.questions[r];
            store(q.text, fields[0]);
            for (int i = 0; i < 6; ++i) {
                store(q.options[i], fields[1 + 2 * i]);
                store(q.scores[i], fields[2 + 2 * i]);
            }
        };
        if (const StoreError e = batch.appendRows(test.name, 13, test.questions.size(), question))
            return e;
        const auto band = [&](qsizetype r, Field *fields) {
            const Band &b = test.bands[r];
            store(b.lower, fields[0]);
            store(b.upper, fields[1]);
            store(b.evaluation, fields[2]);
        };
        return batch.appendRows(BankNames::scoringTable(test.name), 3, test.bands.size(), band);
    }

} // namespace

QStringList categoryNames(const QString &bank, StoreError *error)
{
    Recordset list;
    const StoreError problem = list.open(bank, BankNames::categoryList());
    if (error)
        *error = problem;
    QStringList names = problem ? QStringList() : list.column(BankNames::categoryField());
    names.removeAll(QString());
    return names;
}

QList<Clash> findClashes(const QString &bank, const Package &package, const QString &into)
{
    QList<Clash> clashes;
    const QStringList existing = categoryNames(bank);
    QSet<QString> used; // names the package takes, folded
    QSet<QString> newCategories;
    const auto claim = [&](const QString &name, int c, int t) {
        if (const StoreError e = Catalogue::checkNewName(bank, name)) {
            clashes.append({ c, t, e.message() });
            return false;
        }
        if (used.contains(folded(name))) {
            clashes.append({ c, t, QStringLiteral("名称“%1”在导入的内容里用了两次。").arg(name) });
            return false;
        }
        used.insert(folded(name));
        return true;
    };
    // A category is made when missing: its name must be free.
    const auto category = [&](const QString &name, int c) {
        if (!existing.contains(name) && !newCategories.contains(name) && claim(name, c, -1))
            newCategories.insert(name);
    };
    if (!into.isEmpty())
        category(into, -1);
    for (int c = 0; c < package.categories.size(); ++c) {
        const QString name = package.categories[c].name;
        const QList<Test> &tests = package.categories[c].tests;
        if (into.isEmpty() || tests.isEmpty()) {
            if (name.isEmpty())
                clashes.append({ c, -1, QStringLiteral("没有指定分类。") });
            else
                category(name, c);
        }
        for (int t = 0; t < tests.size(); ++t)
            if (claim(tests[t].name, c, t))
                claim(BankNames::scoringTable(tests[t].name), c, t);
    }
    return clashes;
}

QStringList newCategories(const QString &bank, const Package &package, const QString &into)
{
    const QStringList existing = categoryNames(bank);
    QStringList made;
    const auto add = [&](const QString &name) {
        if (!name.isEmpty() && !existing.contains(name) && !made.contains(name))
            made << name;
    };
    if (!into.isEmpty())
        add(into);
    for (const Category &category : package.categories)
        if (into.isEmpty() || category.tests.isEmpty())
            add(category.name);
    return made;
}

StoreError importPackage(const QString &bank, const Package &package, const QString &into)
{
    return Catalogue::inOneTransaction(bank, [&](Catalogue::Batch &batch) -> StoreError {
        for (const Category &category : package.categories) {
            // A category without tests is kept as itself, also when the tests go
            // into another one.
            const QString target
                = into.isEmpty() || category.tests.isEmpty() ? category.name : into;
            if (target.isEmpty())
                return StoreError(StoreError::EmptyName, QStringLiteral("没有指定分类。"));
            StoreError error;
            const bool known = batch.isCategory(target, &error);
            if (error)
                return error;
            if (!known)
                if (const StoreError e = batch.createCategory(target))
                    return e;
            for (const Test &test : category.tests)
                if (const StoreError e = writeTest(batch, test, target))
                    return e;
        }
        return StoreError();
    });
}

StoreError copyBank(const QString &from, const QString &to)
{
    QString error;
    const Package package = readBank(from, &error);
    if (!error.isEmpty())
        return StoreError(StoreError::BankUnreadable, error);
    const QList<Clash> clashes = findClashes(to, package, QString());
    if (!clashes.isEmpty())
        return StoreError(StoreError::TableExists, clashes.first().reason);
    return importPackage(to, package, QString());
}

} // namespace Exchange
