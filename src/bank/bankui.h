#pragma once

#include "bank/store/storeerror.h"

#include <QToolButton>

// Pieces the category, new-test and chooser windows share.

// A large square button with its picture above the caption. Like the buttons of the
// other windows it takes the focus on a click, and Enter or Return clicks it while
// it has the focus, as Space does.
class IconButton : public QToolButton
{
    Q_OBJECT

public:
    IconButton(const QString &caption, const QString &icon, const QRect &geometry, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// The bank file of the program folder.
QString bankPath();

// Tells the user about a failure of the bank itself (file missing or broken, the
// engine refusing); a refused name or a missing row is the window's own business and
// passes silently here. Returns whether a message was shown.
bool reportBankFault(const StoreError &error);
