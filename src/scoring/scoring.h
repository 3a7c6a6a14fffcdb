#pragma once

#include <QString>

// The arithmetic of a test run: the running total is decimal text summed in double
// precision from answer to answer; the final total and the band bounds are compared
// in single precision.
namespace Scoring {

// The running total after an answer: the numeric values of both texts (an empty or
// non-numeric text counts 0) added in double precision, as the shortest decimal text.
QString addScore(const QString &total, const QString &score);

// The same step on numbers: the total text always reads back as the double it was
// written from, so carrying it as text is plain double addition. A sum beyond the
// range of a double reads back as 0, and -0 is written as "0".
double addScoreValue(double total, double score);

// Whether an option is hidden from the taker: its text is empty or the editor's
// one-space placeholder. A hidden option cannot be chosen.
bool isBlankOption(const QString &text);

// Whether a band holds the total; both bounds belong to the band. A band whose lower
// bound lies above its upper bound holds only totals equal to one of them.
bool bandHolds(float total, float lower, float upper);

// The result window's text: four spaces, "你的得分是", the total in its shortest
// single-precision form, "。", then the evaluation (nothing when no band held it).
QString resultText(float total, const QString &evaluation);

} // namespace Scoring
