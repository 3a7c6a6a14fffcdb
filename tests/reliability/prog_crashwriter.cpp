// Commits to a bank through the store as fast as it can and reports every commit, for
// the tests that kill it at random moments or run two copies of it on one bank.
//
//   prog_crashwriter <bank> <tag> <start value> [<seconds> <peer tag>]
//
// Without seconds it runs until it is killed and works on everything in the bank.
// With seconds it stops after that time, works only on its own names (those that
// begin with "<tag>-") plus the shared category and test when the bank has them,
// then waits for its peer to stop too and lists the tables it sees.
// The lines it prints are described in writerlines.h.
#include "writerlines.h"

#include "store/catalogue.h"
#include "store/recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>

namespace {

void say(const QStringList &fields)
{
    const QByteArray line = fields.join(u'\t').toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

struct TestEntry
{
    QString name;
    QString category;
};

class Writer
{
public:
    Writer(const QString &bank, const QString &tag, quint32 start, bool ownOnly)
        : m_bank(bank)
        , m_tag(tag)
        , m_random(start)
        , m_ownOnly(ownOnly)
    { }

    // Reads the categories and tests there are. False when the bank cannot be read.
    bool discover()
    {
        const QStringList categories
            = column(BankNames::categoryList(), BankNames::categoryField());
        if (m_failed)
            return false;
        for (const QString &category : categories) {
            const bool shared = category == WriterLines::kShared;
            if (mine(category))
                m_categories << category;
            if (shared && m_ownOnly)
                m_sharedCategory = true;
            for (const QString &test : column(category, BankNames::testField())) {
                if (mine(test))
                    m_tests.append({ test, category });
                else if (test == WriterLines::kSharedTest && m_ownOnly)
                    m_sharedTest = true;
            }
        }
        return !m_failed;
    }

    // One action, reported before and after its commit. False on a refusal.
    bool step()
    {
        // Two copies begin with what they share, so that both surely touch it.
        ++m_steps;
        if (m_steps == 1 && m_sharedTest)
            return addQuestion(WriterLines::kSharedTest);
        if (m_steps == 2 && m_sharedCategory)
            return addTest(WriterLines::kShared);
        const int r = int(m_random.bounded(100));
        const bool haveCategory = !m_categories.isEmpty() || m_sharedCategory;
        if (!haveCategory || r < 8)
            return addCategory();
        if (m_tests.isEmpty() || r < 25)
            return addTest(someCategory());
        if (r < 33)
            return renameTest();
        if (r < 40)
            return deleteTest();
        return addQuestion(someQuestionTable());
    }

private:
    bool mine(const QString &name) const { return !m_ownOnly || name.startsWith(m_tag + u'-'); }

    // A fresh name of this writer, with the blanks, quotes and dot a user may type.
    QString freshName(const QString &kind)
    {
        const int n = ++m_count;
        return QStringLiteral("%1-%2%3 测'试\".%4").arg(m_tag, kind).arg(n).arg(n % 7);
    }

    QStringList column(const QString &table, const QString &field)
    {
        Recordset rs;
        if (const StoreError e = rs.open(m_bank, table)) {
            refused(e);
            return {};
        }
        return rs.column(field);
    }

    bool done(const StoreError &e)
    {
        if (e) {
            refused(e);
            return false;
        }
        say({ QStringLiteral("K") });
        return true;
    }

    void refused(const StoreError &e)
    {
        m_failed = true;
        say({ QStringLiteral("E"), QString::number(e.number()), e.message() });
    }

    bool addCategory()
    {
        const QString name = freshName(QStringLiteral("c"));
        say({ QStringLiteral("B"), QStringLiteral("cat"), name });
        if (!done(Catalogue::createCategory(m_bank, name)))
            return false;
        m_categories << name;
        return true;
    }

    QString someCategory()
    {
        if (m_sharedCategory && (m_categories.isEmpty() || m_random.bounded(2) == 0))
            return WriterLines::kShared;
        return m_categories.at(int(m_random.bounded(qsizetype(m_categories.size()))));
    }

    int someTest() { return int(m_random.bounded(qsizetype(m_tests.size()))); }

    bool addTest(const QString &category)
    {
        const QString name = freshName(QStringLiteral("t"));
        say({ QStringLiteral("B"), QStringLiteral("test"), name, category });
        if (!done(Catalogue::createTest(m_bank, name, category)))
            return false;
        m_tests.append({ name, category });
        return true;
    }

    bool renameTest()
    {
        TestEntry &t = m_tests[someTest()];
        const QString name = freshName(QStringLiteral("t"));
        say({ QStringLiteral("B"), QStringLiteral("ren"), t.name, name, t.category });
        if (!done(Catalogue::renameTest(m_bank, t.name, name, t.category)))
            return false;
        t.name = name;
        return true;
    }

    bool deleteTest()
    {
        const int k = someTest();
        const TestEntry t = m_tests.at(k);
        say({ QStringLiteral("B"), QStringLiteral("del"), t.name, t.category });
        if (!done(Catalogue::deleteTest(m_bank, t.name, t.category)))
            return false;
        m_tests.removeAt(k);
        return true;
    }

    // A question through a record set, as the question editor adds one. Its text is
    // sometimes long, so that a row spans several pages of the file.
    QString someQuestionTable()
    {
        if (m_sharedTest && (m_tests.isEmpty() || m_random.bounded(3) == 0))
            return WriterLines::kSharedTest;
        return m_tests.at(someTest()).name;
    }

    bool addQuestion(const QString &test)
    {
        const int filler = m_random.bounded(4) == 0 ? int(m_random.bounded(3000)) : 0;
        const QString question = QStringLiteral("%1-q%2").arg(m_tag).arg(++m_count)
            + QString(filler ? 1 : 0, u' ') + QString(filler, u'题');
        say({ QStringLiteral("B"), QStringLiteral("q"), test,
            WriterLines::questionName(question) });
        Recordset rs;
        StoreError e = rs.open(m_bank, test);
        if (!e)
            e = rs.AddNew();
        if (!e)
            e = rs.setValue(BankNames::questionField(), question);
        for (int option = 0; option < 6 && !e; ++option) {
            e = rs.setValue(
                BankNames::optionField(option), WriterLines::optionText(question, option));
            if (!e)
                e = rs.setValue(BankNames::scoreField(option), WriterLines::optionScore(option));
        }
        if (!e)
            e = rs.Update();
        if (!e)
            e = rs.Close();
        return done(e);
    }

    QString m_bank;
    QString m_tag;
    QRandomGenerator m_random;
    bool m_ownOnly;
    bool m_failed = false;
    bool m_sharedCategory = false;
    bool m_sharedTest = false;
    int m_count = 0;
    int m_steps = 0;
    QStringList m_categories;
    QList<TestEntry> m_tests;
};

// Marks this writer as stopped and waits (up to 30 s) for the peer to stop as well.
void meetPeer(const QString &bank, const QString &tag, const QString &peer)
{
    QFile mark(bank + u'.' + tag + QStringLiteral(".done"));
    if (mark.open(QIODevice::WriteOnly))
        mark.close();
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(bank + u'.' + peer + QStringLiteral(".done")) && waited.elapsed() < 30000)
        QThread::msleep(10);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 && args.size() != 6) {
        std::fputs(
            "usage: prog_crashwriter <bank> <tag> <start value> [<seconds> <peer>]\n", stderr);
        return 64;
    }
    const QString bank = args.at(1);
    const QString tag = args.at(2);
    const quint32 start = args.at(3).toUInt();
    const int seconds = args.size() == 6 ? args.at(4).toInt() : 0;

    Writer writer(bank, tag, start, seconds > 0);
    if (!writer.discover())
        return 2;
    say({ QStringLiteral("READY") });

    QElapsedTimer clock;
    clock.start();
    while (seconds == 0 || clock.elapsed() < seconds * 1000) {
        if (!writer.step())
            return 2;
        // Two copies pause a moment between commits, as users would (for far longer):
        // back-to-back commits let one copy hold the lock nearly all the time.
        if (seconds > 0)
            QThread::msleep(QRandomGenerator::global()->bounded(2, 10));
    }

    meetPeer(bank, tag, args.at(5));
    StoreError error;
    const QStringList tables = Catalogue::tables(bank, &error);
    if (error) {
        say({ QStringLiteral("E"), QString::number(error.number()), error.message() });
        return 2;
    }
    for (const QString &table : tables)
        say({ QStringLiteral("T"), table });
    say({ QStringLiteral("END") });
    return 0;
}
