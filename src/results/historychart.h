#pragma once

#include "store/results/history.h"

#include <QDateTime>
#include <QList>
#include <QString>

class QChart;
class QLineSeries;

// The history window's chart: one test's totals over time, over its score bands as
// shaded strips. A few records are points on a thin line; many are a light trace with
// a bold line of their running mean, so that the trend reads at a glance.
namespace HistoryChart {

using Point = Results::Total;

// A score band of the test, as the bank holds it now.
struct Level
{
    double lower = 0;
    double upper = 0;
};

// The test's bands in table order; none when the bank has no scoring table of that
// name any more (the test was deleted or renamed).
QList<Level> levelsOf(const QString &bank, const QString &test);

// Above this many records the totals are drawn as a trace with their running mean.
inline constexpr int fewRecords = 30;

// The axis of time: a label format that says no more than the span needs (the year
// only when the records are not all of this year), and a range and tick count that
// put every tick on a whole unit of that format, so that no two labels repeat.
struct TimeAxis
{
    QString format;
    QString title; // the date, when the labels show only the time of day
    QDateTime from;
    QDateTime to;
    int ticks = 2;
};
TimeAxis timeAxis(const QDateTime &first, const QDateTime &last, const QDateTime &now);

// The slices of the time axis that draw keeps at most four points of each.
inline constexpr int columns = 2048;

// Replaces what the chart shows by the points (oldest first) over the levels; returns
// the series of the totals themselves (named "得分"). Of many points the lines keep, in
// each slice of the time axis, the first, lowest, highest and last: they cover the
// pixels that lines through every point would, at a fraction of the cost.
QLineSeries *draw(QChart *chart, const QList<Point> &points, const QList<Level> &levels);

} // namespace HistoryChart
