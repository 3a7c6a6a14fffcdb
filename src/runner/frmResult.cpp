#include "runner/frmResult.h"

frmResult::frmResult()
    : Form(QStringLiteral("Qelvi"), 4428, 4128)
{
}
