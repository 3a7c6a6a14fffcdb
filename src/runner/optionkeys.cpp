#include "runner/optionkeys.h"

#include "forms/controls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

OptionKeys::OptionKeys(QWidget *runner, const std::array<HotLabel *, 6> &options, HotLabel *leave)
    : QObject(runner)
    , m_runner(runner)
    , m_options(options)
    , m_leave(leave)
{
    // The window itself holds the focus at first, so that no option is drawn focused
    // before the keys are used; Tab goes on to the options and 退出.
    runner->setFocusPolicy(Qt::ClickFocus);
    runner->installEventFilter(this);
    for (HotLabel *option : m_options) {
        option->setFocusPolicy(Qt::TabFocus);
        option->installEventFilter(this);
    }
    m_leave->setFocusPolicy(Qt::TabFocus);
}

QList<HotLabel *> OptionKeys::available() const
{
    QList<HotLabel *> out;
    for (HotLabel *option : m_options)
        if (option->isVisible() && option->isEnabled())
            out << option;
    return out;
}

bool OptionKeys::answerWith(HotLabel *option)
{
    const bool byFocus = m_options.end()
        != std::find(m_options.begin(), m_options.end(), QApplication::focusWidget());
    const QPointer<QWidget> runner(m_runner);
    if (!option->press())
        return false;
    // The answer may have closed the runner, or ended the test.
    if (runner && byFocus) {
        const QList<HotLabel *> next = available();
        if (!next.isEmpty())
            next.first()->setFocus(Qt::TabFocusReason);
    }
    return true;
}

void OptionKeys::moveFocus(int step)
{
    const QList<HotLabel *> options = available();
    if (options.isEmpty())
        return;
    const int at = options.indexOf(qobject_cast<HotLabel *>(QApplication::focusWidget()));
    int next;
    if (at < 0)
        next = step > 0 ? 0 : options.size() - 1;
    else
        next = (at + step + options.size()) % options.size();
    options[next]->setFocus(Qt::TabFocusReason);
}

bool OptionKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods != Qt::NoModifier)
        return false;
    const int k = key->key();
    // A letter or digit of a hidden or disabled option does nothing.
    if (k >= Qt::Key_A && k <= Qt::Key_F) {
        answerWith(m_options[k - Qt::Key_A]);
        return true;
    }
    if (k >= Qt::Key_1 && k <= Qt::Key_6) {
        answerWith(m_options[k - Qt::Key_1]);
        return true;
    }
    switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // An option answers with itself; the window without a focused option ignores it.
        if (auto *option = qobject_cast<HotLabel *>(watched))
            answerWith(option);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        moveFocus(1);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Left:
        moveFocus(-1);
        return true;
    case Qt::Key_Escape:
        m_leave->press();
        return true;
    default:
        return false;
    }
}
