// The band check on small tests, each expectation also confirmed by taking every
// answer path through the runner's own scoring steps; and the shipped sample test.
#include "authoring/bandpicture.h"
#include "authoring/bandwording.h"
#include "base/valuerules.h"
#include "scoring/bandcheck.h"
#include "scoring/scoring.h"
#include "support/testfolder.h"

#include <QRandomGenerator>
#include <QTest>
#include <map>
#include <set>

using namespace BandCheck;

namespace {

// A question whose options are given as (text, score); options left out are empty.
Question ask(const QList<std::pair<QString, QString>> &options)
{
    Question q;
    for (int i = 0; i < 6; ++i) {
        q.options << (i < options.size() ? options.at(i).first : QString());
        q.scores << (i < options.size() ? options.at(i).second : QString());
    }
    return q;
}

// A question with one shown option for each score.
Question scores(const QStringList &values)
{
    QList<std::pair<QString, QString>> options;
    for (const QString &v : values)
        options.append({ QStringLiteral("选") + v, v });
    return ask(options);
}

QList<Band> bandsOf(const QList<std::pair<QString, QString>> &bounds)
{
    QList<Band> out;
    for (const auto &[lower, upper] : bounds)
        out.append({ lower, upper });
    return out;
}

QString rangeText(const Range &r)
{
    const QString span = r.from == r.to
        ? singleText(r.from)
        : singleText(r.from) + QStringLiteral("..") + singleText(r.to);
    return span + u':' + (r.count < 0 ? QStringLiteral("?") : QString::number(r.count));
}

QString gapsText(const Check &c)
{
    QStringList out;
    for (const Range &r : c.gaps)
        out << rangeText(r);
    return out.join(u' ');
}

QString overlapsText(const Check &c)
{
    QStringList out;
    for (const Overlap &o : c.overlaps) {
        QStringList bands;
        for (int b : o.bands)
            bands << QString::number(b);
        out << rangeText(o.range) + u'@' + bands.join(u',');
    }
    return out.join(u' ');
}

QString numbers(const QList<int> &list)
{
    QStringList out;
    for (int n : list)
        out << QString::number(n);
    return out.join(u',');
}

// Every final total the runner can show, each with the bands (from 1) that hold it:
// every path of answers through the shown options, summed as the runner sums them.
std::map<float, QList<int>> runEveryPath(const QList<Question> &questions, const QList<Band> &bands)
{
    std::map<float, QList<int>> out;
    if (questions.isEmpty())
        return out;
    QStringList totals { QStringLiteral("0") };
    for (const Question &q : questions) {
        QStringList next;
        for (const QString &total : totals)
            for (int option = 0; option < 6; ++option)
                if (!Scoring::isBlankOption(q.options.value(option)))
                    next << Scoring::addScore(total, q.scores.value(option));
        totals = next;
    }
    for (const QString &text : totals) {
        const float total = float(val(text));
        QList<int> holders;
        for (int b = 0; b < bands.size(); ++b)
            if (Scoring::bandHolds(
                    total, float(val(bands.at(b).lower)), float(val(bands.at(b).upper))))
                holders << b + 1;
        out[total] = holders;
    }
    return out;
}

// The totals an exact check lists, lowest first.
std::vector<float> listedTotals(const Totals &totals)
{
    std::vector<float> out;
    for (const auto &[from, to] : totals.spans)
        out.push_back(from);
    return out;
}

// The totals the runner gives, lowest first.
std::vector<float> runnerTotals(const QList<Question> &questions)
{
    std::vector<float> out;
    for (const auto &[total, holders] : runEveryPath(questions, {}))
        out.push_back(total);
    return out;
}

bool within(float x, const Range &r)
{
    return r.from <= x && x <= r.to;
}

} // namespace

