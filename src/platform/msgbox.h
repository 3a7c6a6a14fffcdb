#pragma once

#include <QList>
#include <QString>

// Every message to the user is a modal box titled "Qelvi": a notice (information
// icon, OK) or a question before a change (question icon, Yes and No).
enum class MsgStyle { Information, Question };
enum class MsgAnswer { Ok, Yes, No };

MsgAnswer msgBox(const QString &text, MsgStyle style = MsgStyle::Information);

// Stands in for the user while it exists: records every box instead of showing it
// and answers from a queue (OK for notices; a question with no answer queued gets No).
class ScriptedMessages
{
public:
    struct Shown
    {
        QString text;
        MsgStyle style;
    };

    ScriptedMessages();
    ~ScriptedMessages();
    ScriptedMessages(const ScriptedMessages &) = delete;
    ScriptedMessages &operator=(const ScriptedMessages &) = delete;

    void answer(MsgAnswer reply) { m_answers.append(reply); }
    QStringList texts() const;
    QString last() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    const QList<Shown> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    friend MsgAnswer msgBox(const QString &, MsgStyle);
    MsgAnswer reply(const QString &text, MsgStyle style);

    QList<MsgAnswer> m_answers;
    QList<Shown> m_shown;
};
