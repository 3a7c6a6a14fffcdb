#include "info/frmAbout.h"

frmAbout::frmAbout()
    : Form(QStringLiteral("关于Qelvi"), 6216, 3564)
{
}
