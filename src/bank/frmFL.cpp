#include "bank/frmFL.h"

frmFL::frmFL()
    : Form(QStringLiteral("Qelvi——测试分类编辑器"), 5820, 4812)
{
}
