#include "authoring/frmBandCheck.h"

#include "authoring/bandwording.h"

#include "authoring/bandpicture.h"
#include "base/fonts.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "platform/twips.h"

#include <QLabel>
#include <QShortcut>
#include <QTextEdit>
#include <algorithm>

frmBandCheck::frmBandCheck()
    : Form(QStringLiteral("Qelvi——分数档检查"), 6360, 5520)
{
    setFont(designFont(QStringLiteral("宋体"), 9));

    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setFont(designFont(QStringLiteral("宋体"), 10.8, true));
    Label1->setGeometry(twipsRect(120, 120, 3600, 276));
    Label2 = new QLabel(this);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setFont(designFont(QStringLiteral("宋体"), 10.8));
    Label2->setGeometry(twipsRect(3720, 120, 2520, 276));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Picture1 = new BandPicture(this);
    Picture1->setGeometry(twipsRect(120, 480, 6120, 2640));

    Text1 = new QTextEdit(this);
    Text1->setGeometry(twipsRect(120, 3240, 5040, 2160));
    Text1->setReadOnly(true);
    Text1->setAcceptRichText(false);
    Text1->setAccessibleName(QStringLiteral("检查结果"));

    Command1 = new PictureButton(
        QStringLiteral("关闭"), QStringLiteral(":/images/btn-done.svg"), 20, this);
    Command1->setGeometry(twipsRect(5280, 4680, 960, 720));
    connect(Command1, &QToolButton::clicked, this, &frmBandCheck::Command1_Click);

    for (const QKeySequence &key : { QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
             QKeySequence(Qt::Key_Escape) }) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, Command1, &QToolButton::click);
    }
    setTabOrder(Text1, Command1);
    setFocusProxy(Command1);
}

void frmBandCheck::showCheck(const QString &test, const BandCheck::Check &check)
{
    Label1->setText(test);
    Label1->setToolTip(test);
    Label2->setText(BandCheck::summary(check));
    Picture1->setCheck(check);
    Text1->setPlainText(BandCheck::detail(check, 1000));
}

void frmBandCheck::showRunning()
{
    Label2->setText(QStringLiteral("检查中…"));
}

void frmBandCheck::placeBeside(const Form *editor)
{
    setHeight(6000);
    setWidth(6480);
    const QSizeF area = Forms::mainInner();
    const double w = Width();
    const double h = Height();
    const QRectF other(editor->Left(), editor->Top(), editor->Width(), editor->Height());
    constexpr double gap = 60;
    const QPointF tries[] = {
        { other.right() + gap, other.top() },
        { other.left() - gap - w, other.top() },
        { other.left(), other.bottom() + gap },
        { other.left(), other.top() - gap - h },
    };
    QPointF best;
    double least = -1;
    for (const QPointF &corner : tries) {
        // Inside the client area, the title bar first.
        const QPointF at(std::clamp(corner.x(), 0.0, std::max(0.0, area.width() - w)),
            std::clamp(corner.y(), 0.0, std::max(0.0, area.height() - h)));
        const QRectF covered = QRectF(at, QSizeF(w, h)).intersected(other);
        const double overlap = covered.isEmpty() ? 0 : covered.width() * covered.height();
        if (least < 0 || overlap < least) {
            least = overlap;
            best = at;
        }
        if (overlap == 0)
            break;
    }
    Move(best.x(), best.y());
}

void frmBandCheck::Command1_Click()
{
    Unload();
}
