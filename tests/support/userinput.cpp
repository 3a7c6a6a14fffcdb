#include "support/userinput.h"

#include "forms/controls.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextEdit>

namespace userinput {

namespace {

    bool isKind(const QWidget *w, Kind kind)
    {
        if (kind == Kind::Pressable)
            return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const HotLabel *>(w);
        return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w)
            || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
            || qobject_cast<const QComboBox *>(w);
    }

    QString stripMark(QString text)
    {
        text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        return text.replace(QLatin1String("&&"), QLatin1String("&"));
    }

    // What the control shows as its caption.
    QString shownCaption(const QWidget *w)
    {
        if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            const QString text = stripMark(button->text());
            // A picture alone is known by its tip.
            return text.isEmpty() ? button->toolTip() : text;
        }
        if (const auto *label = qobject_cast<const QLabel *>(w))
            return label->text();
        return {};
    }

    // What a screen reader calls the control: its own name, else that of the label it is
    // the buddy of, else what the accessibility interface says (a combo's is its text on
    // this platform, hence the name first).
    QString accessibleName(QWidget *w)
    {
        if (!w->accessibleName().isEmpty())
            return w->accessibleName();
        if (QWidget *parent = w->parentWidget()) {
            for (const QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
                if (label->buddy() == w)
                    return stripMark(label->text());
        }
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    }

    QString windowName(QWidget *window)
    {
        const QString title = window->windowTitle();
        return QStringLiteral("%1 “%2”").arg(
            QLatin1String(window->metaObject()->className()), title);
    }

    // The captions of every shown control of that kind, for the failure message.
    QString shownCaptions(QWidget *window, Kind kind)
    {
        QStringList out;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisible() || !isKind(w, kind))
                continue;
            const QString name = accessibleName(w);
            const QString shown = shownCaption(w);
            out << (name.isEmpty() || name == shown ? shown : shown + u'/' + name);
        }
        out.removeAll(QString());
        return out.isEmpty() ? QStringLiteral("none")
                             : u'“' + out.join(QStringLiteral("”, “")) + u'”';
    }

    void fail(const QString &message, const CallSite &where)
    {
        QTest::qFail(qPrintable(message), where.file, where.line);
    }

    // Where a click lands on a check box or a radio button: its box, which a wide control
    // may not have at its centre.
    QPoint clickPoint(QAbstractButton *button)
    {
        if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            option.icon = button->icon();
            option.iconSize = button->iconSize();
            const QStyle::SubElement element = qobject_cast<QCheckBox *>(button)
                ? QStyle::SE_CheckBoxClickRect
                : QStyle::SE_RadioButtonClickRect;
            const QRect box = button->style()->subElementRect(element, &option, button);
            if (box.isValid())
                return box.center();
        }
        return button->rect().center();
    }

} // namespace

QList<QWidget *> controlsCalled(QWidget *window, QStringView caption, Kind kind)
{
    QList<QWidget *> found;
    if (!window)
        return found;
    QList<QWidget *> candidates = window->findChildren<QWidget *>();
    candidates.prepend(window);
    for (QWidget *w : candidates) {
        if (!w->isVisible() || !isKind(w, kind))
            continue;
        // A button whose face is a sign is also known by its tip.
        const bool tip = qobject_cast<QAbstractButton *>(w) && w->toolTip() == caption;
        if (shownCaption(w) == caption || accessibleName(w) == caption || tip)
            found << w;
    }
    return found;
}

QWidget *control(QWidget *window, QStringView caption, Kind kind, CallSite where)
{
    if (!window) {
        fail(QStringLiteral("no window to find “%1” in").arg(caption), where);
        return nullptr;
    }
    const QList<QWidget *> found = controlsCalled(window, caption, kind);
    if (found.size() == 1)
        return found.first();
    const QString what = kind == Kind::Pressable ? QStringLiteral("control to press")
                                                 : QStringLiteral("box to type into");
    fail(QStringLiteral("%1 shown %2 called “%3” in %4; it shows %5")
             .arg(found.isEmpty() ? QStringLiteral("no") : QString::number(found.size()), what,
                 caption, windowName(window), shownCaptions(window, kind)),
        where);
    return nullptr;
}

bool press(QWidget *window, QStringView caption, CallSite where)
{
    QWidget *w = control(window, caption, Kind::Pressable, where);
    if (!w)
        return false;
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        QTest::mouseClick(button, Qt::LeftButton, {}, clickPoint(button));
    else
        QTest::mouseClick(w, Qt::LeftButton);
    return true;
}

bool type(QWidget *window, QStringView caption, const QString &text, CallSite where)
{
    QWidget *w = control(window, caption, Kind::Editable, where);
    if (auto *line = qobject_cast<QLineEdit *>(w))
        type(line, text);
    else if (auto *box = qobject_cast<QTextEdit *>(w))
        type(box, text);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        type(plain, text);
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
        type(spin, text);
    else if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->lineEdit())
        type(combo->lineEdit(), text);
    else if (w) {
        fail(QStringLiteral("“%1” in %2 takes no typing").arg(caption, windowName(window)), where);
        return false;
    }
    return w != nullptr;
}

void paste(QLineEdit *box, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

bool paste(QWidget *window, QStringView caption, const QString &text, CallSite where)
{
    QWidget *w = control(window, caption, Kind::Editable, where);
    auto *line = qobject_cast<QLineEdit *>(w);
    if (w && !line)
        fail(QStringLiteral("“%1” in %2 is no line box").arg(caption, windowName(window)), where);
    if (line)
        paste(line, text);
    return line != nullptr;
}

bool pick(QWidget *window, QStringView caption, const QString &entry, CallSite where)
{
    auto *combo = qobject_cast<QComboBox *>(control(window, caption, Kind::Editable, where));
    if (!combo)
        return false;
    if (!pickEntry(combo, entry)) {
        fail(
            QStringLiteral("“%1” in %2 does not list “%3”").arg(caption, windowName(window), entry),
            where);
        return false;
    }
    return true;
}

bool pickEntry(QComboBox *combo, const QString &text)
{
    const int target = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (target < 0)
        return false;
    combo->setFocus();
    while (combo->currentIndex() < target)
        QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > target)
        QTest::keyClick(combo, Qt::Key_Up);
    return combo->currentIndex() == target;
}

} // namespace userinput
