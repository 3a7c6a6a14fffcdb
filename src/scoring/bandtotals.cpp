// The totals a taker can reach, as the band check finds them (see bandcheck.h).
#include "scoring/bandcheck.h"
#include "scoring/bandlattice.h"

#include "base/valuerules.h"
#include "scoring/scoring.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace BandCheck {

namespace {

    using Scores = std::vector<double>;
    using Units = std::vector<qint64>;
    using Span = std::pair<double, double>;
    using FloatSpans = std::vector<std::pair<float, float>>;

    constexpr double infinity = std::numeric_limits<double>::infinity();
    // The widest lattice of totals kept as bits (16 MiB).
    constexpr qint64 latticeBits = qint64(1) << 27;
    // The widest lattice whose smallest and largest double sums are carried (32 MiB).
    constexpr qint64 extremesWidth = qint64(1) << 21;
    constexpr int maxDecimals = 6;
    constexpr std::array<double, maxDecimals + 1> powersOfTen { 1, 10, 100, 1e3, 1e4, 1e5, 1e6 };

    // Appends [lo, hi] to sorted spans, joining it with the last one where they meet.
    void append(FloatSpans &spans, float lo, float hi)
    {
        if (!spans.empty() && lo <= spans.back().second)
            spans.back().second = std::max(spans.back().second, hi);
        else
            spans.push_back({ lo, hi });
    }

    bool allPoints(const FloatSpans &spans)
    {
        return std::all_of(
            spans.begin(), spans.end(), [](const auto &s) { return s.first == s.second; });
    }

    // The scores as whole multiples of a step, or nothing when one is not, or when a
    // sum could leave the range where a double counts units exactly or the lattice
    // would be wider than latticeBits.
    template<class ToUnits>
    std::optional<std::vector<Units>> unitsOf(const std::vector<Scores> &questions, ToUnits toUnits)
    {
        std::vector<Units> out;
        double largest = 0;
        qint64 width = 0;
        for (const Scores &scores : questions) {
            Units units;
            for (double score : scores) {
                const std::optional<qint64> u = toUnits(score);
                if (!u)
                    return std::nullopt;
                units.push_back(*u);
            }
            largest += double(std::max(std::abs(units.front()), std::abs(units.back())));
            width += units.back() - units.front();
            if (largest >= 0x1p53 || width >= latticeBits)
                return std::nullopt;
            out.push_back(std::move(units));
        }
        return out;
    }

    // The exponent k of the coarsest binary step 2^-k of the scores: every sum the
    // runner makes on it is exact.
    std::optional<std::pair<int, std::vector<Units>>> binaryLattice(
        const std::vector<Scores> &questions)
    {
        for (int k = 0; k <= 20; ++k) {
            const auto units = unitsOf(questions, [k](double score) -> std::optional<qint64> {
                const double u = std::ldexp(score, k);
                if (!(std::fabs(u) < 0x1p53) || u != std::floor(u))
                    return std::nullopt;
                return qint64(u);
            });
            if (units)
                return std::pair(k, *units);
        }
        return std::nullopt;
    }

    // The number of decimals of the coarsest decimal step: every score is the double
    // nearest to a whole number of steps.
    std::optional<std::pair<int, std::vector<Units>>> decimalLattice(
        const std::vector<Scores> &questions)
    {
        for (int k = 1; k <= maxDecimals; ++k) {
            const double scale = powersOfTen[size_t(k)];
            const auto units = unitsOf(questions, [scale](double score) -> std::optional<qint64> {
                const double u = std::round(score * scale);
                // Both exact doubles: the division rounds once, to the nearest double.
                if (!(std::fabs(u) < 0x1p53) || u / scale != score)
                    return std::nullopt;
                return qint64(u);
            });
            if (units)
                return std::pair(k, *units);
        }
        return std::nullopt;
    }

    // Totals from a lattice, each whole total giving the singles candidates(units)
    // returns (one single twice when it is certain).
    template<class F>
    Totals latticeSpans(const Lattice &lattice, qsizetype limit, F candidates)
    {
        Totals totals;
        totals.exact = lattice.count <= limit;
        if (totals.exact) {
            totals.spans.reserve(size_t(lattice.count));
            eachTotal(lattice, [&](qint64 u) {
                const auto [lo, hi] = candidates(u);
                append(totals.spans, lo, lo);
                append(totals.spans, hi, hi);
                return true;
            });
            return totals;
        }
        eachRun(lattice, [&](qint64 first, qint64 last) {
            append(totals.spans, candidates(first).first, candidates(last).second);
        });
        return totals;
    }

