#include "authoring/frmEdittest.h"

frmEdittest::frmEdittest()
    : Form(QStringLiteral("Qelvi——测试题目编辑器"), 7680, 5388)
{
}
