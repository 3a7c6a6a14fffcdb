#include "bank/bankui.h"

#include "platform/msgbox.h"
#include "platform/programfolder.h"

PictureButton *bankButton(
    const QString &caption, const QString &picture, const QRect &geometry, QWidget *parent)
{
    auto *button = new PictureButton(caption, picture, 24, parent);
    button->setGeometry(geometry);
    return button;
}

QString bankPath()
{
    return programFile(QStringLiteral("test.mdb"));
}

bool reportBankFault(const StoreError &error)
{
    if (error.number() < StoreError::BankMissing)
        return false;
    msgBox(error.message());
    return true;
}
