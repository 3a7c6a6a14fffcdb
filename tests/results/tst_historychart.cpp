// The history chart: a time axis whose labels never repeat and carry the year when the
// records are not all of this year, the bands as strips, points or a trace with its mean.
#include "results/historychart.h"
#include "support/testfolder.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QSet>
#include <QTest>
#include <QValueAxis>

using namespace HistoryChart;

namespace {

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

QList<Point> pointsOf(int count, const QDateTime &first, qint64 apart, double low, double high)
{
    QList<Point> points;
    for (int i = 0; i < count; ++i)
        points.append(
            { first.addSecs(apart * i).toMSecsSinceEpoch(), low + (high - low) * (i % 7) / 6 });
    return points;
}

} // namespace

class tst_historychart : public QObject
{
    Q_OBJECT

private slots:
    void timeAxisLabels_data()
    {
        QTest::addColumn<QDateTime>("first");
        QTest::addColumn<QDateTime>("last");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("format");

        const QDateTime now = at("2026-12-08 18:00");
        QTest::newRow("one afternoon")
            << at("2026-12-08 13:05") << at("2026-12-08 16:40") << now << "HH:mm";
        QTest::newRow("a few minutes")
            << at("2026-12-08 13:05") << at("2026-12-08 13:09") << now << "HH:mm";
        QTest::newRow("one minute")
            << at("2026-12-08 13:05") << at("2026-12-08 13:05") << now << "HH:mm";
        QTest::newRow("over midnight")
            << at("2026-12-07 22:00") << at("2026-12-08 09:00") << now << "MM-dd HH:mm";
        QTest::newRow("a week") << at("2026-12-01 09:00") << at("2026-12-08 08:00") << now
                                << "MM-dd";
        QTest::newRow("two months")
            << at("2026-10-01 09:00") << at("2026-12-08 08:00") << now << "MM-dd";
        QTest::newRow("last year")
            << at("2025-03-01 09:00") << at("2025-03-20 10:00") << now << "yyyy-MM-dd";
        QTest::newRow("over new year")
            << at("2025-12-20 09:00") << at("2026-01-10 10:00") << now << "yyyy-MM-dd";
        QTest::newRow("one afternoon last year")
            << at("2025-06-08 13:05") << at("2025-06-08 16:40") << now << "yyyy-MM-dd HH:mm";
        QTest::newRow("a year and a half")
            << at("2025-06-01 09:00") << at("2026-12-08 08:00") << now << "yyyy-MM";
        QTest::newRow("ten years")
            << at("2016-06-01 09:00") << at("2026-12-08 08:00") << now << "yyyy-MM";
    }

    void timeAxisLabels()
    {
        QFETCH(QDateTime, first);
        QFETCH(QDateTime, last);
        QFETCH(QDateTime, now);
        QFETCH(QString, format);

        const TimeAxis axis = timeAxis(first, last, now);
        QCOMPARE(axis.format, format);
        QVERIFY(axis.from <= first);
        QVERIFY(axis.to >= last);
        QVERIFY(axis.from < axis.to);
        QVERIFY(axis.ticks >= 2 && axis.ticks <= 7);
        // The ticks lie evenly from one end to the other: no two read the same.
        const qint64 span = axis.from.msecsTo(axis.to);
        QSet<QString> labels;
        for (int i = 0; i < axis.ticks; ++i)
            labels << axis.from.addMSecs(span * i / (axis.ticks - 1)).toString(axis.format);
        QCOMPARE(labels.size(), axis.ticks);
        // The date is said once when the labels only give the time.
        QCOMPARE(axis.title.isEmpty(), format.contains(u'M'));
    }

    void pointsOrTrace_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("points");
        QTest::addColumn<int>("lines"); // the totals, and their mean for many
        QTest::newRow("two") << 2 << true << 1;
        QTest::newRow("thirty") << fewRecords << true << 1;
        QTest::newRow("thirty-one") << fewRecords + 1 << false << 2;
        QTest::newRow("250") << 250 << false << 2;
    }

    void pointsOrTrace()
    {
        QFETCH(int, records);
        QFETCH(bool, points);
        QFETCH(int, lines);

        QChart chart;
        const QList<Level> levels { { 0, 10 }, { 10.5, 20 }, { 21, 30 }, { 50, 60 } };
        QLineSeries *totals
            = draw(&chart, pointsOf(records, at("2026-01-01 09:00"), 86400, 12, 18), levels);
        QVERIFY(totals);
        QCOMPARE(totals->count(), records);
        QCOMPARE(totals->pointsVisible(), points);
        int lineSeries = 0;
        int strips = 0;
        for (QAbstractSeries *s : chart.series()) {
            lineSeries += qobject_cast<QLineSeries *>(s) != nullptr;
            strips += qobject_cast<QAreaSeries *>(s) != nullptr;
        }
        QCOMPARE(lineSeries, lines);
        QCOMPARE(strips, levels.size());
        // The totals 12 to 18 lie in the second band: it shows whole, the far one is
        // left out of the range.
        const auto *totalsAxis = qobject_cast<QValueAxis *>(chart.axes(Qt::Vertical).value(0));
        QVERIFY(totalsAxis);
        QVERIFY(totalsAxis->min() <= 10.5 && totalsAxis->max() >= 20);
        QVERIFY(totalsAxis->max() < 50);

        // Drawing again replaces what was there.
        draw(&chart, pointsOf(2, at("2026-01-01 09:00"), 60, 1, 2), {});
        QCOMPARE(chart.series().size(), 1);
        draw(&chart, {}, {});
        QVERIFY(chart.series().isEmpty());
    }

    // A hundred thousand totals are drawn from a few points a slice of the time axis,
    // and none of what the eye would see goes: the ends, and a lone high or low total.
    void manyTotalsKeepWhatShows()
    {
        QList<Point> points = pointsOf(100000, at("2026-01-01 09:00"), 60, 12, 18);
        points[40025].total = 48;
        points[70025].total = 0;
        QChart chart;
        QLineSeries *totals = draw(&chart, points, {});
        QVERIFY(totals->count() <= 4 * columns);
        QCOMPARE(totals->at(0), QPointF(double(points.first().at), points.first().total));
        QCOMPARE(totals->at(totals->count() - 1),
            QPointF(double(points.last().at), points.last().total));
        QList<double> ys;
        for (int i = 0; i < totals->count(); ++i) {
            if (i > 0)
                QVERIFY(totals->at(i).x() > totals->at(i - 1).x());
            ys << totals->at(i).y();
        }
        QVERIFY(ys.contains(48) && ys.contains(0));
        const QList<QAbstractSeries *> lines = chart.series();
        QCOMPARE(lines.size(), 2);
        QVERIFY(static_cast<QLineSeries *>(lines.last())->count() <= 4 * columns);
    }

    void levelsFromTheBank()
    {
        TestFolder folder(TestFolder::SampleBank);
        const QList<Level> levels = levelsOf(folder.bank(), QStringLiteral("日常情商自测"));
        QCOMPARE(levels.size(), 4);
        QCOMPARE(levels.first().lower, 12.0);
        QCOMPARE(levels.last().upper, 48.0);
        QVERIFY(levelsOf(folder.bank(), QStringLiteral("没有这个测试")).isEmpty());
    }
};

QTEST_MAIN(tst_historychart)
#include "tst_historychart.moc"
