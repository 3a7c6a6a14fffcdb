#include "app/controls.h"

#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>

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
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain) {
        click();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
}

HotLabel::HotLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
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

void chainTabOrder(std::initializer_list<QWidget *> order)
{
    QWidget *previous = nullptr;
    for (QWidget *next : order) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    }
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
