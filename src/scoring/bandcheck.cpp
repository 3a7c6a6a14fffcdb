#include "scoring/bandcheck.h"

#include "base/valuerules.h"
#include "scoring/scoring.h"
#include "store/catalogue.h"
#include "store/recordset.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace BandCheck {

namespace {

    constexpr float infinity = std::numeric_limits<float>::infinity();

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

} // namespace

qint64 Check::count() const
{
    return totals.exact ? qint64(totals.spans.size()) : -1;
}

bool Check::complete() const
{
    return reachable() && bands > 0 && gaps.isEmpty() && overlaps.isEmpty();
}

Check check(const QList<Question> &questions, const QList<Band> &bands, qsizetype limit,
    std::stop_token stop)
{
    Check result;
    result.questions = int(questions.size());
    result.bands = int(bands.size());
    for (int i = 0; i < questions.size() && !result.blockedQuestion; ++i)
        if (shownScores(questions.at(i)).empty())
            result.blockedQuestion = i + 1;
    result.totals = reachableTotals(questions, limit, stop);

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
    qsizetype walked = 0;
    for (const auto &[from, to] : result.totals.spans) {
        if (++walked % 4096 == 0 && stop.stop_requested())
            return result;
        for (float x = from;;) {
            float end = to;
            const int segment = segments.find(x, to, &end);
            // A stretch of a span that holds no multiple of the step holds no total.
            if (result.totals.exact || result.totals.mayHold(x, end))
                grouping.add(x, end, segment, each);
            if (end >= to)
                break;
            x = std::nextafter(end, infinity);
        }
    }
    result.unusedBands = grouping.unused();
    return result;
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