class tst_bandcheck : public QObject
{
    Q_OBJECT

private slots:
    void smallTests_data()
    {
        QTest::addColumn<QList<Question>>("questions");
        QTest::addColumn<QList<Band>>("bands");
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("gaps");
        QTest::addColumn<QString>("overlaps");
        QTest::addColumn<QString>("unused");

        const Question oneToFour = scores({ "1", "2", "3", "4" });
        const QList<Question> three { oneToFour, oneToFour, oneToFour }; // totals 3..12
        QTest::newRow("covered") << three << bandsOf({ { "3", "7" }, { "8", "12" } }) << exactLimit
                                 << "覆盖完整" << qint64(10) << ""
                                 << ""
                                 << "";
        QTest::newRow("gap") << three << bandsOf({ { "3", "6" }, { "8", "12" } }) << exactLimit
                             << "1 处缺口" << qint64(10) << "7:1"
                             << ""
                             << "";
        QTest::newRow("overlap at a bound") << three << bandsOf({ { "3", "8" }, { "8", "12" } })
                                            << exactLimit << "1 处重叠" << qint64(10) << ""
                                            << "8:1@1,2"
                                            << "";
        QTest::newRow("in any order, with a band out of reach")
            << three << bandsOf({ { "11", "12" }, { "20", "30" }, { "5", "9" }, { "3", "5" } })
            << exactLimit << "1 处缺口，1 处重叠" << qint64(10) << "10:1"
            << "5:1@3,4"
            << "2";
        QTest::newRow("gaps on both sides of a band nobody reaches")
            << QList<Question> { scores({ "0", "10", "30" }) }
            << bandsOf({ { "0", "5" }, { "15", "25" } }) << exactLimit << "2 处缺口" << qint64(3)
            << "10:1 30:1"
            << ""
            << "2";
        QTest::newRow("bounds above the lower: only the two ends")
            << QList<Question> { scores({ "0", "1", "2", "3" }), scores({ "0", "1", "2" }) }
            << bandsOf({ { "5", "0" } }) << exactLimit << "1 处缺口" << qint64(6) << "1..4:4"
            << ""
            << "";

        // 0.1 + 0.2 is 0.30000000000000004 in double precision, 0 + 0.3 is 0.3: both end
        // as the single 0.3, which the band from 0.3 holds as the runner compares.
        const QList<Question> tenths { scores({ "0", "0.1" }), scores({ "0.2", "0.3" }) };
        QTest::newRow("single precision holds 0.1 + 0.2")
            << tenths << bandsOf({ { "0", "0.2" }, { "0.3", "0.4" } }) << exactLimit << "覆盖完整"
            << qint64(3) << ""
            << ""
            << "";
        QTest::newRow("single precision misses 0.1 + 0.2")
            << tenths << bandsOf({ { "0", "0.2" }, { "0.3000001", "0.4" } }) << exactLimit
            << "1 处缺口" << qint64(3) << "0.3:1"
            << ""
            << "";
        QTest::newRow("halves") << QList<Question> { scores({ "0.5", "1.5" }),
            scores({ "0.5", "1.5" }) }
                                << bandsOf({ { "1", "2.5" } }) << exactLimit << "1 处缺口"
                                << qint64(3) << "3:1"
                                << ""
                                << "";

        // Hidden options (" " and "") cannot be chosen: their scores never count.
        const Question blanks = ask({ { "是", "1" }, { " ", "100" }, { "", "50" }, { "否", "2" } });
        QTest::newRow("blank options")
            << QList<Question> { blanks, blanks } << bandsOf({ { "2", "4" } }) << exactLimit
            << "覆盖完整" << qint64(3) << ""
            << ""
            << "";
        const Question minus = scores({ "-2", "0", "3" });
        QTest::newRow("negative scores")
            << QList<Question> { minus, minus } << bandsOf({ { "-4", "-3" }, { "0", "6" } })
            << exactLimit << "1 处缺口" << qint64(6) << "-2:1"
            << ""
            << "";
        QTest::newRow("empty scores count 0")
            << QList<Question> { ask({ { "是", "" }, { "否", "abc" } }) }
            << bandsOf({ { "0", "0" } }) << exactLimit << "覆盖完整" << qint64(1) << ""
            << ""
            << "";

        QTest::newRow("no questions") << QList<Question>() << bandsOf({ { "0", "10" } })
                                      << exactLimit << "还没有题目" << qint64(0) << ""
                                      << ""
                                      << "";
        QTest::newRow("no bands") << QList<Question> { oneToFour } << QList<Band>() << exactLimit
                                  << "还没有分数档" << qint64(4) << ""
                                  << ""
                                  << "";
        QTest::newRow("a question with no option")
            << QList<Question> { oneToFour, ask({ { " ", "1" }, { "", "2" } }) }
            << bandsOf({ { "0", "10" } }) << exactLimit << "第 2 题没有选项" << qint64(0) << ""
            << ""
            << "";

        // More totals than the limit: spans, and the check says it is approximate.
        const Question zeroOne = scores({ "0", "1" });
        QTest::newRow("approximate on a lattice")
            << QList<Question> { zeroOne, zeroOne, zeroOne, zeroOne }
            << bandsOf({ { "0", "1" }, { "3", "4" } }) << qsizetype(3) << "约 1 处缺口"
            << qint64(-1) << "1.0000001..2.9999998:?"
            << ""
            << "";
        QTest::newRow("approximate on a lattice, nothing between whole bounds")
            << QList<Question> { zeroOne, zeroOne, zeroOne, zeroOne }
            << bandsOf({ { "0", "1" }, { "2", "4" } }) << qsizetype(3) << "大致覆盖完整"
            << qint64(-1) << ""
            << ""
            << "";
        // Thousandths: between the bounds 1500 and 1500.001 lies no total.
        const QList<Question> thousandths { scores({ "1499.999", "1500", "1500.002" }),
            scores({ "0", "0.001" }) };
        QTest::newRow("approximate on thousandths, nothing between neighbouring bounds")
            << thousandths << bandsOf({ { "1499", "1500" }, { "1500.001", "1501" } })
            << qsizetype(2) << "大致覆盖完整" << qint64(-1) << ""
            << ""
            << "";
        QTest::newRow("approximate on thousandths, one total left out")
            << thousandths << bandsOf({ { "1499", "1500" }, { "1500.002", "1501" } })
            << qsizetype(2) << "约 1 处缺口" << qint64(-1) << "1500.0001..1500.0018:?"
            << ""
            << "";
        QTest::newRow("exact on thousandths")
            << thousandths << bandsOf({ { "1499", "1500" }, { "1500.002", "1501" } }) << exactLimit
            << "1 处缺口" << qint64(5) << "1500.001:1"
            << ""
            << "";
        // The exact total 16777217 lies on the middle of two singles: the runner's
        // double sum lands on either side of it, by the path.
        QTest::newRow("one exact total, two singles")
            << QList<Question> { scores({ "16777216.7", "16777216.5", "16777216.6" }),
                   scores({ "0.3", "0.5", "0.4" }), scores({ "0", "0.2", "0.1" }) }
            << bandsOf({ { "0", "16777216" }, { "16777218", "16777300" } }) << exactLimit
            << "覆盖完整" << qint64(2) << ""
            << ""
            << "";
        const Question tenth = scores({ "0", "0.1" });
        QTest::newRow("approximate on any scores")
            << QList<Question> { tenth, tenth, tenth } << bandsOf({ { "0", "0.3" } })
            << qsizetype(2) << "大致覆盖完整" << qint64(-1) << ""
            << ""
            << "";
    }

