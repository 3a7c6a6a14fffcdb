#include "info/frmIntro.h"

frmIntro::frmIntro()
    : Form(QStringLiteral("Qelvi"), 5436, 5148)
{
}
