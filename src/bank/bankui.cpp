#include "bank/bankui.h"

#include "platform/msgbox.h"
#include "platform/programfolder.h"

#include <QIcon>
#include <QKeyEvent>

IconButton::IconButton(
    const QString &caption, const QString &icon, const QRect &geometry, QWidget *parent)
    : QToolButton(parent)
{
    setText(caption);
    setIcon(QIcon(icon));
    setIconSize(QSize(24, 24));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(geometry);
}

void IconButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers() == Qt::NoModifier) {
        if (isEnabled())
            click();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
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
