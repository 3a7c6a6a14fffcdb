#include "results/historychart.h"

#include "base/valuerules.h"
#include "store/catalogue.h"
#include "store/recordset.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace HistoryChart {

namespace {

    const QColor totalsColour(30, 90, 180);
    const QColor traceColour(120, 160, 220);
    const QColor meanColour(20, 50, 120);
    // The strips take turns, so that two neighbouring bands stay apart.
    const QColor stripColours[] = { QColor(70, 160, 90, 55), QColor(230, 170, 40, 60),
        QColor(90, 130, 210, 55), QColor(200, 90, 160, 50) };

    // Steps of a time axis: seconds a step, and the largest unit below a day that the
    // steps align to (0 for days).
    struct Step
    {
        qint64 seconds;
        qint64 align;
    };
    constexpr qint64 minute = 60;
    constexpr qint64 hour = 3600;
    constexpr qint64 day = 86400;
    constexpr Step steps[] = {
        { minute, minute },
        { 2 * minute, minute },
        { 5 * minute, minute },
        { 10 * minute, minute },
        { 15 * minute, minute },
        { 30 * minute, minute },
        { hour, hour },
        { 2 * hour, hour },
        { 3 * hour, hour },
        { 6 * hour, hour },
        { 12 * hour, hour },
        { day, 0 },
        { 2 * day, 0 },
        { 7 * day, 0 },
        { 14 * day, 0 },
        { 30 * day, 0 },
        { 61 * day, 0 },
        { 91 * day, 0 },
        { 182 * day, 0 },
        { 365 * day, 0 },
        { 730 * day, 0 },
        { 1826 * day, 0 },
    };

    QDateTime truncated(const QDateTime &t, qint64 align)
    {
        if (align == 0) {
            // Whole days from one in the morning: a shift of the clock (summer time)
            // moves a tick by an hour, never across midnight into another date.
            const QDate date = t.time().hour() >= 1 ? t.date() : t.date().addDays(-1);
            return QDateTime(date, QTime(1, 0));
        }
        const QTime time = t.time();
        const int seconds = time.hour() * 3600 + time.minute() * 60;
        return QDateTime(t.date(), QTime(0, 0).addSecs(int(seconds - seconds % align)));
    }

    // The line as drawn over `columns` slices of from..to (see draw).
    QList<QPointF> thinned(const QList<QPointF> &line, double from, double to)
    {
        const double width = (to - from) / columns;
        if (line.size() <= 4 * columns || !(width > 0))
            return line;
        QList<QPointF> out;
        out.reserve(4 * columns);
        const auto columnOf = [&](qsizetype i) { return qint64((line.at(i).x() - from) / width); };
        for (qsizetype i = 0; i < line.size();) {
            const qint64 column = columnOf(i);
            qsizetype picks[] = { i, i, i, i }; // first, lowest, highest, last
            for (++i; i < line.size() && columnOf(i) == column; ++i) {
                if (line.at(i).y() < line.at(picks[1]).y())
                    picks[1] = i;
                if (line.at(i).y() > line.at(picks[2]).y())
                    picks[2] = i;
                picks[3] = i;
            }
            std::sort(std::begin(picks), std::end(picks));
            for (qsizetype k = 0; k < 4; ++k)
                if (k == 0 || picks[k] != picks[k - 1])
                    out.append(line.at(picks[k]));
        }
        return out;
    }

} // namespace

QList<Level> levelsOf(const QString &bank, const QString &test)
{
    QList<Level> levels;
    Recordset rs;
    if (rs.open(bank, BankNames::scoringTable(test)))
        return levels;
    const QStringList lowers = rs.column(BankNames::lowerField());
    const QStringList uppers = rs.column(BankNames::upperField());
    rs.release();
    for (qsizetype i = 0; i < lowers.size(); ++i) {
        // The runner compares in single precision.
        const double lower = float(val(lowers.at(i)));
        const double upper = float(val(uppers.value(i)));
        levels.append({ std::min(lower, upper), std::max(lower, upper) });
    }
    return levels;
}

TimeAxis timeAxis(const QDateTime &first, const QDateTime &last, const QDateTime &now)
{
    const bool year
        = first.date().year() != now.date().year() || last.date().year() != now.date().year();
    const bool oneDay = first.date() == last.date();
    const qint64 span = std::max<qint64>(1, first.secsTo(last));

    TimeAxis axis;
    for (const Step &step : steps) {
        QString format;
        int most = 6;
        if (step.seconds >= 30 * day) {
            format = QStringLiteral("yyyy-MM"); // steps of a month or more
        } else if (step.align == 0) {
            format = year ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("MM-dd");
            most = year ? 5 : 6;
        } else if (oneDay && !year) {
            format = QStringLiteral("HH:mm");
        } else {
            format = year ? QStringLiteral("yyyy-MM-dd HH:mm") : QStringLiteral("MM-dd HH:mm");
            most = year ? 3 : 4;
        }
        // Even steps of a day and more: the span needs whole ones.
        if (span / step.seconds > most + 1)
            continue;
        const QDateTime from = truncated(first, step.align);
        const qint64 covered = from.secsTo(last);
        const qint64 intervals = std::max<qint64>(1, (covered + step.seconds - 1) / step.seconds);
        if (intervals > most && &step != &steps[std::size(steps) - 1])
            continue;
        axis.format = format;
        if (!format.contains(u'M'))
            axis.title = first.date().toString(QStringLiteral("yyyy-MM-dd"));
        axis.from = from;
        axis.to = from.addSecs(intervals * step.seconds);
        axis.ticks = int(intervals) + 1;
        return axis;
    }
    return axis;
}

