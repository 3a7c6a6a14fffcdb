#pragma once

#include "app/form.h"

class frmHelp : public Form
{
    Q_OBJECT

public:
    frmHelp();
};
