#pragma once

#include "app/form.h"

class frmFL : public Form
{
    Q_OBJECT

public:
    frmFL();
};
