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

std::optional<QString> inputBox(const QString &prompt, int limit)
{
    if (scripted) {
        scripted->m_prompts.append(prompt);
        if (scripted->m_answers.isEmpty())
            return std::nullopt;
        const std::optional<QString> reply = scripted->m_answers.takeFirst();
        return reply ? std::optional<QString>(reply->left(limit)) : std::nullopt;
    }
    // A dialog frame without minimise and maximise: minimised, it would hide the program
    // behind it.
    QInputDialog box(QApplication::activeWindow(),
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setWindowTitle(QStringLiteral("Qelvi"));
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    if (auto *line = box.findChild<QLineEdit *>())
        line->setMaxLength(limit);
    // Of a fixed size, so that the window manager offers no maximise either.
    if (box.layout())
        box.layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}
