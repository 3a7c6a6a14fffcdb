#include "authoring/frmScore.h"

frmScore::frmScore()
    : Form(QStringLiteral("Qelvi——评分编辑器"), 5892, 3660)
{
}
