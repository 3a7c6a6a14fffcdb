#pragma once

#include "app/form.h"

class frmEdittest : public Form
{
    Q_OBJECT

public:
    frmEdittest();
};
