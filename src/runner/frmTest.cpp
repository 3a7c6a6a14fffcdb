#include "runner/frmTest.h"

frmTest::frmTest()
    : Form(QStringLiteral("Qelvi"), 8484, 6984)
{
}
