#include "authoring/bandcheck.h"

#include "bank/store/catalogue.h"
#include "bank/store/recordset.h"
#include "bank/store/valuerules.h"
#include "runner/scoring.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace BandCheck {

namespace {

    using Scores = std::vector<double>;
    using Span = std::pair<double, double>;
    using FloatSpans = std::vector<std::pair<float, float>>;

    constexpr float infinity = std::numeric_limits<float>::infinity();
    // The widest lattice of totals kept as bits (16 MiB).
    constexpr double latticeBits = double(qint64(1) << 27);

    // The distinct scores of the options a question shows, ascending.
    Scores shownScores(const Question &question)
    {
        Scores scores;
        for (int option = 0; option < 6; ++option)
            if (!Scoring::isBlankOption(question.options.value(option)))
                scores.push_back(val(question.scores.value(option)));
        std::sort(scores.begin(), scores.end());
        scores.erase(std::unique(scores.begin(), scores.end()), scores.end());
        return scores;
    }

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

    // When every score is a whole multiple of 2^-k and no partial sum needs more than a
    // double's 53 bits, every sum the runner makes is exact and the totals lie on the
    // lattice of 2^-k: then they are kept as bits, one for each point of the lattice.
    std::optional<int> latticeExponent(const std::vector<Scores> &questions)
    {
        for (int k = 0; k <= 20; ++k) {
            bool whole = true;
            double largest = 0;
            double width = 0;
            for (const Scores &scores : questions) {
                for (double score : scores) {
                    const double units = std::ldexp(score, k);
                    if (units != std::floor(units)) {
                        whole = false;
                        break;
                    }
                }
                if (!whole)
                    break;
                largest += std::max(std::fabs(scores.front()), std::fabs(scores.back()));
                width += std::ldexp(scores.back() - scores.front(), k);
            }
            if (whole)
                return std::ldexp(largest, k) < 0x1p53 && width < latticeBits ? std::optional(k)
                                                                              : std::nullopt;
        }
        return std::nullopt;
    }

    // dst |= src shifted up by `shift` bits.
    void orShifted(std::vector<quint64> &dst, const std::vector<quint64> &src, qint64 shift)
    {
        const size_t words = size_t(shift / 64);
        const int bits = int(shift % 64);
        for (size_t i = 0; i < src.size(); ++i) {
            if (!src[i])
                continue;
            dst[i + words] |= src[i] << bits;
            if (bits && i + words + 1 < dst.size())
                dst[i + words + 1] |= src[i] >> (64 - bits);
        }
    }