    void smallTests()
    {
        QFETCH(QList<Question>, questions);
        QFETCH(QList<Band>, bands);
        QFETCH(qsizetype, limit);
        QFETCH(QString, summary);
        QFETCH(qint64, count);
        QFETCH(QString, gaps);
        QFETCH(QString, overlaps);
        QFETCH(QString, unused);

        const Check c = check(questions, bands, limit);
        QCOMPARE(BandCheck::summary(c), summary);
        QCOMPARE(c.count(), count);
        QCOMPARE(gapsText(c), gaps);
        QCOMPARE(overlapsText(c), overlaps);
        QCOMPARE(numbers(c.unusedBands), unused);
        QVERIFY(!detail(c).isEmpty());

        // What the runner gives on every answer path agrees with the check.
        const std::map<float, QList<int>> runs = runEveryPath(questions, bands);
        if (c.blockedQuestion) {
            QVERIFY(!c.reachable());
            return;
        }
        if (c.totals.exact) {
            for (const auto &[from, to] : c.totals.spans)
                QCOMPARE(from, to);
            QCOMPARE(listedTotals(c.totals), runnerTotals(questions));
        }
        if (bands.isEmpty() || !c.reachable())
            return;
        std::set<int> held;
        qint64 uncovered = 0;
        qint64 doubly = 0;
        for (const auto &run : runs) {
            // Named copies: a lambda may not capture a structured binding (C++20 before clang 16).
            const auto &total = run.first;
            const auto &holders = run.second;
            const auto gap = std::find_if(
                c.gaps.begin(), c.gaps.end(), [&](const Range &r) { return within(total, r); });
            const auto overlap = std::find_if(c.overlaps.begin(), c.overlaps.end(),
                [&](const Overlap &o) { return within(total, o.range); });
            QCOMPARE(gap != c.gaps.end(), holders.isEmpty());
            QCOMPARE(overlap != c.overlaps.end(), holders.size() > 1);
            if (holders.size() > 1)
                QCOMPARE(overlap->bands, holders); // the runner gives the last of them
            uncovered += holders.isEmpty();
            doubly += holders.size() > 1;
            held.insert(holders.begin(), holders.end());
        }
        if (c.totals.exact) {
            qint64 gapCount = 0;
            for (const Range &r : c.gaps)
                gapCount += r.count;
            qint64 overlapCount = 0;
            for (const Overlap &o : c.overlaps)
                overlapCount += o.range.count;
            QCOMPARE(gapCount, uncovered);
            QCOMPARE(overlapCount, doubly);
            for (int band = 1; band <= bands.size(); ++band)
                QCOMPARE(c.unusedBands.contains(band), !held.count(band));
        }
    }

