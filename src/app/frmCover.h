#pragma once

#include "forms/form.h"

#include <QLabel>
#include <QTimer>

// The borderless cover shown at start-up; after 22 ticks, or at once on a click on
// its picture or caption, it opens the main window and closes itself.
class frmCover : public Form
{
    Q_OBJECT

public:
    frmCover();

    bool isMdiChild() const override { return false; }
    void Form_Load() override;
    void Form_Resize() override;

    QLabel *Image1;
    QLabel *Label1;
    QTimer *Timer1;
    qint16 tickCount = 0;

public slots:
    void Timer1_Timer();
    void Image1_Click();
    void Label1_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openMainAndClose();
};
