#include "runner/frmResult.h"

#include "app/controls.h"
#include "platform/fonts.h"
#include "platform/twips.h"

#include <QEvent>
#include <QLabel>
#include <QTextEdit>

frmResult::frmResult()
    : Form(QStringLiteral("Qelvi"), 4428, 4128)
{
    setFont(designFont(QStringLiteral("宋体"), 9));
    Text1 = new QTextEdit(this);
    Text1->setGeometry(twipsRect(240, 120, 3132, 2772));
    Text1->setFont(designFont(QStringLiteral("宋体"), 10.8));
    Text1->setReadOnly(true);
    Text1->setAcceptRichText(false);
    Text1->setLineWrapMode(QTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
    Text1->setPalette(pal);
    Text1->installEventFilter(this);

    Command1 = new PictureButton(
        QStringLiteral("谢谢Tovik！"), QStringLiteral(":/images/btn-thanks.svg"), 28, this);
    Command1->setGeometry(twipsRect(1560, 3120, 972, 852));

    Image1 = stretchedPicture(
        QStringLiteral(":/images/qelvi.svg"), twipsRect(3600, 3240, 480, 480), this);

    setTabOrder(Text1, Command1);
    connect(Command1, &QToolButton::clicked, this, &frmResult::Command1_Click);
}

void frmResult::Command1_Click()
{
    Unload();
}

void frmResult::Text1_GotFocus()
{
    Command1->setFocus();
}

bool frmResult::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn)
        Text1_GotFocus();
    return Form::eventFilter(watched, event);
}
