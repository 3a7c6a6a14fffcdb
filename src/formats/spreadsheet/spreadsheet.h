#pragma once

#include "formats/package.h"

#include <QByteArray>

// A test from a spreadsheet saved as CSV or TSV: UTF-8 (with or without a byte-order
// mark), or GBK when the bytes are no UTF-8. Cells are separated by tabs when the
// first line holds one (or the file is *.tsv), otherwise by commas; quoted cells may
// hold separators, doubled quotes and line breaks.
//
// One row a question: the question text, then for A to F the option text and its
// score. A first row whose first cell is "题目" is a heading. A row whose first cell
// is "评分" starts the score bands: lower bound, upper bound, evaluation, a row each.
// Empty rows are passed over; an option with neither text nor score is left out.
namespace Exchange {

// The test is named `testName`. On failure returns an empty package and sets *error
// to one sentence naming the file and the line.
Package readSheet(
    const QByteArray &bytes, const QString &fileName, const QString &testName, QString *error);

// Score bands alone, from a second file of rows (lower, upper, evaluation); a first
// row "评分" or a heading row is passed over.
QList<Band> readBandSheet(const QByteArray &bytes, const QString &fileName, QString *error);

// Text of a file that is UTF-8 (a byte-order mark dropped) or else GBK.
QString decodeUtf8OrGbk(const QByteArray &bytes);

} // namespace Exchange
