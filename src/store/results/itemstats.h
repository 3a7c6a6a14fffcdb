#pragma once

#include "store/results/itemtable.h"

#include <array>

// Item analysis of a test from its results, as authors of questionnaires read it:
// the totals' spread, Cronbach's alpha, and for each question how its options were
// chosen, how it agrees with the rest (corrected item-total correlation) and what
// alpha would be without it. Undefined figures (a constant item, fewer than two
// results) are NaN.
namespace ItemStats {

struct Item
{
    int answered = 0; // results that answered it
    std::array<int, 6> chosen {}; // how often each option A–F was chosen
    double meanScore = 0;
    double sdScore = 0;
    double itemRest = 0; // correlation with the total of the other questions
    double alphaIfDropped = 0;
    bool likelyReversed = false; // it goes against the rest (negative correlation)
    bool nearlyConstant = false; // nearly everybody answers it alike

    double share(int option) const { return answered ? double(chosen[option]) / answered : 0; }
};

struct BandCount
{
    int band = 0; // 0: no band held the total, or not known
    QString evaluation;
    int results = 0;
};

struct Analysis
{
    int results = 0;
    int complete = 0; // results that answered every question: alpha and correlations use these
    double mean = 0; // of the totals kept
    double sd = 0; // sample standard deviation (n - 1)
    double lowest = 0;
    double highest = 0;
    double alpha = 0;
    QList<Item> items;
    QList<BandCount> bands; // by band number, then evaluation
};

// The share of results choosing one option from which a question counts as answered
// alike by nearly everybody.
inline constexpr double nearlyConstantShare = 0.9;
// Fewer results than this make the figures unsteady.
inline constexpr int steadyResults = 30;

Analysis analyse(const Results::ItemTable &table);

// What alpha says, in a sentence for the author.
QString alphaMeaning(double alpha);

} // namespace ItemStats
