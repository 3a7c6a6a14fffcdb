#include "authoring/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>

std::optional<int> typedCode(const QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool control
        = (mods & Qt::ControlModifier) && !(mods & (Qt::AltModifier | Qt::MetaModifier));

    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return control ? 10 : 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    // Ctrl with the keys of the ASCII range @..._ types the control codes 0..31. The
    // key code is used rather than the event's text, which not every platform fills in.
    if (control && key >= Qt::Key_At && key <= Qt::Key_Underscore)
        return key - Qt::Key_At;

    const QString text = event->text();
    if (text.isEmpty())
        return std::nullopt;
    const char16_t first = text.front().unicode();
    if (first == 0x7f)
        return std::nullopt; // Delete on some platforms
    return int(first);
}

int numericKeyFilter(int code)
{
    if (code >= 0 && code <= 26)
        return code;
    if ((code >= '0' && code <= '9') || code == '.' || code == '-')
        return code;
    return 0;
}

bool NumericKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        if (const std::optional<int> code = typedCode(static_cast<QKeyEvent *>(event)))
            return numericKeyFilter(*code) == 0 && *code != 0;
    }
    return QObject::eventFilter(watched, event);
}

void installNumericKeyFilter(QLineEdit *box)
{
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    box->installEventFilter(new NumericKeyFilter(box));
}
