#pragma once

#include <QString>

// A short text that names one version of a test's questions: it changes whenever a
// question, an option or a score does, a question is added, removed or moved. Read in
// one pass through SQLite's own interface, so a test of 100,000 questions costs a few
// tens of milliseconds. Empty when the table cannot be read.
QString questionsVersion(const QString &bank, const QString &test);

class QSqlDatabase;
// The same of a test in the bank file open on db.
QString fileQuestionsVersion(QSqlDatabase &db, const QString &test);
