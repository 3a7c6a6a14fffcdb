#include "app/form.h"

#include "app/forms.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMdiSubWindow>

Form::Form(const QString &caption, double clientWidth, double clientHeight)
{
    setWindowTitle(caption);
    setWindowIcon(QIcon(QStringLiteral(":/images/qelvi.svg")));
    resize(twipsSize(clientWidth, clientHeight));
}

Form::~Form()
{
    Forms::forget(this);
}

Qt::WindowFlags Form::frameFlags() const
{
    return Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
}

Qt::WindowFlags Form::fixedFrameFlags()
{
    return Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint;
}

QWidget *Form::frame() const
{
    if (m_subWindow)
        return m_subWindow;
    return const_cast<Form *>(this);
}

double Form::Width() const
{
    return pixelsToTwips(frame()->frameGeometry().width());
}

double Form::Height() const
{
    return pixelsToTwips(frame()->frameGeometry().height());
}

double Form::Left() const
{
    return pixelsToTwips(frame()->geometry().x());
}

double Form::Top() const
{
    return pixelsToTwips(frame()->geometry().y());
}

double Form::ScaleWidth() const
{
    return pixelsToTwips(width());
}

double Form::ScaleHeight() const
{
    return pixelsToTwips(height());
}

void Form::setWidth(double twips)
{
    QWidget *f = frame();
    const int decoration = f->frameGeometry().width() - f->width();
    f->resize(qMax(0, twipsToPixels(twips) - decoration), f->height());
    if (!isVisible())
        Form_Resize();
}

void Form::setHeight(double twips)
{
    QWidget *f = frame();
    const int decoration = f->frameGeometry().height() - f->height();
    f->resize(f->width(), qMax(0, twipsToPixels(twips) - decoration));
    if (!isVisible())
        Form_Resize();
}

void Form::setLeft(double twips)
{
    frame()->move(twipsToPixels(twips), frame()->y());
}

void Form::setTop(double twips)
{
    frame()->move(frame()->x(), twipsToPixels(twips));
}

void Form::Move(double left, double top)
{
    frame()->move(twipsToPixels(left), twipsToPixels(top));
}

void Form::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void Form::Show()
{
    QWidget *f = frame();
    show();
    f->show();
    f->raise();
    if (m_subWindow)
        m_subWindow->setFocus();
    else
        f->activateWindow();
}

void Form::Hide()
{
    frame()->hide();
}

bool Form::Visible() const
{
    return frame()->isVisible();
}

void Form::Unload()
{
    Forms::unload(metaObject()->className());
}

bool Form::closeAsked()
{
    const QPointer<Form> self(this);
    m_asked = true;
    const bool closed = frame()->close();
    if (self)
        m_asked = false;
    return closed;
}

void Form::runUnload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Form_Unload();
    Forms::forget(this);
}

void Form::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded && !m_asked && !Form_QueryUnload()) {
        event->ignore();
        return;
    }
    runUnload();
    event->accept();
    if (!m_subWindow)
        deleteLater();
}
