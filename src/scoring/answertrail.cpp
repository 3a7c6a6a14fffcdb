#include "scoring/answertrail.h"

#include "scoring/scoring.h"
#include "store/results/progress.h"
#include "store/testversion.h"

void AnswerTrail::begin(const QString &resultsFile, const QString &bank, const QString &test)
{
    m_file = resultsFile;
    m_bank = bank;
    m_test = test;
    m_version.clear();
    m_answers.clear();
    m_scoreTexts.clear();
    m_keptOptions.clear();
    m_kept = Kept::None;
    const std::optional<Results::Unfinished> run = Results::Progress(m_file).load(m_test);
    if (!run || run->options.isEmpty())
        return;
    m_version = questionsVersion(m_bank, m_test);
    if (run->version != m_version) {
        m_kept = Kept::Changed;
        return;
    }
    m_kept = Kept::Resumable;
    m_keptOptions = run->options;
}

std::optional<int> AnswerTrail::answerTo(int question) const
{
    if (question < 1 || question > m_answers.size())
        return std::nullopt;
    return m_answers.at(question - 1).option.at(0).unicode() - u'A';
}

void AnswerTrail::answer(const Results::Answer &given, const QString &scoreText)
{
    if (given.question >= 1 && given.question <= m_answers.size()) {
        m_answers[given.question - 1] = given;
        m_scoreTexts[given.question - 1] = scoreText;
    } else if (given.question == m_answers.size() + 1) {
        m_answers.append(given);
        m_scoreTexts.append(scoreText);
    }
}

QString AnswerTrail::totalBefore(int question) const
{
    QString total = QStringLiteral("0");
    for (qsizetype q = 0; q + 1 < question && q < m_scoreTexts.size(); ++q)
        total = Scoring::addScore(total, m_scoreTexts.at(q));
    return total;
}

void AnswerTrail::keep(int question)
{
    const std::optional<int> option = answerTo(question);
    if (!option)
        return;
    if (m_version.isEmpty())
        m_version = questionsVersion(m_bank, m_test);
    // A test whose questions cannot be read is not kept: it could not be known as
    // unchanged when it is opened again.
    if (!m_version.isEmpty())
        Results::Progress(m_file).keep(m_test, m_version, question, *option);
}

void AnswerTrail::forget() const
{
    Results::Progress(m_file).forget(m_test);
}

Results::History::Work AnswerTrail::forgetting() const
{
    return [file = m_file, test = m_test](
               QSqlDatabase &db) { return Results::Progress(file).forgetIn(db, test); };
}
