#include "bank/frmAddTest.h"

frmAddTest::frmAddTest()
    : Form(QStringLiteral("Qelvi——添加测试项目"), 3744, 3420)
{
}
