#include "music/pathlabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

PathLabel::PathLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    parent->installEventFilter(this);
}

bool PathLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        adjustSize();
    return QLabel::eventFilter(watched, event);
}

void PathLabel::setPath(const QString &path)
{
    setText(path);
    setToolTip(path);
    adjustSize();
}

QString PathLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideLeft, contentsRect().width());
}

QSize PathLabel::sizeHint() const
{
    QSize size = QLabel::sizeHint();
    if (parentWidget())
        size.setWidth(qMin(size.width(), qMax(0, parentWidget()->width() - 2 * x())));
    return size;
}

QSize PathLabel::minimumSizeHint() const
{
    return sizeHint();
}

void PathLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
        shownText(), foregroundRole());
}
