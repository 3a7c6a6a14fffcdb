#pragma once

#include "app/form.h"

class frmIntro : public Form
{
    Q_OBJECT

public:
    frmIntro();
};