    Totals latticeTotals(const std::vector<Scores> &questions, int k, qsizetype limit)
    {
        const auto units = [k](double score) { return qint64(std::llround(std::ldexp(score, k))); };
        std::vector<quint64> bits { 1 };
        qint64 width = 1; // lattice points in use
        qint64 base = 0; // the total of bit 0, in lattice units
        for (const Scores &scores : questions) {
            const qint64 low = units(scores.front());
            const qint64 extra = units(scores.back()) - low;
            std::vector<quint64> next(size_t((width + extra + 63) / 64));
            for (double score : scores)
                orShifted(next, bits, units(score) - low);
            bits.swap(next);
            width += extra;
            base += low;
        }

        qint64 count = 0;
        for (quint64 word : bits)
            count += std::popcount(word);
        Totals totals;
        totals.exact = count <= limit;
        if (!totals.exact)
            totals.step = std::ldexp(1.0, -k);
        const auto total = [&](qint64 bit) { return float(std::ldexp(double(base + bit), -k)); };
        qint64 runStart = -1;
        qint64 previous = -2;
        for (size_t w = 0; w < bits.size(); ++w) {
            for (quint64 word = bits[w]; word; word &= word - 1) {
                const qint64 bit = qint64(w) * 64 + std::countr_zero(word);
                if (totals.exact) {
                    append(totals.spans, total(bit), total(bit));
                } else if (bit != previous + 1) {
                    if (runStart >= 0)
                        append(totals.spans, total(runStart), total(previous));
                    runStart = bit;
                }
                previous = bit;
            }
        }
        if (!totals.exact && runStart >= 0)
            append(totals.spans, total(runStart), total(previous));
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
    Totals anyTotals(const std::vector<Scores> &questions, qsizetype limit)
    {
        std::vector<Span> totals { { 0.0, 0.0 } };
        for (const Scores &scores : questions) {
            std::vector<Span> next;
            next.reserve(totals.size() * scores.size());
            for (double score : scores) {
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

    QString number(float value)
    {
        return singleText(value);
    }

    QString rangeText(const Range &range)
    {
        QString text = range.from == range.to
            ? number(range.from)
            : QStringLiteral("%1 到 %2").arg(number(range.from), number(range.to));
        if (range.count >= 0)
            text += QStringLiteral("（%1 个）").arg(range.count);
        return text;
    }

    QString bandList(const QList<int> &bands)
    {
        QStringList names;
        for (int band : bands)
            names << QString::number(band);
        return QStringLiteral("第 %1 档").arg(names.join(u'、'));
    }

    // Lists ranges, at most maxItems of them, then how many more there are.
    template<class T, class F>
    void listItems(QStringList &lines, const QList<T> &items, int maxItems, F text)
    {
        const int shown = maxItems < 0 ? int(items.size()) : std::min(int(items.size()), maxItems);
        for (int i = 0; i < shown; ++i)
            lines << QStringLiteral("    ") + text(items.at(i));
        if (shown < items.size())
            lines << QStringLiteral("    ……还有 %1 处").arg(items.size() - shown);
    }

    // The pieces of the axis that the band bounds cut out: segment 2i is the open stretch
    // below bound i (2m the stretch above the last bound), 2i + 1 the bound itself. Every
    // total in one segment is held by the same bands.
    class Segments
    {
    public:
        explicit Segments(const QList<Band> &bands)
        {
            for (const Band &band : bands) {
                m_lowers.push_back(float(val(band.lower)));
                m_uppers.push_back(float(val(band.upper)));
            }
            m_ends = m_lowers;
            m_ends.insert(m_ends.end(), m_uppers.begin(), m_uppers.end());
            std::sort(m_ends.begin(), m_ends.end());
            m_ends.erase(std::unique(m_ends.begin(), m_ends.end()), m_ends.end());
            m_holders.resize(m_ends.size() * 2 + 1);
        }

        float lower(int band) const { return m_lowers[size_t(band)]; }
        float upper(int band) const { return m_uppers[size_t(band)]; }

        // The segment that holds x, and the highest value of it not above limit.
        int find(float x, float limit, float *to) const
        {
            const size_t i
                = size_t(std::lower_bound(m_ends.begin(), m_ends.end(), x) - m_ends.begin());
            if (i < m_ends.size() && m_ends[i] == x) {
                *to = x;
                return int(2 * i + 1);
            }
            *to = i < m_ends.size() ? std::min(limit, std::nextafter(m_ends[i], -infinity)) : limit;
            return int(2 * i);
        }

        // The bands (from 1) that hold the totals of a segment, by the runner's own test.
        const QList<int> &holders(int segment)
        {
            std::optional<QList<int>> &cached = m_holders[size_t(segment)];
            if (!cached) {
                const float x = sample(segment);
                cached.emplace();
                for (size_t band = 0; band < m_lowers.size(); ++band)
                    if (Scoring::bandHolds(x, m_lowers[band], m_uppers[band]))
                        cached->append(int(band) + 1);
            }
            return *cached;
        }

    private:
        // A value inside the segment (an empty one gets a value that no total takes).
        float sample(int segment) const
        {
            const size_t i = size_t(segment / 2);
            if (segment % 2)
                return m_ends[i];
            if (m_ends.empty())
                return 0;
            if (i == 0)
                return std::nextafter(m_ends.front(), -infinity);
            return std::nextafter(m_ends[i - 1], infinity);
        }

        std::vector<float> m_lowers;
        std::vector<float> m_uppers;
        std::vector<float> m_ends;
        std::vector<std::optional<QList<int>>> m_holders;
    };

    // Walks the reachable totals over the segments and groups them: neighbouring totals
    // that the same bands hold form one range as long as no segment between them is held
    // otherwise.
    class Grouping
    {
    public:
        Grouping(Check &check, Segments &segments, int bands)
            : m_check(check)
            , m_segments(segments)
            , m_used(size_t(bands), false)
        { }

        void add(float from, float to, int segment, qint64 count)
        {
            const QList<int> &holders = m_segments.holders(segment);
            for (int band : holders)
                m_used[size_t(band - 1)] = true;
            if (m_last >= 0 && continues(segment, holders)) {
                Range &range
                    = holders.isEmpty() ? m_check.gaps.last() : m_check.overlaps.last().range;
                range.to = to;
                range.count = range.count < 0 || count < 0 ? -1 : range.count + count;
            } else if (holders.isEmpty()) {
                m_check.gaps.append({ from, to, count });
            } else if (holders.size() > 1) {
                m_check.overlaps.append({ { from, to, count }, holders });
            }
            m_last = segment;
        }

        QList<int> unused() const
        {
            QList<int> bands;
            for (size_t band = 0; band < m_used.size(); ++band)
                if (!m_used[band])
                    bands.append(int(band) + 1);
            return bands;
        }

    private:
        bool continues(int segment, const QList<int> &holders)
        {
            if (holders.size() == 1 || m_segments.holders(m_last) != holders)
                return false;
            for (int between = m_last + 1; between < segment; ++between)
                if (m_segments.holders(between) != holders)
                    return false;
            return true;
        }

        Check &m_check;
        Segments &m_segments;
        std::vector<bool> m_used;
        int m_last = -1;
    };

    // A stretch of a span that holds no multiple of the step holds no reachable total
    // (the stretch between two whole bounds, when every score is whole).
    bool onlyBetweenSteps(const Totals &totals, float from, float to)
    {
        return totals.step > 0 && std::ceil(from / totals.step) > std::floor(to / totals.step);
    }

} // namespace

Totals reachableTotals(const QList<Question> &questions, qsizetype limit)
{
    std::vector<Scores> scores;
    for (const Question &question : questions) {
        scores.push_back(shownScores(question));
        if (scores.back().empty())
            return {};
    }
    if (scores.empty())
        return {};
    if (const std::optional<int> k = latticeExponent(scores))
        return latticeTotals(scores, *k, limit);
    return anyTotals(scores, limit);
}

qint64 Check::count() const
{
    return totals.exact ? qint64(totals.spans.size()) : -1;
}

bool Check::complete() const
{
    return reachable() && bands > 0 && gaps.isEmpty() && overlaps.isEmpty();
}

Check check(const QList<Question> &questions, const QList<Band> &bands, qsizetype limit)
{
    Check result;
    result.questions = int(questions.size());
    result.bands = int(bands.size());
    for (int i = 0; i < questions.size() && !result.blockedQuestion; ++i)
        if (shownScores(questions.at(i)).empty())
            result.blockedQuestion = i + 1;
    result.totals = reachableTotals(questions, limit);

    Segments segments(bands);
    for (int band = 0; band < bands.size(); ++band) {
        result.bounds.push_back({ segments.lower(band), segments.upper(band) });
        if (segments.lower(band) > segments.upper(band))
            result.invertedBands.append(band + 1);
    }
    if (!result.reachable() || bands.isEmpty())
        return result;

    Grouping grouping(result, segments, int(bands.size()));
    const qint64 each = result.totals.exact ? 1 : -1;
    for (const auto &[from, to] : result.totals.spans) {
        for (float x = from;;) {
            float end = to;
            const int segment = segments.find(x, to, &end);
            if (!onlyBetweenSteps(result.totals, x, end))
                grouping.add(x, end, segment, each);
            if (end >= to)
                break;
            x = std::nextafter(end, infinity);
        }
    }
    result.unusedBands = grouping.unused();
    return result;
}

QString summary(const Check &check)
{
    if (check.questions == 0)
        return QStringLiteral("还没有题目");
    if (check.blockedQuestion)
        return QStringLiteral("第 %1 题没有选项").arg(check.blockedQuestion);
    if (check.bands == 0)
        return QStringLiteral("还没有分数档");
    QStringList parts;
    if (!check.gaps.isEmpty())
        parts << QStringLiteral("%1 处缺口").arg(check.gaps.size());
    if (!check.overlaps.isEmpty())
        parts << QStringLiteral("%1 处重叠").arg(check.overlaps.size());
    if (parts.isEmpty())
        return check.totals.exact ? QStringLiteral("覆盖完整") : QStringLiteral("大致覆盖完整");
    return (check.totals.exact ? QString() : QStringLiteral("约 ")) + parts.join(u'，');
}

QString detail(const Check &check, int maxItems)
{
    QStringList lines;
    if (check.questions == 0) {
        lines << QStringLiteral("这个测试还没有题目，还算不出可能的得分。");
    } else if (check.blockedQuestion) {
        lines << QStringLiteral("第 %1 题的选项都是空的：答题的人过不了这一题，得不到总分。")
                     .arg(check.blockedQuestion);
    } else if (check.totals.exact) {
        lines << QStringLiteral("%1 道题，可能的得分从 %2 到 %3，共 %4 个。")
                     .arg(check.questions)
                     .arg(number(check.lowest()), number(check.highest()))
                     .arg(check.count());
    } else {
        lines << QStringLiteral("%1 道题，可能的得分在 %2 到 %3 之间。")
                     .arg(check.questions)
                     .arg(number(check.lowest()), number(check.highest()));
        lines << QStringLiteral("可能的得分太多，下面按区间估算：区间里的分数不一定都能得到。");
    }

    if (check.bands == 0) {
        lines << QStringLiteral("还没有分数档：测试做完时只会提示评分还没有输入。");
        return lines.join(u'\n');
    }
    lines << QStringLiteral("分数档 %1 档（按已经存好的分数档检查）。").arg(check.bands);
    if (check.complete())
        lines << QStringLiteral("每个可能的得分都正好落在一个分数档里。");

    if (!check.gaps.isEmpty()) {
        lines << QStringLiteral("没有分数档包含的得分（%1 处），得到它们的人看不到评价：")
                     .arg(check.gaps.size());
        listItems(lines, check.gaps, maxItems, rangeText);
    }
    if (!check.overlaps.isEmpty()) {
        lines << QStringLiteral("同时落在几个分数档里的得分（%1 处），测试时给出最后一档的评价：")
                     .arg(check.overlaps.size());
        listItems(lines, check.overlaps, maxItems, [](const Overlap &o) {
            return QStringLiteral("%1：%2，给出第 %3 档")
                .arg(rangeText(o.range), bandList(o.bands))
                .arg(o.bands.last());
        });
    }
    if (!check.unusedBands.isEmpty())
        lines
            << QStringLiteral("没有任何可能的得分落在里面：%1。").arg(bandList(check.unusedBands));
    if (!check.invertedBands.isEmpty())
        lines << QStringLiteral("下限大于上限，只包含两个端点上的分数：%1。")
                     .arg(bandList(check.invertedBands));
    return lines.join(u'\n');
}

StoreError read(
    const QString &bank, const QString &test, QList<Question> *questions, QList<Band> *bands)
{
    questions->clear();
    bands->clear();
    Recordset rs;
    if (const StoreError e = rs.open(bank, test))
        return e;
    std::array<QStringList, 6> options;
    std::array<QStringList, 6> scores;
    for (int option = 0; option < 6; ++option) {
        options[size_t(option)] = rs.column(BankNames::optionField(option));
        scores[size_t(option)] = rs.column(BankNames::scoreField(option));
    }
    for (int row = 0; row < rs.RecordCount(); ++row) {
        Question question;
        for (int option = 0; option < 6; ++option) {
            question.options << options[size_t(option)].value(row);
            question.scores << scores[size_t(option)].value(row);
        }
        questions->append(question);
    }
    rs.release();

    if (const StoreError e = rs.open(bank, BankNames::scoringTable(test)))
        return e;
    const QStringList lowers = rs.column(BankNames::lowerField());
    const QStringList uppers = rs.column(BankNames::upperField());
    for (int row = 0; row < rs.RecordCount(); ++row)
        bands->append({ lowers.value(row), uppers.value(row) });
    rs.release();
    return {};
}

} // namespace BandCheck
