#include "store/results/itemstats.h"

#include <QMap>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ItemStats {

namespace {

    const double undefined = std::numeric_limits<double>::quiet_NaN();

    // Cronbach's alpha of k items from the sum of their variances and the variance of
    // their total; undefined for fewer than two items or a constant total.
    double alphaOf(int k, double itemVariances, double totalVariance)
    {
        if (k < 2 || !(totalVariance > 0))
            return undefined;
        return k / (k - 1.0) * (1 - itemVariances / totalVariance);
    }

    void describeTotals(const Results::ItemTable &table, Analysis *a)
    {
        const qsizetype n = table.rows.size();
        if (n == 0)
            return;
        double sum = 0;
        a->lowest = a->highest = table.rows.first().total;
        for (const Results::ItemTable::Row &r : table.rows) {
            sum += r.total;
            a->lowest = std::min(a->lowest, r.total);
            a->highest = std::max(a->highest, r.total);
        }
        a->mean = sum / n;
        double squares = 0;
        for (const Results::ItemTable::Row &r : table.rows)
            squares += (r.total - a->mean) * (r.total - a->mean);
        a->sd = n > 1 ? std::sqrt(squares / (n - 1)) : undefined;
    }

    // Option counts and the mean score of each question over the results that answered it.
    void describeItems(const Results::ItemTable &table, Analysis *a)
    {
        const int k = table.questions;
        a->items.resize(k);
        std::vector<double> sums(k, 0), squares(k, 0);
        for (qsizetype r = 0; r < table.rows.size(); ++r) {
            for (int q = 0; q < k; ++q) {
                const int option = table.option(r, q);
                if (option < 0)
                    continue;
                Item &item = a->items[q];
                ++item.answered;
                ++item.chosen[option];
                sums[q] += table.score(r, q);
            }
        }
        for (int q = 0; q < k; ++q) {
            Item &item = a->items[q];
            item.meanScore = item.answered ? sums[q] / item.answered : undefined;
        }
        for (qsizetype r = 0; r < table.rows.size(); ++r)
            for (int q = 0; q < k; ++q)
                if (table.option(r, q) >= 0) {
                    const double d = table.score(r, q) - a->items[q].meanScore;
                    squares[q] += d * d;
                }
        for (int q = 0; q < k; ++q) {
            Item &item = a->items[q];
            item.sdScore
                = item.answered > 1 ? std::sqrt(squares[q] / (item.answered - 1)) : undefined;
            const int most = *std::max_element(item.chosen.begin(), item.chosen.end());
            item.nearlyConstant = item.answered > 0
                && (most >= nearlyConstantShare * item.answered || !(item.sdScore > 0));
        }
    }

    // Alpha and the item-rest figures over the results that answered every question,
    // from each item's variance and its covariance with the total (two passes: the
    // means first, then the centred sums, which keeps them exact enough for scores of
    // any size).
    void reliability(const Results::ItemTable &table, Analysis *a)
    {
        const int k = table.questions;
        std::vector<qsizetype> complete;
        for (qsizetype r = 0; r < table.rows.size(); ++r) {
            const double *row = table.scores.data() + r * k;
            if (std::none_of(row, row + k, [](double s) { return std::isnan(s); }))
                complete.push_back(r);
        }
        a->complete = int(complete.size());
        const double n = double(complete.size());
        a->alpha = undefined;
        for (Item &item : a->items)
            item.itemRest = item.alphaIfDropped = undefined;
        if (complete.size() < 2 || k < 1)
            return;

        std::vector<double> mean(k, 0);
        for (const qsizetype r : complete) {
            const double *row = table.scores.data() + r * k;
            for (int q = 0; q < k; ++q)
                mean[q] += row[q];
        }
        for (int q = 0; q < k; ++q)
            mean[q] /= n;
        std::vector<double> variance(k, 0), covariance(k, 0);
        double totalVariance = 0;
        for (const qsizetype r : complete) {
            const double *row = table.scores.data() + r * k;
            double t = 0;
            for (int q = 0; q < k; ++q)
                t += row[q] - mean[q];
            totalVariance += t * t;
            for (int q = 0; q < k; ++q) {
                const double d = row[q] - mean[q];
                variance[q] += d * d;
                covariance[q] += d * t;
            }
        }
        // Sums of squares throughout: the common factor 1 / (n - 1) cancels in every ratio.
        double sumVariances = 0;
        for (int q = 0; q < k; ++q)
            sumVariances += variance[q];
        a->alpha = alphaOf(k, sumVariances, totalVariance);
        for (int q = 0; q < k; ++q) {
            Item &item = a->items[q];
            const double restVariance = totalVariance + variance[q] - 2 * covariance[q];
            const double restCovariance = covariance[q] - variance[q];
            if (variance[q] > 0 && restVariance > 0)
                item.itemRest = restCovariance / std::sqrt(variance[q] * restVariance);
            item.alphaIfDropped = alphaOf(k - 1, sumVariances - variance[q], restVariance);
            // Rounding leaves a tiny negative value where an item is unrelated.
            item.likelyReversed = item.itemRest < -1e-9;
        }
    }

    void countBands(const Results::ItemTable &table, Analysis *a)
    {
        QMap<std::pair<int, QString>, int> counts;
        for (const Results::ItemTable::Row &r : table.rows)
            ++counts[{ r.band, r.evaluation }];
        for (auto at = counts.cbegin(); at != counts.cend(); ++at)
            a->bands.append({ at.key().first, at.key().second, at.value() });
    }

} // namespace

Analysis analyse(const Results::ItemTable &table)
{
    Analysis a;
    a.results = int(table.rows.size());
    describeTotals(table, &a);
    describeItems(table, &a);
    reliability(table, &a);
    countBands(table, &a);
    return a;
}

QString alphaMeaning(double alpha)
{
    if (std::isnan(alpha))
        return QStringLiteral("结果太少或得分全都一样，算不出α。");
    if (alpha >= 0.9)
        return QStringLiteral("题目之间非常一致，测的几乎是同一件事（也可能有些题目重复了）。");
    if (alpha >= 0.8)
        return QStringLiteral("题目之间很一致，这个测试的得分可靠。");
    if (alpha >= 0.7)
        return QStringLiteral("题目之间比较一致，得分可以用来比较人与人的差别。");
    if (alpha >= 0.6)
        return QStringLiteral("题目之间的一致性勉强可以，得分只宜粗略参考。");
    if (alpha >= 0)
        return QStringLiteral("题目之间不太一致，它们可能测的不是同一件事，得分不可靠。");
    return QStringLiteral("α为负：有的题目和其余题目方向相反，多半是有题目的分数给反了。");
}

} // namespace ItemStats
