#include "scoring/bandlattice.h"

#include <algorithm>
#include <bit>

namespace BandCheck {

namespace {

    using Units = std::vector<qint64>;

    constexpr size_t maxRuns = 4096;

    // dst |= src shifted up by `shift` bits.
    void orShifted(std::vector<quint64> &dst, const std::vector<quint64> &src, qint64 shift)
    {
        const size_t words = size_t(shift / 64);
        const int bits = int(shift % 64);
        quint64 *out = dst.data() + words;
        const size_t n = src.size();
        if (bits == 0) {
            for (size_t i = 0; i < n; ++i)
                out[i] |= src[i];
            return;
        }
        out[0] |= src[0] << bits;
        for (size_t i = 1; i < n; ++i)
            out[i] |= (src[i] << bits) | (src[i - 1] >> (64 - bits));
        if (words + n < dst.size())
            out[n] |= src[n - 1] >> (64 - bits);
    }

    // One question on runs: every run moved by every score, joined where they meet.
    std::vector<Run> addToRuns(const std::vector<Run> &runs, const Units &units)
    {
        std::vector<Run> next;
        next.reserve(runs.size() * units.size());
        for (qint64 u : units) {
            const auto middle = qsizetype(next.size());
            for (const Run &r : runs)
                next.push_back({ r.first + u, r.second + u });
            std::inplace_merge(next.begin(), next.begin() + middle, next.end());
        }
        size_t out = 0;
        for (size_t i = 1; i < next.size(); ++i) {
            if (next[i].first <= next[out].second + 1)
                next[out].second = std::max(next[out].second, next[i].second);
            else
                next[++out] = next[i];
        }
        next.resize(out + 1);
        return next;
    }

    // One question on bits; the base moves by the lowest score.
    void addToBits(Lattice &lattice, qint64 *width, const Units &units)
    {
        const qint64 low = units.front();
        const qint64 extra = units.back() - low;
        std::vector<quint64> next(size_t((*width + extra + 63) / 64));
        for (qint64 u : units)
            orShifted(next, lattice.bits, u - low);
        lattice.bits.swap(next);
        *width += extra;
        lattice.base += low;
    }

    void runsToBits(Lattice &lattice, qint64 *width)
    {
        lattice.base = lattice.runs.front().first;
        *width = lattice.width();
        lattice.bits.assign(size_t((*width + 63) / 64), 0);
        for (const auto &[first, last] : lattice.runs)
            for (qint64 i = first - lattice.base; i <= last - lattice.base; ++i)
                lattice.bits[size_t(i / 64)] |= quint64(1) << (i % 64);
        lattice.runs.clear();
    }

    // The number of runs the bits hold: the set bits whose lower neighbour is clear.
    qint64 runsInBits(const std::vector<quint64> &bits)
    {
        qint64 starts = 0;
        quint64 carry = 0;
        for (quint64 word : bits) {
            starts += std::popcount(word & ~((word << 1) | carry));
            carry = word >> 63;
        }
        return starts;
    }

    void bitsToRuns(Lattice &lattice)
    {
        std::vector<Run> runs;
        eachRun(lattice, [&](qint64 first, qint64 last) { runs.push_back({ first, last }); });
        lattice.runs.swap(runs);
        lattice.bits.clear();
    }

} // namespace

Lattice unitSums(const std::vector<Units> &questions, const std::stop_token &stop)
{
    Lattice lattice;
    lattice.runs = { { 0, 0 } };
    qint64 width = 0;
    for (size_t q = 0; q < questions.size(); ++q) {
        if (stop.stop_requested())
            break;
        if (lattice.bits.empty()) {
            lattice.runs = addToRuns(lattice.runs, questions[q]);
            if (lattice.runs.size() > maxRuns)
                runsToBits(lattice, &width);
        } else {
            addToBits(lattice, &width, questions[q]);
            if (q % 8 == 7 && runsInBits(lattice.bits) <= qint64(maxRuns / 2))
                bitsToRuns(lattice);
        }
    }
    if (lattice.bits.empty()) {
        for (const Run &r : lattice.runs)
            lattice.count += r.second - r.first + 1;
    } else {
        for (quint64 word : lattice.bits)
            lattice.count += std::popcount(word);
    }
    return lattice;
}

} // namespace BandCheck