    // For each whole total (from the lattice's base), the smallest and largest double
    // the runner ends with on a path to it; lo > hi where none reaches it. Rounding
    // keeps order, so the extremes of one question follow from those of the one before.
    bool extremeSums(const std::vector<Scores> &scores, const std::vector<Units> &units,
        std::vector<double> *lo, std::vector<double> *hi, const std::stop_token &stop)
    {
        *lo = { 0.0 };
        *hi = { 0.0 };
        for (size_t q = 0; q < scores.size(); ++q) {
            if (stop.stop_requested())
                return false;
            const qint64 low = units[q].front();
            const size_t width = lo->size() + size_t(units[q].back() - low);
            std::vector<double> nextLo(width, infinity);
            std::vector<double> nextHi(width, -infinity);
            for (size_t option = 0; option < scores[q].size(); ++option) {
                const double score = scores[q][option];
                const size_t shift = size_t(units[q][option] - low);
                for (size_t i = 0; i < lo->size(); ++i) {
                    if ((*lo)[i] > (*hi)[i])
                        continue;
                    double &l = nextLo[i + shift];
                    double &h = nextHi[i + shift];
                    l = std::min(l, Scoring::addScoreValue((*lo)[i], score));
                    h = std::max(h, Scoring::addScoreValue((*hi)[i], score));
                }
            }
            lo->swap(nextLo);
            hi->swap(nextHi);
        }
        return true;
    }

    Totals decimalTotals(const std::vector<Scores> &scores, int decimals,
        const std::vector<Units> &units, qsizetype limit, const std::stop_token &stop)
    {
        const Lattice lattice = unitSums(units, stop);
        const double scale = powersOfTen[size_t(decimals)];
        // How far the runner's double sum of a path can lie from its exact sum: half a
        // unit in the last place for each score read and each addition. When no score
        // is below 0 (or none above), no partial sum is larger than the total itself,
        // so the distance shrinks with the total (and a total of 0 is exact).
        double reach = 0;
        double partial = 0;
        bool noneBelow = true;
        bool noneAbove = true;
        for (const Scores &s : scores) {
            const double largest = std::max(std::fabs(s.front()), std::fabs(s.back()));
            partial += largest;
            reach += (partial + largest) * 0x1p-53;
            noneBelow = noneBelow && s.front() >= 0;
            noneAbove = noneAbove && s.back() <= 0;
        }
        const bool oneSign = noneBelow || noneAbove;
        const double relative = (2.0 * double(scores.size()) + 4) * 0x1p-53;
        const auto spreadAt = [&](double near) {
            return (oneSign ? relative * std::fabs(near) : reach) + std::fabs(near) * 0x1p-52;
        };
        // The single of a whole total, when every path to it ends on that single.
        const auto certain = [&](qint64 u) -> std::optional<float> {
            const double near = double(u) / scale;
            const float f = float(near);
            const double spread = spreadAt(near);
            const double below = (double(f) + double(std::nextafter(f, -HUGE_VALF))) / 2;
            const double above = (double(f) + double(std::nextafter(f, HUGE_VALF))) / 2;
            if (near - spread > below && near + spread < above)
                return f;
            return std::nullopt;
        };
        const auto bounding = [&](qint64 u) {
            if (const std::optional<float> f = certain(u))
                return std::pair(*f, *f);
            const double near = double(u) / scale;
            const double spread = spreadAt(near);
            return std::pair(float(near - spread), float(near + spread));
        };

        bool ambiguous = false;
        if (lattice.count <= limit) {
            eachTotal(lattice, [&](qint64 u) {
                ambiguous = !certain(u);
                return !ambiguous;
            });
        }
        Totals totals;
        std::vector<double> lo;
        std::vector<double> hi;
        if (!ambiguous) {
            totals = latticeSpans(lattice, limit, bounding);
        } else if (lattice.width() <= extremesWidth && extremeSums(scores, units, &lo, &hi, stop)) {
            for (size_t i = 0; i < lo.size(); ++i)
                if (lo[i] <= hi[i])
                    append(totals.spans, float(lo[i]), float(hi[i]));
            // Exact as long as the two ends of each whole total are neighbouring singles.
            totals.exact = true;
            for (size_t i = 0; i < lo.size() && totals.exact; ++i)
                if (lo[i] < hi[i] && std::nextafter(float(lo[i]), HUGE_VALF) < float(hi[i]))
                    totals.exact = false;
            if (totals.exact) {
                FloatSpans points;
                for (size_t i = 0; i < lo.size(); ++i) {
                    if (lo[i] <= hi[i]) {
                        append(points, float(lo[i]), float(lo[i]));
                        append(points, float(hi[i]), float(hi[i]));
                    }
                }
                totals.spans.swap(points);
            }
        } else {
            totals = latticeSpans(lattice, 0, bounding);
        }
        totals.step = 1 / scale;
        totals.decimals = decimals;
        return totals;
    }

