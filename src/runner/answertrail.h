#pragma once

#include "results/store/history.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class Recordset;

// The answers of one run of a test, one final answer a question, and what a taker may do
// with them beyond answering straight through: continue a run that a crash cut short,
// and go back to change an answer.
//
// Whatever the path, the total comes from the final answers in question order, added as
// the runner adds them one click after another (Scoring::addScore from "0"), so it
// equals a straight run's with the same answers bit for bit.
//
// Each answer but the last is kept in the results file before the next question shows,
// so a run killed at any moment loses at most the answer being given. Keeping is best
// effort: a file that cannot be written costs nothing but the chance to continue.
class AnswerTrail
{
public:
    // Reads the questions as the runner shows them (text, options, scores); their
    // fingerprint tells whether a kept run was answered on this version of the test.
    void begin(const QString &resultsFile, const QString &test, const Recordset &questions);

    int questionCount() const { return int(m_questions.size()); }
    // The option chosen for question (1, 2, ...), if any.
    std::optional<int> answerTo(int question) const;
    // Sets the final answer to question; answers to later questions stay, to be shown
    // again. A question after the last one answered is answered next in order.
    void answer(int question, int option);
    // The running total before question is answered: the final answers to the
    // questions before it, added in order.
    QString totalBefore(int question) const;
    // The final answers in question order, for the history.
    QList<Results::Answer> answers() const;

    enum class Kept {
        None, // nothing to continue
        Resumable, // a run of this very version of the test
        Changed, // a run of a test that has changed since
    };
    Kept kept() const { return m_kept; }
    // Takes the kept answers as this run's; the first unanswered question is next.
    int resume();
    // Keeps the answer to question in the results file.
    void keep(int question) const;
    // Forgets the kept run.
    void forget() const;
    // Forgets it inside the transaction that stores the finished test.
    Results::History::Work forgetting() const;

private:
    // A short text that changes whenever a question, an option or a score does.
    QString fingerprint() const;

    struct Question
    {
        QString text;
        std::array<QString, 6> options;
        std::array<QString, 6> scores;
    };

    QString m_file;
    QString m_test;
    QString m_version;
    QList<Question> m_questions;
    QList<int> m_chosen; // the final answers to questions 1, 2, ...
    QList<int> m_keptOptions;
    Kept m_kept = Kept::None;
};
