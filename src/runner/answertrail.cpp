#include "runner/answertrail.h"

#include "bank/store/catalogue.h"
#include "bank/store/recordset.h"
#include "bank/store/valuerules.h"
#include "results/store/progress.h"
#include "runner/scoring.h"

#include <QCryptographicHash>

void AnswerTrail::begin(const QString &resultsFile, const QString &test, const Recordset &questions)
{
    m_file = resultsFile;
    m_test = test;
    m_chosen.clear();
    m_questions.clear();
    const QStringList texts = questions.column(BankNames::questionField());
    m_questions.resize(texts.size());
    for (qsizetype q = 0; q < texts.size(); ++q)
        m_questions[q].text = texts.at(q);
    for (int i = 0; i < 6; ++i) {
        const QStringList options = questions.column(BankNames::optionField(i));
        const QStringList scores = questions.column(BankNames::scoreField(i));
        for (qsizetype q = 0; q < m_questions.size(); ++q) {
            m_questions[q].options[i] = options.value(q);
            m_questions[q].scores[i] = scores.value(q);
        }
    }
    m_version = fingerprint();

    const std::optional<Results::Unfinished> run = Results::Progress(m_file).load(m_test);
    m_keptOptions.clear();
    if (!run || run->options.isEmpty())
        m_kept = Kept::None;
    else if (run->version != m_version)
        m_kept = Kept::Changed;
    else {
        m_kept = Kept::Resumable;
        m_keptOptions = run->options.mid(0, m_questions.size());
    }
}

std::optional<int> AnswerTrail::answerTo(int question) const
{
    if (question < 1 || question > m_chosen.size())
        return std::nullopt;
    return m_chosen.at(question - 1);
}

void AnswerTrail::answer(int question, int option)
{
    if (question >= 1 && question <= m_chosen.size())
        m_chosen[question - 1] = option;
    else if (question == m_chosen.size() + 1)
        m_chosen.append(option);
}

QString AnswerTrail::totalBefore(int question) const
{
    QString total = QStringLiteral("0");
    for (qsizetype q = 0; q + 1 < question && q < m_chosen.size(); ++q)
        total = Scoring::addScore(total, m_questions.at(q).scores.at(m_chosen.at(q)));
    return total;
}

QList<Results::Answer> AnswerTrail::answers() const
{
    QList<Results::Answer> out;
    for (qsizetype q = 0; q < m_chosen.size(); ++q) {
        const Question &asked = m_questions.at(q);
        const int option = m_chosen.at(q);
        out.append({ int(q + 1), asked.text, QString(QLatin1Char('A' + option)),
            asked.options.at(option), doubleText(val(asked.scores.at(option))) });
    }
    return out;
}

int AnswerTrail::resume()
{
    m_chosen = m_keptOptions;
    m_kept = Kept::None;
    return qMin(int(m_chosen.size()) + 1, questionCount());
}

void AnswerTrail::keep(int question) const
{
    if (const std::optional<int> option = answerTo(question))
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

// Each text goes in with its length, so that no two different tests hash alike by
// texts running into each other.
QString AnswerTrail::fingerprint() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto add = [&hash](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        hash.addData(QByteArray::number(bytes.size()) + ':' + bytes);
    };
    hash.addData(QByteArray::number(m_questions.size()) + ';');
    for (const Question &q : m_questions) {
        add(q.text);
        for (int i = 0; i < 6; ++i) {
            add(q.options.at(i));
            add(q.scores.at(i));
        }
    }
    return QString::fromLatin1(hash.result().toHex());
}
