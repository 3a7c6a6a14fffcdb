#pragma once

#include "store/results/history.h"

#include <QList>
#include <QStringList>

// Results of a test as a class of takers would leave them, for the analysis: taker t
// answers at a level of 0 (the lowest-scoring option) to 2 (the highest), with some
// noise from question to question; the question `reversed` (from 0) is answered the
// opposite way, as a question scored backwards would be. `questions` are the rows of the
// test's table (题目, then text and score of options A–F).
Results::Record sampleResult(const QString &test, const QList<QStringList> &questions, int t,
    const QString &version, int reversed);
