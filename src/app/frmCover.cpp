#include "app/frmCover.h"

#include "app/mdlQelvi.h"
#include "base/fonts.h"
#include "platform/twips.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

frmCover::frmCover()
    : Form(QStringLiteral("Form1"), 3744, 2412)
    , Image1(new QLabel(this))
    , Label1(new QLabel(QStringLiteral("欢迎使用Qelvi"), this))
    , Timer1(new QTimer(this))
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/cover.jpg")));
    Image1->setScaledContents(true);
    Label1->setFont(designFont(QStringLiteral("宋体"), 16.2));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setStyleSheet(QStringLiteral("color: rgb(255, 255, 0); background: transparent;"));
    Label1->adjustSize();
    Image1->installEventFilter(this);
    Label1->installEventFilter(this);
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &frmCover::Timer1_Timer);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmCover::Form_Load()
{
    tickCount = 0;
    Timer1->start();
}

void frmCover::Form_Resize()
{
    const float innerWidth = float(ScaleWidth());
    const float innerHeight = float(ScaleHeight());
    Image1->setGeometry(0, 0, width(), height());
    const float labelWidth = float(pixelsToTwips(Label1->width()));
    const float labelHeight = float(pixelsToTwips(Label1->height()));
    Label1->move(twipsToPixels(innerWidth / 2 - labelWidth / 2),
        twipsToPixels(innerHeight / 2 - 2 * labelHeight));
    Label1->raise();
}

void frmCover::Timer1_Timer()
{
    if (tickCount <= 20) {
        ++tickCount;
        return;
    }
    openMainAndClose();
}

void frmCover::Image1_Click()
{
    openMainAndClose();
}

void frmCover::Label1_Click()
{
    openMainAndClose();
}

void frmCover::openMainAndClose()
{
    // Stopping the timer first makes sure the main window opens only once.
    Timer1->stop();
    mdlQelvi::openMainWindow();
    Unload();
}

bool frmCover::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == Image1)
            Image1_Click();
        else if (watched == Label1)
            Label1_Click();
        return true;
    }
    return Form::eventFilter(watched, event);
}
