// The runner's controls: places, fonts, bindings and connections.
#include "runner/frmTest.h"

#include "base/fonts.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "platform/twips.h"
#include "runner/optionkeys.h"
#include "store/catalogue.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    // Questions and options are the user's own text: shown as typed, never as markup.
    label->setTextFormat(Qt::PlainText);
    // A move over a label without a handler of its own is not one over the window.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

QLabel *hiddenLabel(const QString &text, QWidget *parent)
{
    QLabel *label = plainLabel(text, parent);
    label->hide();
    return label;
}

QLineEdit *hiddenBox(const QString &text, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    box->hide();
    return box;
}

} // namespace

void frmTest::buildControls()
{
    setFont(designFont(QStringLiteral("宋体"), 10.8, true));
    setMouseTracking(true);
    const QFont scriptFont = designFont(QStringLiteral("方正舒体"), 13.8);

    Label1 = plainLabel(QString(), this);
    Label1->setFont(scriptFont);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(twipsRect(720, 720, 7572, 852));

    const double optionTops[6] = { 1920, 2640, 3360, 4080, 4800, 5520 };
    HotLabel **options[6] = { &Label2, &Label3, &Label4, &Label5, &Label6, &Label7 };
    for (int i = 0; i < 6; ++i) {
        auto *label = new HotLabel(QString(), this);
        label->move(twipsRect(i == 0 ? 3720 : 3840, optionTops[i], 0, 0).topLeft());
        label->setForeColor(QApplication::palette().color(QPalette::ButtonText));
        label->setWordWrap(true);
        *options[i] = label;
    }

    Text1 = hiddenBox(QStringLiteral("0"), this);
    Text2 = hiddenBox(QStringLiteral("0"), this);
    Text3 = hiddenBox(QStringLiteral("0"), this);
    Text4 = hiddenBox(QStringLiteral("0"), this);
    Text5 = hiddenBox(QStringLiteral("0"), this);
    Text6 = hiddenBox(QStringLiteral("0"), this);
    Text7 = hiddenBox(QStringLiteral("0"), this);

    Label8 = plainLabel(QStringLiteral("1"), this);
    Label8->setFont(scriptFont);
    Label8->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label8->setGeometry(twipsRect(120, 720, 456, 288));
    Label9 = hiddenLabel(QString(), this);
    Label10 = hiddenLabel(QString(), this);
    Label11 = hiddenLabel(QString(), this);
    Label12 = hiddenLabel(QString(), this);

    Label13 = plainLabel(QStringLiteral("第一印象测试"), this);
    Label13->setFont(designFont(QStringLiteral("隶书"), 15));
    Label13->move(twipsRect(8280, 240, 0, 0).topLeft());
    Label13->adjustSize();

    Label14 = new HotLabel(QStringLiteral("退出"), this);
    Label14->setWordWrap(true);
    Label14->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label14->setGeometry(twipsRect(240, 5880, 492, 972));
    Label14->setForeColor(QApplication::palette().color(QPalette::ButtonText));

    // Going back and its mark, in the free space left of the question and options.
    Label15 = new HotLabel(QStringLiteral("上一题"), this);
    Label15->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label15->setGeometry(twipsRect(240, 4800, 972, 492));
    Label15->setForeColor(QApplication::palette().color(QPalette::ButtonText));
    Label15->setFocusPolicy(Qt::TabFocus);
    Label15->hide();
    Label16 = plainLabel(QStringLiteral("√"), this);
    Label16->adjustSize();
    Label16->hide();

    Timer1 = new QTimer(this);
    Timer1->setInterval(50);

    Data1 = new Data(this);
    Data1->hide();
    Data1->bind(Label1, BankNames::questionField());
    const auto labels = optionLabels();
    const auto boxes = scoreBoxes();
    for (int i = 0; i < 6; ++i) {
        Data1->bind(labels[i], BankNames::optionField(i));
        Data1->bind(boxes[i], BankNames::scoreField(i));
    }
    Data2 = new Data(this);
    Data2->hide();
    Data2->bind(Label10, BankNames::lowerField());
    Data2->bind(Label11, BankNames::upperField());
    Data2->bind(Label12, BankNames::evaluationField());

    connect(Label2, &HotLabel::Click, this, &frmTest::Label2_Click);
    connect(Label3, &HotLabel::Click, this, &frmTest::Label3_Click);
    connect(Label4, &HotLabel::Click, this, &frmTest::Label4_Click);
    connect(Label5, &HotLabel::Click, this, &frmTest::Label5_Click);
    connect(Label6, &HotLabel::Click, this, &frmTest::Label6_Click);
    connect(Label7, &HotLabel::Click, this, &frmTest::Label7_Click);
    connect(Label14, &HotLabel::Click, this, &frmTest::Label14_Click);
    connect(Label15, &HotLabel::Click, this, &frmTest::Label15_Click);
    auto *back = new QShortcut(QKeySequence(Qt::Key_Backspace), this);
    back->setContext(Qt::WidgetWithChildrenShortcut);
    connect(back, &QShortcut::activated, Label15, &HotLabel::press);
    for (HotLabel *label : { Label2, Label3, Label4, Label5, Label6, Label7, Label14, Label15 })
        connect(label, &HotLabel::MouseMove, this, [this, label] { Label_MouseMove(label); });
    connect(Data1, &Data::Reposition, this, [this] {
        fitQuestion();
        fitOptions();
    });
    connect(Timer1, &QTimer::timeout, this, &frmTest::Timer1_Timer);
    Timer1->start();
    new OptionKeys(this, optionLabels(), Label14);
}

std::array<HotLabel *, 6> frmTest::optionLabels() const
{
    return { Label2, Label3, Label4, Label5, Label6, Label7 };
}

std::array<QLineEdit *, 6> frmTest::scoreBoxes() const
{
    return { Text1, Text2, Text3, Text4, Text5, Text6 };
}

// The question keeps its designed box, growing down towards option A when its text
// needs more lines.
void frmTest::fitQuestion()
{
    const int designed = twipsToPixels(852);
    const int room = twipsToPixels(1920 - 720 - 60);
    const int needed = Label1->heightForWidth(Label1->width());
    Label1->resize(Label1->width(), qBound(designed, needed, room));
}

// Each option is as wide as its text; one too long for the window wraps at the
// window's right edge instead of running past it. The labels always wrap, so the one
// line of a short text is measured as QLabel would lay it out, and a label is measured
// only when its text or its room changed since it was last fitted.
void frmTest::fitOptions()
{
    const auto labels = optionLabels();
    for (size_t i = 0; i < labels.size(); ++i) {
        HotLabel *label = labels[i];
        const int room = qMax(1, width() - label->x() - twipsToPixels(240));
        Fitted &fitted = m_fitted[i];
        if (fitted.room == room && fitted.text == label->text())
            continue;
        fitted = { label->text(), room };
        const QMargins margins = label->contentsMargins();
        const int oneLine
            = label->fontMetrics()
                  .boundingRect(QRect(0, 0, 2000, 2000), int(label->alignment()), fitted.text)
                  .width()
            + margins.left() + margins.right() + 2 * label->margin();
        const int fit = qMin(oneLine, room);
        label->resize(fit, label->heightForWidth(fit));
    }
}
