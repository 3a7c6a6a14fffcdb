#pragma once

#include "store/results/history.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

// One finished test as a page, and the shown records as a table: what the result
// window and the history window print, save as PDF and export.
namespace ResultDocument {

// The date and time as the windows show them, in local time.
QString dateText(const QDateTime &at);

// The page: test name (and category), date, the result text exactly as the result
// window showed it, and each question with the chosen option and its score.
QString html(const Results::Record &record);

// Writes the page as a PDF file; on failure returns false and sets *error to a
// sentence for the user (the file is then left as it was).
bool savePdf(const Results::Record &record, const QString &path, QString *error);

// Lays the page out in a document, to print or to save.
void fill(QTextDocument *doc, const Results::Record &record);

// The records as CSV for a spreadsheet: UTF-8 with a byte-order mark, CR LF line
// ends, fields quoted where they must be. One row a record: date, category, test,
// total, evaluation, then the chosen option and score of each question.
QByteArray csv(const QList<Results::Record> &records);

// Writes bytes to a file whole (or not at all); false with *error on failure.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);

} // namespace ResultDocument
