#pragma once

#include "app/form.h"

class frmTest : public Form
{
    Q_OBJECT

public:
    frmTest();
};
