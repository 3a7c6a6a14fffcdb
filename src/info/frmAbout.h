#pragma once

#include "app/form.h"

class frmAbout : public Form
{
    Q_OBJECT

public:
    frmAbout();
};
