#pragma once

#include "app/form.h"

#include <QLabel>

class frmMusic : public Form
{
    Q_OBJECT

public:
    frmMusic();

    QLabel *Label2; // the start-up flag: "F" asks the next resize to start the default music
};