    // Random small tests on decimal steps, near zero and where the runner's rounding
    // decides (around 2^23 and 2^24, where singles lie one or two apart): the exact
    // totals are the runner's, path by path.
    void decimalTotalsAreTheRunners_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("spread"); // scores run from offset to offset + spread steps
        QTest::newRow("tenths") << 1 << 0.0 << 30;
        QTest::newRow("hundredths, negative") << 2 << -3.0 << 700;
        QTest::newRow("thousandths") << 3 << 1500.0 << 40;
        QTest::newRow("tenths near 2^23") << 1 << 8388607.0 << 25;
        QTest::newRow("tenths near 2^24") << 1 << 16777215.0 << 30;
        QTest::newRow("hundredths near 2^24") << 2 << 16777216.0 << 300;
        QTest::newRow("thousandths near 2^22") << 3 << 4194303.0 << 3000;
    }

    void decimalTotalsAreTheRunners()
    {
        QFETCH(int, decimals);
        QFETCH(double, offset);
        QFETCH(int, spread);
        QRandomGenerator random(quint32(decimals * 7919 + spread));
        for (int run = 0; run < 40; ++run) {
            QList<Question> questions;
            const int count = 2 + int(random.bounded(3));
            for (int q = 0; q < count; ++q) {
                QStringList values;
                const int options = 1 + int(random.bounded(4));
                for (int o = 0; o < options; ++o) {
                    // The first question carries the offset, the others small steps.
                    const double base = q == 0 ? offset : 0;
                    const int units = int(random.bounded(spread + 1));
                    values << QString::number(
                        base + units / std::pow(10.0, decimals), 'f', decimals);
                }
                questions << scores(values);
            }
            const Totals totals = reachableTotals(questions);
            QVERIFY(totals.exact);
            QCOMPARE(listedTotals(totals), runnerTotals(questions));
        }
    }

    // Totals far apart (every other step, 8,192 of them): too many runs of neighbours to
    // keep as runs, so they are counted as bits; still the runner's totals.
    void sparseTotals_data()
    {
        QTest::addColumn<double>("step");
        QTest::newRow("whole") << 1.0;
        QTest::newRow("tenths") << 0.1;
        QTest::newRow("thousandths") << 0.001;
    }

    void sparseTotals()
    {
        QFETCH(double, step);
        QList<Question> questions;
        for (int i = 0; i < 13; ++i)
            questions << scores({ "0", QString::number((2 << i) * step, 'f', 3) });
        const Totals totals = reachableTotals(questions);
        QVERIFY(totals.exact);
        QCOMPARE(qsizetype(totals.spans.size()), qsizetype(8192));
        QCOMPARE(listedTotals(totals), runnerTotals(questions));
        // Approximate: the spans hold every total, and no gap is seen between them
        // where no total can lie.
        const Check c = check(questions, bandsOf({ { "0", "100000" } }), 100);
        QVERIFY(!c.totals.exact);
        QCOMPARE(BandCheck::summary(c), QStringLiteral("大致覆盖完整"));

        // Then steps of one fill the holes: every total from 0 to 16,390, as runs again.
        for (const char *last : { "1", "1", "1", "5" })
            questions << scores({ "0", QString::number(QByteArray(last).toInt() * step, 'f', 3) });
        const Totals filled = reachableTotals(questions);
        QVERIFY(filled.exact);
        QCOMPARE(qsizetype(filled.spans.size()), qsizetype(16391));
        QCOMPARE(filled.spans.front().first, 0.0f);
        QCOMPARE(filled.spans.back().first, float(16390 * step));
    }

    // Too many totals for the runner's paths to be taken one by one (4^12), but few
    // distinct ones: the lattice and any scores give the same totals.
    void lotsOfPaths()
    {
        QList<Question> whole;
        QList<Question> shifted;
        for (int i = 0; i < 12; ++i) {
            whole << scores({ "0", "1", "2", "3" });
            shifted << scores({ "0", "1", "2", "3.1" }); // 3.1 leaves the lattice
        }
        const Check w = check(whole, bandsOf({ { "0", "36" } }));
        QVERIFY(w.complete());
        QCOMPARE(w.count(), qint64(37));
        const Check s = check(shifted, bandsOf({ { "0", "36" } }));
        QVERIFY(s.totals.exact);
        QCOMPARE(s.gaps.size(), 1); // 36 < 12 x 3.1 = 37.2
        QCOMPARE(s.highest(), 37.2f);
    }

    // The picture's numbered ticks fall on round steps, never closer than asked.
    void tickSteps_data()
    {
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("step");
        QTest::newRow("sample test") << 38.8 << 360 << 5.0;
        QTest::newRow("a thousand") << 1000.0 << 400 << 100.0;
        QTest::newRow("tenths") << 1.3 << 400 << 0.2;
        QTest::newRow("just over a round step") << 10.01 << 100 << 5.0;
        QTest::newRow("a round step exactly") << 10.0 << 100 << 5.0;
        QTest::newRow("thousandths") << 0.004 << 400 << 0.0005;
        QTest::newRow("nothing to span") << 0.0 << 400 << 1.0;
    }

    void tickSteps()
    {
        QFETCH(double, span);
        QFETCH(int, width);
        QFETCH(double, step);
        QCOMPARE(BandPicture::tickStep(span, width, 40), step);
    }

    // The shipped sample test: every reachable total in exactly one band.
    void sampleTest()
    {
        TestFolder folder(TestFolder::SampleBank);
        QList<Question> questions;
        QList<Band> bands;
        QVERIFY(!read(folder.bank(), QStringLiteral("日常情商自测"), &questions, &bands));
        QCOMPARE(questions.size(), 12);
        QCOMPARE(bands.size(), 4);
        const Check c = check(questions, bands);
        QVERIFY2(c.complete(), qPrintable(detail(c)));
        QVERIFY(c.unusedBands.isEmpty());
        QCOMPARE(BandCheck::summary(c), QStringLiteral("覆盖完整"));
    }
};

QTEST_MAIN(tst_bandcheck)
#include "tst_bandcheck.moc"
