// Tests travelling between banks and files: the test file's round trip, the readers
// of spreadsheets and survey exports, names that clash, and damaged files.
#include "exchangebanks.h"

#include "formats/files.h"
#include "formats/importer.h"
#include "formats/spreadsheet/spreadsheet.h"
#include "formats/survey/survey.h"
#include "formats/text/testtext.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "support/accessbanks.h"
#include "support/testfolder.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace Exchange;

namespace {

constexpr char kFifo[] = "<a FIFO>";

QString awkwardManifest()
{
    return AccessBanks::fixture(u"awkward2000.json"_s);
}

QString dataFile(const QString &name)
{
    return QStringLiteral(QELVI_EXCHANGE_DATA "/") + name;
}

// A test as lines: each question "text | A opt=score | …" (options left out are not
// shown, ~ for NULL), then each band "low..high: evaluation".
QStringList describe(const Test &test)
{
    const auto text = [](const Text &t) { return t ? *t : u"~"_s; };
    QStringList out { u"name: "_s + test.name };
    for (const Question &q : test.questions) {
        QStringList parts { text(q.text) };
        for (int i = 0; i < 6; ++i)
            if (!Question::isLeftOut(q.options[i], q.scores[i]))
                parts << QChar(u'A' + i) + u' ' + text(q.options[i]) + u'='
                        + scoreText(q.scores[i]);
        out << parts.join(u" | "_s);
    }
    for (const Band &b : test.bands)
        out << scoreText(b.lower) + u".."_s + scoreText(b.upper) + u": "_s + text(b.evaluation);
    return out;
}

quint32 bits(float f)
{
    quint32 b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

} // namespace

class tst_exchange : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void sampleTextMakesTheShippedBank();
    void readmeExampleReads();
    void textsOutliveTheirFile();
    void plainTextsLoseTheirBlanks_data();
    void plainTextsLoseTheirBlanks();
    void awkwardValues_data();
    void awkwardValues();
    void clashes_data();
    void clashes();
    void refusedImportLeavesBankAsItWas();
    void damagedFile_data();
    void damagedFile();
    void spreadsheet_data();
    void spreadsheet();
    void bandsFromSecondFile();
    void survey_data();
    void survey();
    void otherBank_data();
    void otherBank();
};

void tst_exchange::roundTrip_data()
{
    QTest::addColumn<QString>("source"); // "sample" or "awkward"
    QTest::addColumn<QString>("category"); // export only this category
    QTest::addColumn<QString>("test"); // export only this test
    QTest::newRow("shipped bank") << u"sample"_s << QString() << QString();
    QTest::newRow("shipped test") << u"sample"_s << QString() << u"日常情商自测"_s;
    QTest::newRow("awkward bank") << u"awkward"_s << QString() << QString();
    QTest::newRow("awkward category")
        << u"awkward"_s << u"家长的\"另一面\"(亲子'关系)"_s << QString();
    QTest::newRow("awkward test") << u"awkward"_s << QString() << u"　　沟通, 从倾听开始"_s;
}