    // Joins spans that meet; the spans are sorted.
    void coalesce(std::vector<Span> &spans)
    {
        size_t out = 0;
        for (size_t i = 1; i < spans.size(); ++i) {
            if (spans[i].first <= spans[out].second)
                spans[out].second = std::max(spans[out].second, spans[i].second);
            else
                spans[++out] = spans[i];
        }
        if (!spans.empty())
            spans.resize(out + 1);
    }

    // Joins the neighbours that lie closest together until at most `limit` spans are left.
    // Each span still starts and ends on a reachable total.
    void narrow(std::vector<Span> &spans, qsizetype limit)
    {
        std::vector<double> gaps(spans.size() - 1);
        for (size_t i = 0; i + 1 < spans.size(); ++i)
            gaps[i] = spans[i + 1].first - spans[i].second;
        std::vector<double> sorted = gaps;
        const size_t joins = spans.size() - size_t(std::max<qsizetype>(limit, 1));
        std::nth_element(sorted.begin(), sorted.begin() + (joins - 1), sorted.end());
        const double widest = sorted[joins - 1];
        size_t out = 0;
        for (size_t i = 1; i < spans.size(); ++i) {
            if (gaps[i - 1] <= widest)
                spans[out].second = spans[i].second;
            else
                spans[++out] = spans[i];
        }
        spans.resize(out + 1);
    }

    // Any scores: the totals as doubles, each question adding each of its scores to
    // each total, exactly as the runner adds them.
    Totals anyTotals(
        const std::vector<Scores> &questions, qsizetype limit, const std::stop_token &stop)
    {
        std::vector<Span> totals { { 0.0, 0.0 } };
        for (const Scores &scores : questions) {
            std::vector<Span> next;
            next.reserve(totals.size() * scores.size());
            for (double score : scores) {
                if (stop.stop_requested())
                    return {};
                const auto middle = qsizetype(next.size());
                for (const Span &span : totals)
                    next.push_back({ Scoring::addScoreValue(span.first, score),
                        Scoring::addScoreValue(span.second, score) });
                std::inplace_merge(next.begin(), next.begin() + middle, next.end());
            }
            coalesce(next);
            if (qsizetype(next.size()) > limit)
                narrow(next, limit);
            totals.swap(next);
        }
        // The runner compares in single precision: a span whose ends become one single
        // holds only that value, so the result is exact when every span does.
        Totals out;
        for (const Span &span : totals)
            append(out.spans, float(span.first), float(span.second));
        out.exact = allPoints(out.spans);
        return out;
    }

} // namespace

std::vector<double> shownScores(const Question &question)
{
    Scores scores;
    for (int option = 0; option < 6; ++option)
        if (!Scoring::isBlankOption(question.options.value(option)))
            scores.push_back(val(question.scores.value(option)));
    std::sort(scores.begin(), scores.end());
    scores.erase(std::unique(scores.begin(), scores.end()), scores.end());
    return scores;
}

float Totals::latticeTotal(qint64 units) const
{
    return decimals >= 0 ? float(double(units) / powersOfTen[size_t(decimals)])
                         : float(double(units) * step);
}

bool Totals::mayHold(float from, float to) const
{
    if (step <= 0 || !std::isfinite(from) || std::fabs(from / step) > 0x1p62)
        return true;
    // Rounding to a single keeps order: find the first multiple at or above from.
    auto units = qint64(std::floor(from / step)) - 2;
    for (int tries = 0; latticeTotal(units) < from; ++units)
        if (++tries > 8)
            return true;
    return latticeTotal(units) <= to;
}

Totals reachableTotals(const QList<Question> &questions, qsizetype limit, std::stop_token stop)
{
    std::vector<Scores> scores;
    for (const Question &question : questions) {
        scores.push_back(shownScores(question));
        if (scores.back().empty())
            return {};
    }
    if (scores.empty())
        return {};
    if (const auto binary = binaryLattice(scores)) {
        // Every sum is exact: each whole total is one double, and one single.
        const auto &[k, units] = *binary;
        const Lattice lattice = unitSums(units, stop);
        const double step = std::ldexp(1.0, -k);
        Totals totals = latticeSpans(lattice, limit, [step](qint64 u) {
            const float f = float(double(u) * step);
            return std::pair(f, f);
        });
        totals.step = step;
        return totals;
    }
    if (const auto decimal = decimalLattice(scores))
        return decimalTotals(scores, decimal->first, decimal->second, limit, stop);
    return anyTotals(scores, limit, stop);
}

} // namespace BandCheck
