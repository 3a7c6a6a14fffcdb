#pragma once

#include "store/storeerror.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <stop_token>
#include <utility>
#include <vector>

// The band check: every total a taker can end a test with, and how the test's score
// bands hold those totals. It follows the runner's arithmetic exactly: the running
// total is summed in double precision in question order, each question adding the
// score of one of its shown options; the final total is compared with the bounds in
// single precision, both bounds inclusive, and the last band that holds it wins.
//
// When every score is a whole multiple of one decimal step (tenths, thousandths), the
// totals are counted as whole numbers of that step, and the runner's rounding is
// followed on top: its double sum of a path lies within a known distance of the exact
// sum, and where that distance reaches across the middle of two singles, the smallest
// and largest double sums of that exact total are carried through the questions.
//
// The totals are kept exactly, as a set of values, while there are at most `limit`
// of them; beyond that as spans that hold every reachable total but also values in
// between that may not be reachable (the check is then approximate and says so).
// A stop requested through the token ends the work early with a result to throw away.
namespace BandCheck {

inline constexpr qsizetype exactLimit = 1'000'000;

// A question as the runner reads it: the text and score of options A to F, as stored
// (texts of the bank; a score that is empty or no number counts 0).
struct Question
{
    QStringList options;
    QStringList scores;
};

// A band as stored: its bounds as text.
struct Band
{
    QString lower;
    QString upper;
};

// The final totals, in single precision, as sorted disjoint spans [first, second].
// When exact, every span is one value and the values are exactly the reachable ones.
struct Totals
{
    std::vector<std::pair<float, float>> spans;
    bool exact = true;
    // Every total is the single nearest to a whole multiple of step (0 when no step is
    // known); a decimal step is 10^-decimals.
    double step = 0;
    int decimals = -1;

    // The single of the whole multiple `units` of the step.
    float latticeTotal(qint64 units) const;
    // Whether [from, to] holds the single of some multiple of the step (always, without
    // a step).
    bool mayHold(float from, float to) const;
};

// The distinct scores of the options a question shows, ascending, as the runner reads
// them.
std::vector<double> shownScores(const Question &question);

// The reachable totals; none when a question shows no option (nobody gets past it).
Totals reachableTotals(
    const QList<Question> &questions, qsizetype limit = exactLimit, std::stop_token stop = {});

// A range of reachable totals, from and to included; count is the number of reachable
// totals in it, -1 when the check is approximate.
struct Range
{
    float from = 0;
    float to = 0;
    qint64 count = -1;
};

// Totals that two or more bands hold: the bands (numbers from 1, in table order); the
// runner gives the last of them.
struct Overlap
{
    Range range;
    QList<int> bands;
};

struct Check
{
    int questions = 0;
    int bands = 0;
    int blockedQuestion = 0; // the first question with no option shown (from 1), or 0
    Totals totals;
    std::vector<std::pair<float, float>> bounds; // lower and upper bound of each band
    QList<Range> gaps; // reachable totals that no band holds
    QList<Overlap> overlaps;
    QList<int> unusedBands; // bands that hold no reachable total
    QList<int> invertedBands; // lower bound above the upper one

    bool reachable() const { return !totals.spans.empty(); }
    float lowest() const { return reachable() ? totals.spans.front().first : 0; }
    float highest() const { return reachable() ? totals.spans.back().second : 0; }
    // The number of reachable totals, -1 when approximate.
    qint64 count() const;
    // Every reachable total is held by exactly one band.
    bool complete() const;
};

Check check(const QList<Question> &questions, const QList<Band> &bands,
    qsizetype limit = exactLimit, std::stop_token stop = {});

// Reads the questions and the bands of a test from the bank, in table order.
StoreError read(
    const QString &bank, const QString &test, QList<Question> *questions, QList<Band> *bands);

} // namespace BandCheck
