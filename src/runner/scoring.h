#pragma once

#include <QString>

// The arithmetic of a test run: the running total is decimal text summed in double
// precision from answer to answer; the final total and the band bounds are compared
// in single precision.
namespace Scoring {

// The running total after an answer: the numeric values of both texts (an empty or
// non-numeric text counts 0) added in double precision, as the shortest decimal text.
QString addScore(const QString &total, const QString &score);

// Whether a band holds the total; both bounds belong to the band. A band whose lower
// bound lies above its upper bound holds only totals equal to one of them.
bool bandHolds(float total, float lower, float upper);

// The result window's text: four spaces, "你的得分是", the total in its shortest
// single-precision form, "。", then the evaluation (nothing when no band held it).
QString resultText(float total, const QString &evaluation);

} // namespace Scoring
