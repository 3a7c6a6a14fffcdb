#include "bank/frmBFEdit.h"

frmBFEdit::frmBFEdit()
    : Form(QStringLiteral("Qelvi——选择测试项目"), 6168, 4848)
{
}
