#include "forms/form.h"

#include "forms/forms.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

Form::Form(const QString &caption, double clientWidth, double clientHeight)
{
    setWindowTitle(caption);
    setWindowIcon(QIcon(QStringLiteral(":/images/qelvi.svg")));
    m_designClient = twipsSize(clientWidth, clientHeight);
    resize(m_designClient);
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
    // The fixed-size hint also takes "Size" out of the window's system menu.
    return Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
}

bool Form::hasFixedBorder() const
{
    return isMdiChild() && !(frameFlags() & Qt::WindowMaximizeButtonHint);
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

// The outer sizes that openers set were made for a frame of other widths than this
// toolkit's: an outer size within a few pixels of the design client area plus this
// frame keeps the design client area, so that every control stays inside it.
int Form::clientFor(int outer, int decoration, int design) const
{
    constexpr int frameDifference = 8;
    const int client = qMax(0, outer - decoration);
    return qAbs(client - design) <= frameDifference ? design : client;
}

void Form::resizeFrame(int width, int height)
{
    QWidget *f = frame();
    if (hasFixedBorder())
        f->setMinimumSize(0, 0), f->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    f->resize(width, height);
    if (hasFixedBorder())
        f->setFixedSize(f->size());
    if (!isVisible())
        Form_Resize();
}

QSize Form::decoration() const
{
    if (m_subWindow)
        return m_subWindow->size() - m_subWindow->contentsRect().size();
    return frameGeometry().size() - size();
}

void Form::setWidth(double twips)
{
    QWidget *f = frame();
    const int inFrame = m_subWindow ? decoration().width() : 0;
    const int client
        = clientFor(twipsToPixels(twips), decoration().width(), m_designClient.width());
    resizeFrame(client + inFrame, f->height());
}

void Form::setHeight(double twips)
{
    QWidget *f = frame();
    const int inFrame = m_subWindow ? decoration().height() : 0;
    const int client
        = clientFor(twipsToPixels(twips), decoration().height(), m_designClient.height());
    resizeFrame(f->width(), client + inFrame);
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
    // A window its command brings up again comes back at its size, not minimised.
    if (f->isMinimized())
        f->showNormal();
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
    else if (QMdiArea *area = m_subWindow->mdiArea();
             area && area->activeSubWindow() == m_subWindow)
        activateNextLater(area);
}

// The window closed was the active one: the one used before it becomes active again,
// with its focus, as the keyboard user expects (Esc then leaves the runner behind a
// closed result window). The area has no active window of its own accord.
void Form::activateNextLater(QMdiArea *area)
{
    QTimer::singleShot(0, area, [area] {
        if (area->activeSubWindow())
            return;
        const QList<QMdiSubWindow *> used = area->subWindowList(QMdiArea::ActivationHistoryOrder);
        for (auto it = used.crbegin(); it != used.crend(); ++it)
            if ((*it)->isVisible()) {
                area->setActiveSubWindow(*it);
                return;
            }
    });
}
