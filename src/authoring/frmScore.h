#pragma once

#include "app/form.h"

class frmScore : public Form
{
    Q_OBJECT

public:
    frmScore();
};
