#include "info/infowidgets.h"

#include <QFontMetrics>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QToolButton>

QCursor handCursor()
{
    return QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 11, 1);
}

LinkLabel::LinkLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    setCursor(handCursor());
}

QColor LinkLabel::ForeColor() const
{
    return palette().color(QPalette::WindowText);
}

void LinkLabel::setForeColor(const QColor &colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
}

void LinkLabel::mouseMoveEvent(QMouseEvent *event)
{
    // Accepted here, so the move does not also count as one over the window.
    event->accept();
    emit MouseMove();
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit Click();
}

QToolButton *pictureButton(const QString &caption, const QString &iconResource, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(caption);
    button->setIcon(QIcon(iconResource));
    button->setIconSize(QSize(28, 28));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

void fitCaption(QToolButton *button)
{
    // Room left by the frame and the margins around the caption.
    const int room = button->width() - 8;
    QFont font = button->font();
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(button->text()) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    button->setFont(font);
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
