#include "info/frmHelp.h"

frmHelp::frmHelp()
    : Form(QStringLiteral("Qelvi-Tovik的帮助"), 5124, 4404)
{
}
