#include "forms/controls.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionFocusRect>
#include <QTimer>

namespace {

// A key with no modifier but the keypad's.
bool plainKey(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

QCursor handCursor()
{
    return QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 11, 1);
}

PictureButton::PictureButton(
    const QString &caption, const QString &picture, int pictureSize, QWidget *parent)
    : QToolButton(parent)
{
    setText(caption);
    setIcon(QIcon(picture));
    setIconSize(QSize(pictureSize, pictureSize));
    setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureButton::fitCaption()
{
    // Room left by the frame and the margins around the caption.
    const int room = width() - 8;
    QFont face = font();
    while (face.pointSizeF() > 6 && QFontMetrics(face).horizontalAdvance(text()) > room)
        face.setPointSizeF(face.pointSizeF() - 0.5);
    setFont(face);
}

void PictureButton::keyPressEvent(QKeyEvent *event)
{
    // The keypad's Enter comes with the keypad modifier.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plainKey(event)) {
        click();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void PictureButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

bool PictureButton::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTipChange && text().isEmpty())
        setAccessibleName(toolTip());
    return QToolButton::event(event);
}

namespace {

// A hot label as a screen reader sees it: a push button named by its text.
class HotLabelAccessible : public QAccessibleWidget
{
public:
    explicit HotLabelAccessible(HotLabel *label)
        : QAccessibleWidget(label, QAccessible::Button)
    { }

    HotLabel *label() const { return static_cast<HotLabel *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && label()->accessibleName().isEmpty())
            return label()->text();
        return QAccessibleWidget::text(t);
    }

    // A hidden or disabled label (an option the question does not have) is not offered
    // as something to press.
    QStringList actionNames() const override
    {
        const bool pressable = label()->isVisible() && label()->isEnabled();
        return (pressable ? QStringList { pressAction() } : QStringList())
            + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            label()->press();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *hotLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("HotLabel") && object && object->isWidgetType())
        return new HotLabelAccessible(static_cast<HotLabel *>(object));
    return nullptr;
}

} // namespace

HotLabel::HotLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(hotLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    setCursor(handCursor());
}

QColor HotLabel::ForeColor() const
{
    return palette().color(QPalette::Active, QPalette::WindowText);
}

void HotLabel::setForeColor(const QColor &colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, colour);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    setPalette(pal);
}

void HotLabel::mouseMoveEvent(QMouseEvent *event)
{
    // Accepted here, so the move does not also count as one over the window.
    event->accept();
    emit MouseMove();
}

void HotLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void HotLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit Click();
}

void HotLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Not a press: a double click was one Click, on the first press and release.
    event->accept();
}

bool HotLabel::press()
{
    if (!isVisible() || !isEnabled())
        return false;
    emit Click();
    return true;
}

void HotLabel::keyPressEvent(QKeyEvent *event)
{
    const int k = event->key();
    if ((k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space) && plainKey(event)) {
        event->accept();
        press();
        return;
    }
    QLabel::keyPressEvent(event);
}

void HotLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.rect = rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

namespace {

// Eats the next mouse press of the application, once.
class PressDropper : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
            return false;
        qApp->removeEventFilter(this);
        deleteLater();
        return true;
    }
};

} // namespace

void dropInterruptedPress()
{
    // The press is delivered to its widget right after the focus change that raised
    // the message; when the focus moved for another reason no press follows, and the
    // dropper goes at the next turn of the event loop.
    auto *dropper = new PressDropper(qApp);
    qApp->installEventFilter(dropper);
    QTimer::singleShot(0, dropper, [dropper] {
        qApp->removeEventFilter(dropper);
        dropper->deleteLater();
    });
}

void chainTabOrder(std::initializer_list<QWidget *> order)
{
    QWidget *previous = nullptr;
    for (QWidget *next : order) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    }
}

QPixmap coverPicture(const QString &resource, const QSize &size)
{
    QImageReader reader(resource);
    const QSize full = reader.size();
    if (!full.isValid() || size.isEmpty())
        return {};
    reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatioByExpanding));
    reader.setQuality(100); // smooth scaling, as the picture is seen whole
    return QPixmap::fromImage(reader.read());
}

QLabel *stretchedPicture(const QString &resource, const QRect &box, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setGeometry(box);
    // Drawn at the label's size from the vector picture, so it stays sharp.
    label->setPixmap(QIcon(resource).pixmap(box.size(), label->devicePixelRatioF()));
    label->setScaledContents(true);
    return label;
}
