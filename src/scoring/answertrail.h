#pragma once

#include "store/results/history.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

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
    // Starts a run of the test, and looks for one kept from before. Reads the whole
    // question table only when there is one (to know whether the test has changed).
    void begin(const QString &resultsFile, const QString &bank, const QString &test);

    // The option (0 = A .. 5 = F) chosen for question (1, 2, ...), if any.
    std::optional<int> answerTo(int question) const;
    // Sets the final answer to a question (as the history keeps it, and the text of
    // the score box whose value was added); answers to later questions stay, to be
    // shown again. A question after the last one answered is answered next in order.
    void answer(const Results::Answer &given, const QString &scoreText);
    // The running total before question is answered: the final answers to the
    // questions before it, added in order.
    QString totalBefore(int question) const;
    // The final answers in question order, for the history.
    QList<Results::Answer> answers() const { return m_answers; }

    enum class Kept {
        None, // nothing to continue
        Resumable, // a run of this very version of the test
        Changed, // a run of a test that has changed since
    };
    Kept kept() const { return m_kept; }
    // The options kept for questions 1, 2, ..., for the runner to answer them again.
    QList<int> keptOptions() const { return m_keptOptions; }
    // Keeps the answer to question in the results file.
    void keep(int question);
    // Forgets the kept run.
    void forget() const;
    // Forgets it inside the transaction that stores the finished test.
    Results::History::Work forgetting() const;

private:
    QString m_file;
    QString m_bank;
    QString m_test;
    QString m_version; // of the questions, read on the first keep
    QList<Results::Answer> m_answers;
    QStringList m_scoreTexts; // as the score boxes held them
    QList<int> m_keptOptions;
    Kept m_kept = Kept::None;
};
