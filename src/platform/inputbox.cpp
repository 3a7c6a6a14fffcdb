#include "platform/inputbox.h"

#include <QApplication>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>

namespace {
ScriptedInputs *scripted = nullptr;
}

ScriptedInputs::ScriptedInputs()
{
    scripted = this;
}

ScriptedInputs::~ScriptedInputs()
{
    if (scripted == this)
        scripted = nullptr;
}

std::optional<QString> ScriptedInputs::reply(const QString &prompt, int limit)
{
    m_prompts.append(prompt);
    if (m_answers.isEmpty())
        return std::nullopt;
    const std::optional<QString> reply = m_answers.takeFirst();
    return reply ? std::optional<QString>(reply->left(limit)) : std::nullopt;
}

namespace {

// Passwords of any length: the box's bound is only Qt's own.
constexpr int passwordLimit = 32767;

std::optional<QString> ask(const QString &prompt, int limit, QLineEdit::EchoMode echo)
{
    // A dialog frame without minimise and maximise: minimised, it would hide the program
    // behind it.
    QInputDialog box(QApplication::activeWindow(),
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setWindowTitle(QStringLiteral("Qelvi"));
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextEchoMode(echo);
    if (auto *line = box.findChild<QLineEdit *>())
        line->setMaxLength(limit);
    // Of a fixed size, so that the window manager offers no maximise either.
    if (box.layout())
        box.layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

} // namespace

std::optional<QString> inputBox(const QString &prompt, int limit)
{
    if (scripted)
        return scripted->reply(prompt, limit);
    return ask(prompt, limit, QLineEdit::Normal);
}

std::optional<QString> passwordBox(const QString &prompt)
{
    if (scripted)
        return scripted->reply(prompt, passwordLimit);
    return ask(prompt, passwordLimit, QLineEdit::Password);
}
