#include "bank/bankui.h"

#include "bank/Data.h"
#include "bank/store/catalogue.h"
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

void openBank(Data *categories, Data *chosen)
{
    chosen->setDatabaseName(bankPath());
    categories->setDatabaseName(bankPath());
    categories->setRecordSource(BankNames::categoryList());
    reportBankFault(categories->Refresh());
}

void reportNameRefused(const StoreError &error, const QString &taken, QWidget *nameBox)
{
    if (error.number() == StoreError::TableExists) {
        msgBox(taken);
        nameBox->setFocus();
        return;
    }
    reportBankFault(error);
}
