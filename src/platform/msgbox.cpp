#include "platform/msgbox.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

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

namespace {
// Some window managers (openbox) give every dialog a minimise button whatever its
// frame asks for, and minimise the program's main window along with it: the box, and
// the program it holds, would be gone from the screen. A minimised box comes straight
// back, and so does the window behind it.
class StaysShown : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::WindowStateChange && box && box->isMinimized())
            QTimer::singleShot(0, box, [box] {
                if (QWidget *owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
                    owner && owner->isMinimized()) {
                    owner->setWindowState(owner->windowState() & ~Qt::WindowMinimized);
                    owner->show();
                }
                box->setWindowState(box->windowState() & ~Qt::WindowMinimized);
                box->show();
                box->raise();
                box->activateWindow();
            });
        return false;
    }
};

// The toolkit wraps a message at half the screen's width, anywhere in a Chinese
// sentence; the box is made wide enough for each line of its text instead, as far
// as the screen allows. The toolkit never makes the box itself wider than the screen
// less 480 pixels (1000 at most) on a screen wider than 1024: a line wider than what
// that leaves beside the icon would be cut off at the right, so it wraps there.
void fitToText(QMessageBox &box, const QString &text)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    const QScreen *screen = box.screen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1280;
    label->setMinimumWidth(qMin(widest + 4, screenWidth * 3 / 5));
    const int boxLimit = screenWidth <= 1024 ? screenWidth : qMin(screenWidth - 480, 1000);
    if (QLayout *layout = box.layout()) {
        layout->invalidate();
        const int over = layout->totalMinimumSize().width() - boxLimit;
        if (over > 0)
            label->setMinimumWidth(label->minimumWidth() - over);
    }
}
} // namespace

MsgAnswer msgBox(const QString &text, MsgStyle style)
{
    if (scripted)
        return scripted->reply(text, style);

    QMessageBox box(QApplication::activeWindow());
    // A dialog frame of title and close button only: a box minimised would hide the
    // whole program behind it while still holding it.
    box.setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.installEventFilter(new StaysShown(&box));
    box.setWindowTitle(QStringLiteral("Qelvi"));
    box.setText(text);
    // Fitted once the icon is in: it takes its part of the box's width.
    if (style == MsgStyle::Question) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        fitToText(box, text);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setIcon(QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    fitToText(box, text);
    box.exec();
    return MsgAnswer::Ok;
}
