#include "bank/bankui.h"

#include "base/currentbank.h"
#include "binding/Data.h"
#include "platform/msgbox.h"
#include "store/catalogue.h"

#include <QLineEdit>
#include <limits>

PictureButton *bankButton(
    const QString &caption, const QString &picture, const QRect &geometry, QWidget *parent)
{
    auto *button = new PictureButton(caption, picture, 24, parent);
    button->setGeometry(geometry);
    return button;
}

QString bankPath()
{
    return currentBank();
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
    switch (error.number()) {
    case StoreError::TableExists:
        msgBox(taken);
        break;
    case StoreError::ReservedName:
    case StoreError::InvalidName:
        msgBox(error.message());
        break;
    default:
        reportBankFault(error);
        return;
    }
    nameBox->setFocus();
}

bool reportGone(const StoreError &error, const QString &category)
{
    if (error.number() != StoreError::NoSuchTable && error.number() != StoreError::NotFound)
        return false;
    if (!Catalogue::hasTable(bankPath(), category))
        msgBox(QStringLiteral("这个测试类已经不存在，可能已被改名或删除。"));
    else
        msgBox(QStringLiteral("这项测试已经不存在，可能已被改名或删除。"));
    return true;
}

QLineEdit *nameBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}
