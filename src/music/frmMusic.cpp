#include "music/frmMusic.h"

frmMusic::frmMusic()
    : Form(QStringLiteral("Qelvi——背景音乐控制器"), 4872, 3420)
    , Label2(new QLabel(QStringLiteral("Label2"), this))
{
    Label2->hide();
}
