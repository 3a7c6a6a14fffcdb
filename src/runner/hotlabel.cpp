#include "runner/hotlabel.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>

HotLabel::HotLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
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

QCursor pointingHand()
{
    return QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 11, 1);
}