QLineSeries *draw(QChart *chart, const QList<Point> &points, const QList<Level> &levels)
{
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    if (points.isEmpty())
        return nullptr;

    const TimeAxis t = timeAxis(QDateTime::fromMSecsSinceEpoch(points.first().at),
        QDateTime::fromMSecsSinceEpoch(points.last().at), QDateTime::currentDateTime());
    const double from = double(t.from.toMSecsSinceEpoch());
    const double to = double(t.to.toMSecsSinceEpoch());

    // The totals' range, widened to the whole of every band that holds one of them.
    double low = points.first().total;
    double high = low;
    for (const Point &p : points) {
        low = std::min(low, p.total);
        high = std::max(high, p.total);
    }
    const double lowest = low;
    const double highest = high;
    for (const Level &level : levels) {
        if (level.upper >= lowest && level.lower <= highest) {
            low = std::min(low, level.lower);
            high = std::max(high, level.upper);
        }
    }
    auto *totalsAxis = new QValueAxis;
    const double pad = high > low ? (high - low) * 0.05 : 1;
    totalsAxis->setRange(low - pad, high + pad);
    totalsAxis->applyNiceNumbers();
    totalsAxis->setLabelFormat(QStringLiteral("%g"));

    auto *timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(t.format);
    timeAxis->setRange(t.from, t.to);
    timeAxis->setTickCount(t.ticks);
    timeAxis->setTitleText(t.title);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(totalsAxis, Qt::AlignLeft);

    const auto attach = [&](QAbstractSeries *series) {
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(totalsAxis);
    };

    // The bands first, so that the totals are drawn over them.
    for (qsizetype i = 0; i < levels.size(); ++i) {
        auto *strip = new QAreaSeries;
        auto *upper = new QLineSeries(strip);
        auto *lower = new QLineSeries(strip);
        upper->append(from, levels.at(i).upper);
        upper->append(to, levels.at(i).upper);
        lower->append(from, levels.at(i).lower);
        lower->append(to, levels.at(i).lower);
        strip->setUpperSeries(upper);
        strip->setLowerSeries(lower);
        strip->setName(singleText(float(levels.at(i).lower)) + QStringLiteral("–")
            + singleText(float(levels.at(i).upper)));
        strip->setPen(Qt::NoPen);
        strip->setBrush(stripColours[size_t(i) % std::size(stripColours)]);
        attach(strip);
    }

    const bool many = points.size() > fewRecords;
    auto *totals = new QLineSeries;
    totals->setName(QStringLiteral("得分"));
    // All points at once: a series told of each one redraws for each, which takes
    // seconds for a hundred thousand.
    QList<QPointF> line;
    line.reserve(points.size());
    for (const Point &p : points)
        line.append({ double(p.at), p.total });
    totals->replace(thinned(line, from, to));
    if (many) {
        totals->setPen(QPen(traceColour, 1));
    } else {
        totals->setPen(QPen(totalsColour, 1.5));
        totals->setPointsVisible(true);
        totals->setMarkerSize(8);
    }
    attach(totals);

    if (many) {
        // The mean of the last k records at each record.
        const int k = std::clamp(int(points.size()) / 10, 5, 20);
        auto *mean = new QLineSeries;
        mean->setName(QStringLiteral("近 %1 次平均").arg(k));
        mean->setPen(QPen(meanColour, 3));
        double sum = 0;
        for (qsizetype i = 0; i < points.size(); ++i) {
            sum += points.at(i).total;
            if (i >= k)
                sum -= points.at(i - k).total;
            line[i].setY(sum / double(std::min<qsizetype>(i + 1, k)));
        }
        mean->replace(thinned(line, from, to));
        attach(mean);
    }

    // The legend names the bands by their bounds, and the lines when there are two.
    chart->legend()->setVisible(many || !levels.isEmpty());
    chart->legend()->setAlignment(Qt::AlignBottom);
    for (QLegendMarker *marker : chart->legend()->markers())
        marker->setVisible(many || marker->series() != totals);
    return totals;
}

} // namespace HistoryChart
