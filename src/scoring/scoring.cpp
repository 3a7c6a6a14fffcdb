#include "scoring/scoring.h"

#include "base/valuerules.h"

#include <cmath>

namespace Scoring {

QString addScore(const QString &total, const QString &score)
{
    return doubleText(val(total) + val(score));
}

double addScoreValue(double total, double score)
{
    const double sum = total + score;
    return std::isfinite(sum) && sum != 0 ? sum : 0.0;
}

bool isBlankOption(const QString &text)
{
    return text.isEmpty() || text == QStringLiteral(" ");
}

bool bandHolds(float total, float lower, float upper)
{
    return (lower < total && total < upper) || total == lower || total == upper;
}

QString resultText(float total, const QString &evaluation)
{
    return QStringLiteral("    你的得分是") + singleText(total) + QStringLiteral("。") + evaluation;
}

} // namespace Scoring
