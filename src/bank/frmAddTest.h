#pragma once

#include "app/form.h"

class frmAddTest : public Form
{
    Q_OBJECT

public:
    frmAddTest();
};
