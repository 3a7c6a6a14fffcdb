#pragma once

// The band check's lattices: on a test whose scores are whole numbers of one step,
// which totals of one score per question can be reached, counted in steps.
#include <QtGlobal>
#include <bit>
#include <stop_token>
#include <utility>
#include <vector>

namespace BandCheck {

using Run = std::pair<qint64, qint64>; // the first and last whole total of a run

// The whole totals reachable on a lattice: as runs of neighbours while they are few
// (as they soon are where the scores lie close together), else as bits, bit i
// standing for base + i units.
struct Lattice
{
    std::vector<Run> runs;
    std::vector<quint64> bits;
    qint64 base = 0;
    qint64 count = 0;

    qint64 width() const
    {
        return bits.empty() ? runs.back().second - runs.front().first + 1
                            : qint64(bits.size()) * 64;
    }
};

// The reachable sums of one score of each question (the scores of a question in units,
// ascending). Runs while they are few, bits while they are many: scores that lie close
// together soon fill the middle of the totals, and few runs are left. A stop requested
// ends it early.
Lattice unitSums(const std::vector<std::vector<qint64>> &questions, const std::stop_token &stop);

// Calls f(first, last) for every run of reachable whole totals, ascending.
template<class F>
void eachRun(const Lattice &lattice, F f)
{
    if (lattice.bits.empty()) {
        for (const Run &r : lattice.runs)
            f(r.first, r.second);
        return;
    }
    bool started = false;
    qint64 first = 0;
    qint64 previous = 0;
    for (size_t w = 0; w < lattice.bits.size(); ++w) {
        for (quint64 word = lattice.bits[w]; word; word &= word - 1) {
            const qint64 u = lattice.base + qint64(w) * 64 + std::countr_zero(word);
            if (started && u == previous + 1) {
                previous = u;
                continue;
            }
            if (started)
                f(first, previous);
            first = previous = u;
            started = true;
        }
    }
    if (started)
        f(first, previous);
}

// Calls f(units) for every reachable whole total, ascending, until f returns false.
template<class F>
void eachTotal(const Lattice &lattice, F f)
{
    bool going = true;
    eachRun(lattice, [&](qint64 first, qint64 last) {
        for (qint64 u = first; going && u <= last; ++u)
            going = f(u);
    });
}

} // namespace BandCheck
