#include "authoring/frmBandCheck.h"

#include "app/controls.h"
#include "authoring/bandpicture.h"
#include "platform/fonts.h"
#include "platform/twips.h"

#include <QLabel>
#include <QShortcut>
#include <QTextEdit>

frmBandCheck::frmBandCheck()
    : Form(QStringLiteral("Qelvi——分数档检查"), 7380, 5520)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setFont(designFont(QStringLiteral("宋体"), 10.8, true));
    Label1->setGeometry(twipsRect(120, 120, 4560, 276));
    Label2 = new QLabel(this);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setFont(designFont(QStringLiteral("宋体"), 10.8));
    Label2->setGeometry(twipsRect(4800, 120, 2460, 276));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Picture1 = new BandPicture(this);
    Picture1->setGeometry(twipsRect(120, 480, 7140, 2400));

    Text1 = new QTextEdit(this);
    Text1->setGeometry(twipsRect(120, 3000, 5880, 2400));
    Text1->setReadOnly(true);
    Text1->setAcceptRichText(false);
    Text1->setAccessibleName(QStringLiteral("检查结果"));

    Command1 = new PictureButton(
        QStringLiteral("关闭"), QStringLiteral(":/images/btn-done.svg"), 20, this);
    Command1->setGeometry(twipsRect(6300, 4680, 960, 720));
    connect(Command1, &QToolButton::clicked, this, &frmBandCheck::Command1_Click);

    for (const QKeySequence &key : { QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
             QKeySequence(Qt::Key_Escape) }) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, Command1, &QToolButton::click);
    }
    setTabOrder(Text1, Command1);
    setFocusProxy(Command1);
}

void frmBandCheck::showCheck(const QString &test, const BandCheck::Check &check)
{
    Label1->setText(test);
    Label1->setToolTip(test);
    Label2->setText(BandCheck::summary(check));
    Picture1->setCheck(check);
    Text1->setPlainText(BandCheck::detail(check, 1000));
}

void frmBandCheck::Command1_Click()
{
    Unload();
}