// Exported and imported into a fresh bank, a bank (or the part exported) comes back
// table by table, row by row, value by value; exported again it gives the same file.
void tst_exchange::roundTrip()
{
    QFETCH(QString, source);
    QFETCH(QString, category);
    QFETCH(QString, test);
    TestFolder folder(source == u"sample" ? TestFolder::SampleBank : TestFolder::NoBank);
    if (source == u"awkward")
        QVERIFY(ExchangeBanks::fromManifest(awkwardManifest(), folder.bank()));

    QString error;
    Package all = readBank(folder.bank(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const Package exported = !test.isEmpty() ? onlyTest(all, test)
        : !category.isEmpty()                ? onlyCategory(all, category)
                                             : all;
    QVERIFY(!exported.isEmpty());
    const QString file = folder.file(u"exported.txt"_s);
    QVERIFY(writeFile(file, exported, &error));

    const QString copy = folder.file(u"copy.mdb"_s);
    QVERIFY(!BankFile::createFreshBank(copy));
    QStringList notes;
    const Package read = readFile(file, &notes, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(findClashes(copy, read, QString()).isEmpty());
    QVERIFY2(!importPackage(copy, read, QString()), "import refused");

    const QStringList original = ExchangeBanks::dump(folder.bank());
    const QStringList imported = ExchangeBanks::dump(copy);
    if (category.isEmpty() && test.isEmpty()) {
        QCOMPARE(imported, original);
    } else {
        // Every test table that came over is the original's, line for line.
        for (const Category &c : exported.categories)
            for (const Test &t : c.tests)
                for (const QString &table : { t.name, BankNames::scoringTable(t.name) }) {
                    const auto part = [&](const QStringList &d) {
                        const qsizetype at = d.indexOf(QRegularExpression(
                            u"^table "_s + QRegularExpression::escape(table) + u" \\("_s));
                        qsizetype end = at + 1;
                        while (end < d.size() && !d[end].startsWith(u"table "_s))
                            ++end;
                        return d.mid(at, end - at);
                    };
                    QCOMPARE(part(imported), part(original));
                }
        QCOMPARE(categoryNames(copy), QStringList { exported.categories.first().name });
    }
    QCOMPARE(writeText(readBank(copy, &error)), writeText(exported));
}

// The text the shipped bank is made from reads into exactly the shipped bank.
void tst_exchange::sampleTextMakesTheShippedBank()
{
    TestFolder folder;
    QString error;
    const Package sample = readText(
        ExchangeBanks::bytes(QStringLiteral(QELVI_SAMPLE_TEXT)), u"eq-sample.txt"_s, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!importPackage(folder.bank(), sample, QString()));
    QCOMPARE(ExchangeBanks::dump(folder.bank()), ExchangeBanks::dump(TestFolder::sampleBank()));
}

// The example the README gives of the format reads as it says.
void tst_exchange::readmeExampleReads()
{
    const QString readme = QString::fromUtf8(ExchangeBanks::bytes(QStringLiteral(QELVI_README)));
    const QString example = readme.section(u"### The test file"_s, 1).section(u"```"_s, 1, 1);
    QString error;
    const Package p = readText(example.toUtf8(), u"README.md"_s, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(p.categories.value(0).name, u"情商测试"_s);
    QCOMPARE(describe(p.categories[0].tests.value(0)),
        (QStringList { u"name: 日常情商自测"_s,
            u"约好的朋友迟到了半个小时，事先也没打招呼。\n你会： | A 当场沉下脸，数落对方不守时=1 "
            u"| "
            "B 嘴上说没关系，心里却一直不痛快=2 | C  前后有空格的选项 =0.1 | D 没有分数的选项=~ | "
            "E 第一行\r\n第二行=3"_s,
            u"0..10: 还需要多加练习。"_s, u"10.5..~: ~"_s }));
}

// Texts read from a file lie in its bytes, which its tests keep; a text or question
// copied or moved out of them keeps its own, also once the file and package are gone.
void tst_exchange::textsOutliveTheirFile()
{
    const QString file = u"测试: 第一个测试\n题目: 遇到这种情况，你通常会怎么做？\n"
                         "A 1: 先听对方说完\nB 2: 马上回应\n评分 0-10: 还要多练习\n"_s;
    const auto read = [&] {
        QString error;
        Package package = readText(file.toUtf8(), u"t.txt"_s, &error);
        return std::move(package.categories[0].tests[0]);
    };
    const auto writeOverFreed = [&] {
        for (qsizetype size = 1; size < 4 * file.size() * 3; size += 8)
            QByteArray(size, 'x').detach();
    };
    std::optional<Question> moved;
    std::optional<Text> copied;
    {
        Test test = read();
        moved = std::move(test.questions[0]);
        copied = test.bands[0].evaluation;
    }
    writeOverFreed();
    QCOMPARE(moved->text.value(), u"遇到这种情况，你通常会怎么做？"_s);
    QCOMPARE(moved->options[0].utf8View(), "先听对方说完");
    QCOMPARE(copied->value(), u"还要多练习"_s);
    const Test kept = read();
    writeOverFreed();
    QCOMPARE(kept.questions[0].options[1].value(), u"马上回应"_s);
}

// A plain value loses the blanks at its ends as QString::trimmed() drops them.
void tst_exchange::plainTextsLoseTheirBlanks_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");
    QTest::newRow("ideographic blanks") << u"\u3000选项\u3000"_s << u"选项"_s;
    QTest::newRow("no-break and em blanks") << u"\u00a0甲\u2003"_s << u"甲"_s;
    QTest::newRow("tab and blank") << u"\t乙\t "_s << u"乙"_s;
    QTest::newRow("ends outside the BMP") << u"𠮷 𠮷 "_s << u"𠮷 𠮷"_s;
    QTest::newRow("blank inside kept") << u"丙\u3000丁"_s << u"丙\u3000丁"_s;
    QTest::newRow("ends past U+3000") << u"\u3001句\u4e00"_s << u"\u3001句\u4e00"_s;
}

void tst_exchange::plainTextsLoseTheirBlanks()
{
    QFETCH(QString, written);
    QFETCH(QString, read);
    QString error;
    const Package p
        = readText((u"测试: 空白\n题目:"_s + written + u"\nA 1:"_s + written + u"\n"_s).toUtf8(),
            u"t.txt"_s, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(p.categories[0].tests[0].questions[0].text.value(), read);
    QCOMPARE(p.categories[0].tests[0].questions[0].options[0].value(), read);
}

void tst_exchange::awkwardValues_data()
{
    QTest::addColumn<QString>("value"); // a text, and also a test's name
    QTest::addColumn<float>("score");
    QTest::addColumn<QString>("written"); // how the text is written, when it matters
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("plain") << u"平常的文字: 带冒号"_s << 1.5f << u"平常的文字: 带冒号"_s;
    QTest::newRow("two lines") << u"第一行\n第二行"_s << -0.0f << u"第一行\n    第二行"_s;
    QTest::newRow("blank line inside") << u"甲\n\n乙"_s << 0.1f << u"\"甲\\n\\n乙\""_s;
    QTest::newRow("CR LF") << u"甲\r\n乙"_s << inf << u"\"甲\\r\\n乙\""_s;
    QTest::newRow("empty") << QString(u""_s) << -inf << u"\"\""_s;
    QTest::newRow("one blank") << u" "_s << 1e-45f << u"\" \""_s;
    QTest::newRow("blanks around") << u"　前后 "_s << 3.4028235e38f << QString();
    QTest::newRow("tilde") << u"~"_s << 16777216.f << u"\"~\""_s;
    QTest::newRow("quote first") << u"\"引\"号"_s << 100.00001525878906f << QString();
    QTest::newRow("control and tab") << u"a\x01\tb\\"_s << -1e6f << u"\"a\\u0001\\tb\\\\\""_s;
    QTest::newRow("hash first") << u"#不是注释"_s << 0.3f << u"#不是注释"_s;
    QTest::newRow("outside the BMP") << u"𠮷"_s << 1.f / 3 << u"𠮷"_s;
    QTest::newRow("byte-order mark first") << u"\uFEFF标记"_s << 1234567.f << u"\uFEFF标记"_s;
    QTest::newRow("wide blank inside") << u"甲　乙 丙"_s << -8388607.5f << u"甲　乙 丙"_s;
}

// Every text and score goes out and comes back the same, in questions, options,
// bands and names; plain texts stay readable.
void tst_exchange::awkwardValues()
{
    QFETCH(QString, value);
    QFETCH(float, score);
    QFETCH(QString, written);
    Question q;
    q.text = value;
    q.options[0] = value;
    q.scores[0] = score;
    q.options[2] = std::nullopt;
    q.scores[5] = score;
    const QString name = value.isEmpty() ? u"名"_s : value;
    const Package package { { Category { name + u"类"_s,
        { Test { name, { q, Question {} },
            { Band { score, std::nullopt, value },
                Band { std::nullopt, score, std::nullopt } } } } } } };
    const QByteArray bytes = writeText(package);
    if (!written.isEmpty())
        QVERIFY2(bytes.contains((u"题目: "_s + written + u'\n').toUtf8()), bytes.constData());

    QString error;
    const Package back = readText(bytes, u"t.txt"_s, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(back.categories.size(), 1);
    QCOMPARE(back.categories[0].name, package.categories[0].name);
    const Test &t = back.categories[0].tests.value(0);
    QCOMPARE(describe(t), describe(package.categories[0].tests[0]));
    QCOMPARE(t.questions.size(), 2);
    QCOMPARE(bits(*t.questions[0].scores[0]), bits(score));
    QCOMPARE(bits(*t.bands[0].lower), bits(score));
    QVERIFY(!t.questions[0].options[2].has_value());
    QVERIFY(!t.bands[1].evaluation.has_value());

    // Imported (under names a table may have), every text lands in the bank as it was
    // written, and so does the score (but for -0, which the bank keeps as 0).
    Package named = back;
    named.categories[0].name = u"类"_s;
    named.categories[0].tests[0].name = u"测"_s;
    TestFolder folder(TestFolder::NoBank);
    QVERIFY(!BankFile::createFreshBank(folder.bank()));
    QVERIFY2(!importPackage(folder.bank(), named, QString()), "import refused");
    const Package stored = readBank(folder.bank(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const Test &in = stored.categories.value(0).tests.value(0);
    QCOMPARE(in.questions.size(), 2);
    for (int q = 0; q < 2; ++q) {
        QCOMPARE(in.questions[q].text, t.questions[q].text);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(in.questions[q].options[i], t.questions[q].options[i]);
    }
    QCOMPARE(in.bands.value(0).evaluation, t.bands[0].evaluation);
    QCOMPARE(in.bands.value(1).evaluation, t.bands[1].evaluation);
    if (score != 0)
        QCOMPARE(bits(*in.questions[0].scores[0]), bits(score));
}

void tst_exchange::clashes_data()
{
    QTest::addColumn<QStringList>("categories"); // of the package, one test each
    QTest::addColumn<QStringList>("tests");
    QTest::addColumn<QString>("into");
    QTest::addColumn<QStringList>("clashing"); // "category/test" indexes, -1 for a category
    // The bank holds category 情商测试 with test 日常情商自测.
    const QString cat = u"情商测试"_s;
    QTest::newRow("free names") << QStringList { cat } << QStringList { u"新测试"_s } << QString()
                                << QStringList {};
    QTest::newRow("a test's name") << QStringList { cat } << QStringList { u"日常情商自测"_s }
                                   << QString() << QStringList { u"0/0"_s };
    QTest::newRow("a scoring table's name")
        << QStringList { cat } << QStringList { u"日常情商自测评分"_s } << QString()
        << QStringList { u"0/0"_s };
    QTest::newRow("a category's name")
        << QStringList { cat } << QStringList { cat } << cat << QStringList { u"0/0"_s };
    QTest::newRow("the category list") << QStringList { cat } << QStringList { u"分类列表"_s }
                                       << QString() << QStringList { u"0/0"_s };
    QTest::newRow("reserved") << QStringList { cat } << QStringList { u"sqlite_x"_s } << QString()
                              << QStringList { u"0/0"_s };
    QTest::newRow("a test's name over the limit")
        << QStringList { cat } << QStringList { QString(256, u'长') } << QString()
        << QStringList { u"0/0"_s };
    QTest::newRow("twice in the package, letter case")
        << QStringList { cat, cat } << QStringList { u"EQ 测"_s, u"eq 测"_s } << QString()
        << QStringList { u"1/0"_s };
    QTest::newRow("one test's scoring table is another's name")
        << QStringList { u"新类"_s, u"新类"_s } << QStringList { u"甲"_s, u"甲评分"_s } << QString()
        << QStringList { u"1/0"_s };
    QTest::newRow("new category named like a test")
        << QStringList { u"日常情商自测"_s } << QStringList { u"乙"_s } << QString()
        << QStringList { u"0/-1"_s };
    QTest::newRow("no category named") << QStringList { QString() } << QStringList { u"丙"_s }
                                       << QString() << QStringList { u"0/-1"_s };
    QTest::newRow("no category named, one chosen")
        << QStringList { QString() } << QStringList { u"丙"_s } << cat << QStringList {};
}

void tst_exchange::clashes()
{
    QFETCH(QStringList, categories);
    QFETCH(QStringList, tests);
    QFETCH(QString, into);
    QFETCH(QStringList, clashing);
    TestFolder folder(TestFolder::SampleBank);
    Package package;
    for (int i = 0; i < categories.size(); ++i)
        package.categories.append(
            Category { categories[i], { Test { tests[i], { Question {} }, {} } } });
    QStringList found;
    for (const Clash &c : findClashes(folder.bank(), package, into)) {
        found << QString::number(c.category) + u'/' + QString::number(c.test);
        QVERIFY(!c.reason.isEmpty());
    }
    QCOMPARE(found, clashing);

    // What is found is what the store would refuse: a clean package goes in whole.
    const QByteArray before = ExchangeBanks::bytes(folder.bank());
    const StoreError e = importPackage(folder.bank(), package, into);
    QCOMPARE(bool(e), !clashing.isEmpty());
    if (e)
        QCOMPARE(ExchangeBanks::bytes(folder.bank()), before);
    else
        QCOMPARE(Catalogue::hasTable(folder.bank(), tests.last()), true);
}

// A clash met half-way (not looked for first) undoes the tests already written.
void tst_exchange::refusedImportLeavesBankAsItWas()
{
    TestFolder folder(TestFolder::SampleBank);
    const QByteArray before = ExchangeBanks::bytes(folder.bank());
    QList<Test> tests;
    for (int i = 0; i < 50; ++i)
        tests.append(Test { u"测试 %1"_s.arg(i), QList<Question>(20), { Band { 0, 1, u"好"_s } } });
    tests.append(Test { u"日常情商自测"_s, {}, {} });
    const StoreError e
        = importPackage(folder.bank(), Package { { Category { u"新分类"_s, tests } } }, QString());
    QCOMPARE(e.number(), int(StoreError::TableExists));
    QCOMPARE(ExchangeBanks::bytes(folder.bank()), before);
}

void tst_exchange::damagedFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("where"); // the part of the message that points at the fault
    const QByteArray head = "分类: 类\n测试: 测\n题目: 题\n";
    QTest::newRow("text: score no number") << u"a.txt"_s << head + "A x1: 是\n" << u"第 4 行"_s;
    QTest::newRow("text: options out of order") << u"a.txt"_s << head + "B 1: 是\nA 2: 否\n"
                                                << u"第 5 行"_s;
    QTest::newRow("text: quote not closed") << u"a.txt"_s << head + "A 1: \"是\n" << u"第 4 行"_s;
    QTest::newRow("text: unknown escape") << u"a.txt"_s << head + "A 1: \"\\q\"\n" << u"第 4 行"_s;
    // Escapes that name no character: a surrogate without its partner, a non-character.
    QTest::newRow("text: lone high surrogate") << u"a.txt"_s << head + "A 1: \"是\\uD800\"\n"
                                               << u"第 4 行引号里的“\\uD800”"_s;
    QTest::newRow("text: lone low surrogate") << u"a.txt"_s << head + "A 1: \"\\udc00\"\n"
                                              << u"第 4 行"_s;
    QTest::newRow("text: high surrogate before a letter")
        << u"a.txt"_s << head + "A 1: \"\\uD83Dx\"\n"
        << u"第 4 行"_s;
    QTest::newRow("text: non-character") << u"a.txt"_s << head + "A 1: \"\\uFFFF\"\n"
                                         << u"第 4 行"_s;
    QTest::newRow("text: band bounds") << u"a.txt"_s << head + "评分 1~2: 好\n" << u"第 4 行"_s;
    QTest::newRow("text: option before question")
        << u"a.txt"_s << QByteArray("测试: 测\nA 1: 是\n") << u"第 2 行"_s;
    QTest::newRow("text: indented line first")
        << u"a.txt"_s << QByteArray("# 注释\n    接续\n") << u"第 2 行"_s;
    QTest::newRow("text: no UTF-8") << u"a.txt"_s << head + "A 1: \xd6\xd0\xce\xc4\n"
                                    << u"第 4 行"_s;
    QTest::newRow("text: empty name")
        << u"a.txt"_s << QByteArray("分类: 类\n测试: \"\"\n") << u"第 2 行"_s;
    QTest::newRow("text: nothing") << u"a.txt"_s << QByteArray("# 空\n") << u"a.txt"_s;
    QTest::newRow("sheet: quote not closed")
        << u"b.csv"_s << QByteArray("题目,A,1\n\"问,是,1\n") << u"第 2 行"_s;
    QTest::newRow("sheet: score no number")
        << u"b.csv"_s << QByteArray("问,是,一分\n") << u"第 1 行"_s;
    QTest::newRow("sheet: seven options")
        << u"b.csv"_s << QByteArray("问,a,1,b,1,c,1,d,1,e,1,f,1,g,1\n") << u"第 1 行"_s;
    QTest::newRow("sheet: band no number")
        << u"b.tsv"_s << QByteArray("问\t是\t1\n评分\n低\t2\t差\n") << u"第 3 行"_s;
    QTest::newRow("survey: broken XML")
        << u"c.lss"_s << QByteArray("<document>\n<questions>\n</document>\n") << u"第 3 行"_s;
    QTest::newRow("survey: not a survey") << u"c.lss"_s << QByteArray("<html/>") << u"<document>"_s;
    QByteArray survey = ExchangeBanks::bytes(dataFile(u"new-layout.lss"_s));
    survey.replace("<assessment_value><![CDATA[4]]>", "<assessment_value><![CDATA[四]]>");
    QTest::newRow("survey: assessment value") << u"c.lss"_s << survey << u"<assessment_value>"_s;
    QTest::newRow("bank: no bank")
        << u"d.mdb"_s << QByteArray("not a database at all") << u"d.mdb"_s;
    const auto jetHeader = [](char version) {
        QByteArray header("\x00\x01\x00\x00Standard Jet DB\x00", 20);
        return header + QByteArray(1, version) + QByteArray(4096 - 21, '\x00');
    };
    QTest::newRow("bank: Access 97") << u"d.mdb"_s << jetHeader(0) << u"Access 97"_s;
    QTest::newRow("bank: Access 2000, damaged") << u"d.mdb"_s << jetHeader(1) << u"损坏"_s;
    // A FIFO where the file should be: read, it would never end.
    QTest::newRow("text: a FIFO") << u"e.txt"_s << QByteArray(kFifo) << u"不是普通文件"_s;
    QTest::newRow("bank: a FIFO") << u"e.mdb"_s << QByteArray(kFifo) << u"e.mdb"_s;
}

// A file that cannot be read gives one message naming it and the place at fault,
// and the bank stays as it was, byte for byte.
void tst_exchange::damagedFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, where);
    TestFolder folder(TestFolder::SampleBank);
    if (bytes == kFifo)
        QCOMPARE(::mkfifo(QFile::encodeName(folder.file(name)).constData(), 0600), 0);
    else
        folder.write(name, bytes);
    const QByteArray before = ExchangeBanks::bytes(folder.bank());
    QString error;
    QStringList notes;
    const Package p = readFile(folder.file(name), &notes, &error);
    QVERIFY(p.isEmpty());
    QVERIFY2(error.contains(name) && error.contains(where), qPrintable(error));
    QCOMPARE(ExchangeBanks::bytes(folder.bank()), before);
}

void tst_exchange::spreadsheet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QStringList both {
        u"name: 表"_s,
        u"他说：\"好, 行\"\n你怎么看？ | A 同意, 完全=1 | B 不同意=-0.5"_s,
        u"只有两项 | A 是=2 | C =~"_s,
        u"0..1.5: 一般"_s,
        u"2..3: 很好，\n继续。"_s,
    };
    const QByteArray csv = "题目,选项A,分数A,选项B,分数B\r\n"
                           "\"他说：\"\"好, 行\"\"\n你怎么看？\",\"同意, 完全\",1,不同意,-0.5\r\n"
                           "\r\n"
                           "只有两项,是,2,,,,\r\n"
                           "评分\r\n"
                           "0,1.5,一般\r\n"
                           "2,3,\"很好，\n继续。\"\r\n";
    // "C =~" is the third option given as text-less: a blank with no score stays out.
    QStringList expected = both;
    expected[2] = u"只有两项 | A 是=2"_s;
    QTest::newRow("UTF-8 with byte-order mark") << u"表.csv"_s << "\xEF\xBB\xBF" + csv << expected;
    QTest::newRow("UTF-8") << u"表.csv"_s << csv << expected;
    QTest::newRow("GBK") << u"表.csv"_s << QByteArray(QStringEncoder("GBK")(QString::fromUtf8(csv)))
                         << expected;
    QByteArray tsv = csv;
    tsv.replace("\"同意, 完全\",1,不同意,-0.5", "同意, 完全\t1\t不同意\t-0.5")
        .replace(",", "\t")
        .replace("同意\t 完全", "同意, 完全")
        .replace("好\t 行", "好, 行");
    QTest::newRow("TSV") << u"表.tsv"_s << tsv << expected;
    QTest::newRow("score without text, text without score")
        << u"x.csv"_s << QByteArray("问,,3,无分\n")
        << QStringList { u"name: x"_s, u"问 | A  =3 | B 无分=~"_s };
}

void tst_exchange::spreadsheet()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    TestFolder folder;
    folder.write(name, bytes);
    QString error;
    QStringList notes;
    const Package p = readFile(folder.file(name), &notes, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(p.categories.size(), 1);
    QVERIFY(p.categories[0].name.isEmpty());
    QCOMPARE(describe(p.categories[0].tests.value(0)), expected);
}

void tst_exchange::bandsFromSecondFile()
{
    QString error;
    const QList<Band> bands = readBandSheet(
        QByteArray("分数下限,分数上限,评价\n0,5,差\n5.5,10,\"好,很好\"\n"), u"评分.csv"_s, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(bands.size(), 2);
    QCOMPARE(*bands[1].lower, 5.5f);
    QCOMPARE(*bands[1].evaluation, u"好,很好"_s);
    readBandSheet(QByteArray("0,x,差\n"), u"评分.csv"_s, &error);
    QVERIFY(error.contains(u"第 1 行"_s));
}

void tst_exchange::survey_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("skipped");
    QTest::newRow("older layout")
        << u"old-layout.lss"_s
        << QStringList { u"name: 压力应对自测"_s,
               u"遇到压力时，你通常会： | A 憋在心里=1 | B 找人聊聊=3 | C 运动 & 休息=2.5"_s,
               u"你会因为压力失眠吗？ | A 从不=0 | B 经常=-2"_s,
               u"给自己现在的状态打分 | A 1=1 | B 2=2 | C 3=3 | D 4=4 | E 5=5"_s,
               u"-10..4: 压力有点大，\n试着多休息。"_s, u"4.5..20: 应对得不错。"_s }
        << 2;
    QTest::newRow("newer layout")
        << u"new-layout.lss"_s
        << QStringList { u"name: Team climate"_s,
               u"Do colleagues help you? | A Often=4 | B Rarely=0"_s,
               u"How is your mood at work? | A 1=1 | B 2=2 | C 3=3 | D 4=4 | E 5=5"_s,
               u"0..4: Talk to your team more."_s, u"5..9: A warm team."_s }
        << 0;
}

// Single-choice questions with their assessment values and the survey's total
// assessments become a test; a question of seven options is reported, never cut.
void tst_exchange::survey()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QFETCH(int, skipped);
    QString error;
    QStringList notes;
    const Package p = readFile(dataFile(file), &notes, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(describe(p.categories.value(0).tests.value(0)), expected);
    QCOMPARE(notes.size(), skipped);
    if (skipped)
        QVERIFY2(
            notes.join(u'\n').contains(u"七级量表"_s) && notes.join(u'\n').contains(u"7 个选项"_s),
            qPrintable(notes.join(u'\n')));
}

// Another bank, of the program or of Access 2000, is read on a connection of its own:
// the program's bank stays open, the file read is left as it was, and the tests chosen
// from it come over whole.
void tst_exchange::otherBank_data()
{
    QTest::addColumn<bool>("access");
    QTest::newRow("program bank") << false;
    QTest::newRow("Access 2000 bank") << true;
}

void tst_exchange::otherBank()
{
    QFETCH(bool, access);
    TestFolder folder;
    const QString built = folder.file(u"built.db"_s);
    QVERIFY(ExchangeBanks::fromManifest(awkwardManifest(), built));
    const QString other = folder.file(u"other.mdb"_s);
    QVERIFY(QFile::copy(access ? AccessBanks::path(u"awkward2000"_s) : built, other));
    const QByteArray before = ExchangeBanks::bytes(other);
    QString error;
    QStringList notes;
    const Package p = readFile(other, &notes, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(writeText(p), writeText(readFile(built, &notes, &error)));
    QCOMPARE(ExchangeBanks::bytes(other), before);
    QCOMPARE(p.testCount(), 6);
    QCOMPARE(BankFile::connectedPath(), QString());
    const Package one = onlyTest(p, u"EQ 速测"_s);
    QVERIFY(!importPackage(folder.bank(), one, QString()));
    QCOMPARE(folder.rows(u"EQ 速测"_s).size(), 3);
    QCOMPARE(categoryNames(folder.bank()), QStringList { u"Big Five 人格"_s });
}

QTEST_GUILESS_MAIN(tst_exchange)
#include "tst_exchange.moc"
