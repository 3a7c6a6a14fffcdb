#pragma once

#include <QList>
#include <QString>
#include <optional>

// A one-line question to the user in a modal box titled "Qelvi": the text typed, or
// nothing when the user cancelled. At most `limit` characters can be typed.
std::optional<QString> inputBox(const QString &prompt, int limit);

// The same for a password: what is typed shows as dots and nothing of it is kept here.
std::optional<QString> passwordBox(const QString &prompt);

// Stands in for the user while it exists: records every prompt and answers from a
// queue (a prompt with no answer queued is cancelled).
class ScriptedInputs
{
public:
    ScriptedInputs();
    ~ScriptedInputs();
    ScriptedInputs(const ScriptedInputs &) = delete;
    ScriptedInputs &operator=(const ScriptedInputs &) = delete;

    void answer(const QString &text) { m_answers.append(text); }
    void cancel() { m_answers.append(std::nullopt); }
    const QList<QString> &prompts() const { return m_prompts; }

private:
    friend std::optional<QString> inputBox(const QString &, int);
    friend std::optional<QString> passwordBox(const QString &);
    std::optional<QString> reply(const QString &prompt, int limit);

    QList<std::optional<QString>> m_answers;
    QList<QString> m_prompts;
};
