#include "authoring/bandpicture.h"

#include "base/valuerules.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor bandColour(70, 130, 180);
const QColor unusedColour(170, 170, 170);
const QColor gapColour(210, 40, 40);
const QColor overlapColour(235, 130, 0);
const QColor totalColour(40, 40, 40);

constexpr int labelWidth = 50; // 第 N 档
constexpr int legendHeight = 18;
constexpr int countHeight = 14; // the number of totals over each shaded stretch
constexpr int markHeight = 8; // the marks of reachable totals, on the axis
constexpr int tickHeight = 4;
constexpr int tickLabelHeight = 14;
constexpr int maxRow = 30;
// A shaded stretch is at least this wide, so that one total stays visible.
constexpr int minShade = 7;

// Places texts in one strip without letting two of them touch.
class Strip
{
public:
    bool take(const QRect &place)
    {
        for (const QRect &other : std::as_const(m_taken))
            if (other.adjusted(-2, 0, 2, 0).intersects(place))
                return false;
        m_taken << place;
        return true;
    }

private:
    QList<QRect> m_taken;
};

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

double BandPicture::tickStep(double span, int width, int pixels)
{
    if (!(span > 0) || width <= 0)
        return 1;
    const double rough = span * std::max(1, pixels) / width;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double f : { 1.0, 2.0, 5.0 })
        if (f * power >= rough)
            return f * power;
    return 10 * power;
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
    const double pad = *hi > *lo ? (*hi - *lo) * 0.04 : 1;
    *lo -= pad;
    *hi += pad;
}

void BandPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink = palette().color(QPalette::WindowText);
    const QFontMetrics fm = p.fontMetrics();
    const int axis = height() - tickLabelHeight - tickHeight - 2;
    const QRect plot(labelWidth, legendHeight + countHeight, width() - labelWidth - 10,
        axis - markHeight - 2 - legendHeight - countHeight);
    if (plot.width() < 20 || plot.height() < 10)
        return;

    double lo = 0;
    double hi = 1;
    axisRange(&lo, &hi);
    const auto x = [&](double v) {
        const double clamped = std::clamp(v, lo, hi);
        return plot.left() + int(std::lround((clamped - lo) / (hi - lo) * (plot.width() - 1)));
    };
    // The pixels of a stretch of totals, at least `least` wide around a single total.
    const auto columns = [&](double from, double to, int least) {
        int left = x(from);
        int right = x(to);
        if (right - left + 1 < least) {
            left -= (least - (right - left + 1)) / 2;
            right = left + least - 1;
        }
        return std::pair(left, right);
    };

    // Legend, with the counts of what the picture shows.
    int lx = 4;
    const auto legend = [&](const QColor &c, const QString &text) {
        p.fillRect(lx, 5, 10, 10, c);
        lx += 14;
        p.setPen(ink);
        p.drawText(lx, 0, width() - lx, legendHeight, Qt::AlignLeft | Qt::AlignVCenter, text);
        lx += fm.horizontalAdvance(text) + 12;
    };
    legend(bandColour, QStringLiteral("分数档"));
    if (!m_check.overlaps.isEmpty())
        legend(
            overlapColour.lighter(140), QStringLiteral("重叠 %1 处").arg(m_check.overlaps.size()));
    if (!m_check.gaps.isEmpty())
        legend(gapColour.lighter(150), QStringLiteral("缺口 %1 处").arg(m_check.gaps.size()));
    const qint64 count = m_check.count();
    legend(totalColour,
        count >= 0 ? QStringLiteral("可能的得分 %1 个").arg(count) : QStringLiteral("可能的得分"));

    if (!m_check.reachable()) {
        p.setPen(ink);
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("还没有可能的得分"));
    }

    // Gaps and overlaps: shaded from the count strip down to the axis, with the number
    // of totals in each above it.
    Strip counts;
    const auto shade = [&](const BandCheck::Range &range, const QColor &c) {
        const auto [left, right] = columns(range.from, range.to, minShade);
        p.fillRect(QRect(left, plot.top(), right - left + 1, axis - plot.top()), c.lighter(165));
        if (range.count < 0)
            return;
        const QString text = QStringLiteral("%1 个").arg(range.count);
        const int w = fm.horizontalAdvance(text) + 4;
        const QRect place((left + right) / 2 - w / 2, legendHeight, w, countHeight);
        if (counts.take(place)) {
            p.setPen(c.darker(130));
            p.drawText(place, Qt::AlignCenter, text);
        }
    };
    for (const BandCheck::Overlap &o : m_check.overlaps)
        shade(o.range, overlapColour);
    for (const BandCheck::Range &gap : m_check.gaps)
        shade(gap, gapColour);

    // One bar a band, its bounds written on it or beside it.
    const int bands = int(m_check.bounds.size());
    const int row = bands ? std::min(maxRow, plot.height() / bands) : 0;
    const int rowsTop = plot.top() + (plot.height() - row * bands) / 2;
    for (int i = 0; row >= 2 && i < bands; ++i) {
        const auto [lower, upper] = m_check.bounds[size_t(i)];
        const int top = rowsTop + i * row;
        const int h = std::max(2, row * 2 / 3);
        const int barTop = top + (row - h) / 2;
        const QColor c = m_check.unusedBands.contains(i + 1) ? unusedColour : bandColour;
        int left = 0;
        int right = 0;
        if (lower <= upper) {
            std::tie(left, right) = columns(lower, upper, 3);
            p.fillRect(QRect(left, barTop, right - left + 1, h), c);
        } else {
            // Only its two ends hold totals.
            const auto [l1, r1] = columns(lower, lower, 3);
            const auto [l2, r2] = columns(upper, upper, 3);
            p.fillRect(QRect(l1, barTop, r1 - l1 + 1, h), c);
            p.fillRect(QRect(l2, barTop, r2 - l2 + 1, h), c);
            left = std::min(l1, l2);
            right = std::max(r1, r2);
        }
        if (row < 12)
            continue;
        p.setPen(ink);
        p.drawText(QRect(0, top, labelWidth - 4, row), Qt::AlignRight | Qt::AlignVCenter,
            QStringLiteral("第 %1 档").arg(i + 1));
        const QString bounds = singleText(lower) + QStringLiteral(" – ") + singleText(upper);
        const int w = fm.horizontalAdvance(bounds) + 8;
        QRect place;
        if (lower <= upper && right - left + 1 >= w) {
            place = QRect(left, top, right - left + 1, row);
            p.setPen(Qt::white);
        } else if (right + w <= plot.right() + 10) {
            place = QRect(right + 2, top, w, row);
        } else if (left - w >= plot.left()) {
            place = QRect(left - w - 2, top, w, row);
        }
        if (!place.isNull())
            p.drawText(place, Qt::AlignCenter, bounds);
    }

    // The axis: reachable totals as marks standing on it (red where no band holds
    // them), numbered ticks under it.
    p.setPen(ink);
    p.drawLine(plot.left(), axis, plot.right(), axis);
    // Totals far enough apart are dots; where they crowd together, a solid strip
    // (every pixel of it holds totals).
    const auto marks = [&](const std::vector<std::pair<float, float>> &spans, const QColor &c) {
        int runLeft = 0;
        int runRight = -1;
        bool crowded = false;
        const auto flush = [&] {
            if (runRight < 0)
                return;
            if (!crowded && runRight - runLeft < 3) {
                const double mid = (runLeft + runRight) / 2.0 + 0.5;
                p.setRenderHint(QPainter::Antialiasing, true);
                p.setPen(Qt::NoPen);
                p.setBrush(c);
                p.drawEllipse(QPointF(mid, axis - markHeight / 2.0), 2.5, 2.5);
                p.setRenderHint(QPainter::Antialiasing, false);
            } else {
                p.fillRect(
                    QRect(runLeft, axis - markHeight + 2, runRight - runLeft + 1, markHeight - 4),
                    c);
            }
        };
        for (const auto &[from, to] : spans) {
            const auto [left, right] = columns(from, to, 1);
            if (runRight >= 0 && left <= runRight + 5) {
                runRight = std::max(runRight, right);
                crowded = true;
                continue;
            }
            flush();
            runLeft = left;
            runRight = right;
            crowded = from != to;
        }
        flush();
    };
    marks(m_check.totals.spans, totalColour);
    std::vector<std::pair<float, float>> uncovered;
    for (const BandCheck::Range &gap : m_check.gaps)
        uncovered.push_back({ gap.from, gap.to });
    marks(uncovered, gapColour);

    const double step = tickStep(hi - lo, plot.width(), 40);
    const int decimals = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
    Strip ticks;
    p.setPen(ink);
    for (double n = std::ceil(lo / step); n * step <= hi; n += 1) {
        const double value = n * step;
        const int tx = x(value);
        p.drawLine(tx, axis, tx, axis + tickHeight);
        const QString text = QString::number(value == 0 ? 0.0 : value, 'f', decimals);
        const int w = fm.horizontalAdvance(text) + 4;
        const QRect place(tx - w / 2, axis + tickHeight, w, tickLabelHeight);
        if (ticks.take(place))
            p.drawText(place, Qt::AlignCenter, text);
    }
}
