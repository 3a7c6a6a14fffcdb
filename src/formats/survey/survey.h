#pragma once

#include "formats/package.h"

#include <QByteArray>
#include <QStringList>

// A test from a survey tool's structure export (*.lss, XML): the survey's title is
// the test's name, its single-choice questions (list, dropdown and five-point
// choice) in group and question order the questions, each answer's assessment value
// the option's score, and the assessments of the whole survey (scope T: minimum,
// maximum, message) the score bands. Texts come from the survey's base language,
// with HTML markup removed. Both the older layout (texts in answers and questions)
// and the newer one (texts in answer_l10ns and question_l10ns) are read.
namespace Exchange {

// `skipped` gets one sentence for each question that is not brought over (another
// kind of question, or more than six options: never cut). On failure returns an
// empty package and sets *error to one sentence naming the file and the line or
// element at fault.
Package readSurvey(
    const QByteArray &bytes, const QString &fileName, QStringList *skipped, QString *error);

} // namespace Exchange
