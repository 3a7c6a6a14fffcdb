#pragma once

#include "store/storeerror.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// The results of one test as a table for item analysis and for statistics programs:
// one row a result, one column a question, read from the history in one pass.
namespace Results {

// One version of a test as the history holds it.
struct VersionCount
{
    QString version; // empty: results kept before results named their version
    int results = 0;
    QDateTime first; // when the first of them was taken
};

struct ItemTable
{
    QString test;
    int questions = 0; // the highest question number any row answered
    QStringList questionTexts; // by question, from 0
    // By question, the text of each option A–F as the results recorded it (empty for an
    // option nobody chose).
    QList<std::array<QString, 6>> optionTexts;

    struct Row
    {
        qint64 id = 0;
        QDateTime takenAt; // in UTC
        double total = 0; // as kept
        int band = 0; // 1, 2, ...; 0 for none or not known
        QString evaluation;
    };
    QList<Row> rows; // in the order kept
    // rows.size() x questions, row by row: the option chosen (0 = A .. 5 = F, -1 for no
    // answer) and its score (NaN for no answer).
    std::vector<qint8> options;
    std::vector<double> scores;

    int option(qsizetype row, int question) const { return options[row * questions + question]; }
    double score(qsizetype row, int question) const { return scores[row * questions + question]; }
};

// The names of the tests with results in the history at path; none for no file.
QStringList testsOf(const QString &path, StoreError *error);

// The versions of a test in the history at path, the one used last at the end; none
// for no file.
QList<VersionCount> versionsOf(const QString &path, const QString &test, StoreError *error);

// The results of the test taken on `versions` (every version when the list is empty).
ItemTable itemTable(
    const QString &path, const QString &test, const QStringList &versions, StoreError *error);

} // namespace Results
