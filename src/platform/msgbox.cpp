#include "platform/msgbox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
ScriptedMessages *scripted = nullptr;
}

ScriptedMessages::ScriptedMessages()
{
    scripted = this;
}

ScriptedMessages::~ScriptedMessages()
{
    if (scripted == this)
        scripted = nullptr;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const Shown &s : m_shown)
        out << s.text;
    return out;
}

MsgAnswer ScriptedMessages::reply(const QString &text, MsgStyle style)
{
    m_shown.append({ text, style });
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return style == MsgStyle::Question ? MsgAnswer::No : MsgAnswer::Ok;
}

MsgAnswer msgBox(const QString &text, MsgStyle style)
{
    if (scripted)
        return scripted->reply(text, style);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Qelvi"));
    box.setText(text);
    if (style == MsgStyle::Question) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setIcon(QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}
