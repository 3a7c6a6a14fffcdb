#pragma once

#include "app/form.h"

class frmBFEdit : public Form
{
    Q_OBJECT

public:
    frmBFEdit();
};
