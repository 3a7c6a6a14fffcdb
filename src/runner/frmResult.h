#pragma once

#include "app/form.h"

class frmResult : public Form
{
    Q_OBJECT

public:
    frmResult();
};
