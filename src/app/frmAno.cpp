#include "app/frmAno.h"

#include "base/fonts.h"
#include "platform/twips.h"

#include <QApplication>
#include <QPalette>

frmAno::frmAno()
    : Form(QStringLiteral("Form1"), 4440, 2040)
    , Label1(
          new QLabel(QStringLiteral("情商（EQ）主宰你的爱情、婚姻、工作、学习以及整个事业"), this))
    , Label2(new QLabel(QStringLiteral("Emotional Quotient"), this))
    , Timer1(new QTimer(this))
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    setPalette(pal);

    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    Label2->setFont(designFont(QStringLiteral("Arial"), 19.8, true));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(buttonFace.name()));
    Label2->setGeometry(twipsRect(120, 1200, 4092, 612));

    Label1->setFont(designFont(QStringLiteral("宋体"), 13.8));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setStyleSheet(QStringLiteral("color: rgb(255, 255, 0); background: transparent;"));
    Label1->setGeometry(twipsRect(120, 360, 4212, 732));

    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &frmAno::Timer1_Timer);
}

void frmAno::Form_Load()
{
    tickCount = 0;
    Timer1->start();
}

void frmAno::Timer1_Timer()
{
    if (tickCount <= 20) {
        ++tickCount;
        return;
    }
    Timer1->stop();
    Unload();
}
