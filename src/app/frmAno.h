#pragma once

#include "forms/form.h"

#include <QLabel>
#include <QTimer>

// The second splash, centred in the main window's client area; it closes itself
// after 22 ticks and reacts to no clicks.
class frmAno : public Form
{
    Q_OBJECT

public:
    frmAno();

    Qt::WindowFlags frameFlags() const override { return Qt::SubWindow | Qt::FramelessWindowHint; }
    void Form_Load() override;

    QLabel *Label1;
    QLabel *Label2;
    QTimer *Timer1;
    qint16 tickCount = 0;

public slots:
    void Timer1_Timer();
};
