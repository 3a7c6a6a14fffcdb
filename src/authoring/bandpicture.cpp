#include "authoring/bandpicture.h"

#include "bank/store/valuerules.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor bandColour(70, 130, 180);
const QColor unusedColour(170, 170, 170);
const QColor gapColour(220, 40, 40);
const QColor overlapColour(255, 150, 0);
const QColor totalColour(30, 30, 30);

constexpr int labelWidth = 52;
constexpr int legendHeight = 18;
constexpr int axisHeight = 30;

} // namespace

BandPicture::BandPicture(QWidget *parent)
    : QWidget(parent)
{
    setAccessibleName(QStringLiteral("分数档示意图"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void BandPicture::setCheck(const BandCheck::Check &check)
{
    m_check = check;
    update();
}

void BandPicture::axisRange(double *lo, double *hi) const
{
    *lo = std::numeric_limits<double>::infinity();
    *hi = -std::numeric_limits<double>::infinity();
    const auto take = [&](double v) {
        if (std::isfinite(v)) {
            *lo = std::min(*lo, v);
            *hi = std::max(*hi, v);
        }
    };
    if (m_check.reachable()) {
        take(m_check.lowest());
        take(m_check.highest());
    }
    for (const auto &[lower, upper] : m_check.bounds) {
        take(lower);
        take(upper);
    }
    if (!std::isfinite(*lo)) {
        *lo = 0;
        *hi = 1;
    }
    const double pad = *hi > *lo ? (*hi - *lo) * 0.03 : 1;
    *lo -= pad;
    *hi += pad;
}

void BandPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect plot(labelWidth, legendHeight + 4, width() - labelWidth - 8,
        height() - legendHeight - 4 - axisHeight);
    if (plot.width() < 10 || plot.height() < 10)
        return;

    double lo = 0;
    double hi = 1;
    axisRange(&lo, &hi);
    const auto x = [&](double v) {
        const double clamped = std::clamp(v, lo, hi);
        return plot.left() + int(std::lround((clamped - lo) / (hi - lo) * (plot.width() - 1)));
    };
    // A stretch of totals, at least two pixels wide.
    const auto stripe = [&](double from, double to, int top, int h) {
        const int left = x(from);
        return QRect(left - (from == to ? 1 : 0), top, std::max(2, x(to) - left + 1), h);
    };

    // Legend.
    int lx = 4;
    const auto legend = [&](const QColor &c, const QString &text) {
        p.fillRect(lx, 5, 10, 10, c);
        lx += 14;
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(lx, 2, 200, legendHeight, Qt::AlignLeft | Qt::AlignVCenter, text);
        lx += p.fontMetrics().horizontalAdvance(text) + 12;
    };
    legend(bandColour, QStringLiteral("分数档"));
    legend(overlapColour, QStringLiteral("重叠"));
    legend(gapColour, QStringLiteral("缺口"));
    legend(totalColour, QStringLiteral("可能的得分"));

    // Gaps over the whole height, overlaps behind the bands.
    for (const BandCheck::Range &gap : m_check.gaps)
        p.fillRect(stripe(gap.from, gap.to, plot.top(), plot.height()), gapColour.lighter(160));
    for (const BandCheck::Overlap &o : m_check.overlaps)
        p.fillRect(stripe(o.range.from, o.range.to, plot.top(), plot.height()),
            overlapColour.lighter(150));

    // One row a band.
    const int count = int(m_check.bounds.size());
    const int row = count ? std::max(2, std::min(18, plot.height() / count)) : 0;
    for (int i = 0; i < count && (i + 1) * row <= plot.height(); ++i) {
        const auto [lower, upper] = m_check.bounds[size_t(i)];
        const int top = plot.top() + i * row;
        const QColor c = m_check.unusedBands.contains(i + 1) ? unusedColour : bandColour;
        const int h = std::max(1, row - 3);
        if (lower <= upper) {
            p.fillRect(stripe(lower, upper, top + 1, h), c);
        } else {
            // Only its two ends hold totals.
            p.fillRect(stripe(lower, lower, top + 1, h), c);
            p.fillRect(stripe(upper, upper, top + 1, h), c);
        }
        if (row >= 12) {
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(QRect(2, top, labelWidth - 6, row), Qt::AlignRight | Qt::AlignVCenter,
                QStringLiteral("第 %1 档").arg(i + 1));
        }
    }

    // The axis, with a mark for every reachable total (or span of them).
    const int axis = plot.bottom() + 6;
    p.setPen(totalColour);
    p.drawLine(plot.left(), axis, plot.right(), axis);
    // Neighbouring totals often fall on one pixel: each run of pixels is drawn once.
    QRect run;
    for (const auto &[from, to] : m_check.totals.spans) {
        const QRect mark = stripe(from, to, axis - 5, 5);
        if (!run.isNull() && mark.left() <= run.right() + 1) {
            run.setRight(std::max(run.right(), mark.right()));
            continue;
        }
        if (!run.isNull())
            p.fillRect(run, totalColour);
        run = mark;
    }
    if (!run.isNull())
        p.fillRect(run, totalColour);
    for (const BandCheck::Range &gap : m_check.gaps)
        p.fillRect(stripe(gap.from, gap.to, axis - 5, 5), gapColour);

    if (m_check.reachable()) {
        // The lowest and highest total, then the band bounds where there is room.
        p.setPen(palette().color(QPalette::WindowText));
        QList<QRect> taken;
        const auto label = [&](float value) {
            const QString text = singleText(value);
            const int w = p.fontMetrics().horizontalAdvance(text) + 6;
            const QRect place(x(value) - w / 2, axis + 2, w, axisHeight - 8);
            for (const QRect &other : std::as_const(taken))
                if (other.intersects(place))
                    return;
            taken << place;
            p.drawText(place, Qt::AlignHCenter | Qt::AlignTop, text);
        };
        label(m_check.lowest());
        label(m_check.highest());
        for (const auto &[lower, upper] : m_check.bounds) {
            label(lower);
            label(upper);
        }
    } else {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("还没有可能的得分"));
    }
}
