#include "runner/scoring.h"

#include "bank/store/valuerules.h"

namespace Scoring {

QString addScore(const QString &total, const QString &score)
{
    return doubleText(val(total) + val(score));
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
