// The question editor's controls: places, fonts, bindings and tab order.
#include "authoring/editorparts.h"
#include "authoring/frmEdittest.h"
#include "authoring/goingback.h"
#include "authoring/keyfilter.h"
#include "base/fonts.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "platform/twips.h"
#include "store/catalogue.h"

#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

frmEdittest::frmEdittest()
    : RecordEditor(QStringLiteral("Qelvi——测试题目编辑器"), 7680, 5388, QStringLiteral("这道题"))
{
    createControls();
    setTabOrder();
    connectHandlers();
}

std::array<QLineEdit *, 6> frmEdittest::optionBoxes() const
{
    return { Text2, Text3, Text4, Text5, Text6, Text7 };
}

std::array<QLineEdit *, 6> frmEdittest::scoreBoxes() const
{
    return { Text8, Text9, Text10, Text11, Text12, Text13 };
}

void frmEdittest::createControls()
{
    const QString simSun = QStringLiteral("宋体");
    const QFont text = designFont(simSun, 10.8);

    // The test name runs on to the help button rather than being cut after four
    // characters; the whole name is also its tool tip.
    Label6 = editorLabel(QStringLiteral("测试标题"), twipsRect(3804, 120, 7080 - 3804, 276), this);
    Label6->setFont(designFont(simSun, 13.8, true));
    Label1 = editorLabel(QStringLiteral("第"), twipsRect(240, 240, 372, 252), this);
    Label4 = editorLabel(QStringLiteral("1"), twipsRect(720, 240, 372, 252), this);
    Label5 = editorLabel(QStringLiteral("题"), twipsRect(1200, 240, 492, 252), this);
    cmmHelp = helpButton(7080, this);
    chkBack = new GoingBackBox(this);
    chkBack->setFont(designFont(simSun, 9));
    chkBack->setGeometry(twipsRect(1740, 216, 2000, 300));
    Text1 = textBox(twipsRect(240, 600, 6732, 852), text, this);

    QLineEdit **options[6] = { &Text2, &Text3, &Text4, &Text5, &Text6, &Text7 };
    QLineEdit **scores[6] = { &Text8, &Text9, &Text10, &Text11, &Text12, &Text13 };
    for (int i = 0; i < 6; ++i) {
        const double top = 1680 + 480 * i;
        Label2[i] = editorLabel(
            QStringLiteral("选项%1").arg(QChar(u'A' + i)), twipsRect(240, top, 852, 252), this);
        Label2[i]->setFont(text);
        *options[i] = lineBox(twipsRect(1200, top, 4212, 264), this);
        (*options[i])->setFont(text);
        Label3[i] = editorLabel(QStringLiteral("得分:"), twipsRect(5640, top, 612, 252), this);
        Label3[i]->setFont(text);
        *scores[i] = lineBox(twipsRect(6360, top, 612, 264), this);
    }

    createButtonRow(
        {
            { &Command4, u"首题", "first", 360 },
            { &Command5, u"上一题", "prev", 1080 },
            { &Command6, u"下一题", "next", 1800 },
            { &Command8, u"末题", "last", 2520 },
            { &Command1, u"添加", "add", 3720 },
            { &Command2, u"删除", "delete", 4440 },
            { &Command7, u"评分", "score", 5400 },
            { &Command3, u"完成", "done", 6360 },
        },
        4560, this);

    createData(twipsRect(120, 5280, 1932, 444));
    Data1->bind(Text1, BankNames::questionField());
    for (int i = 0; i < 6; ++i) {
        Data1->bind(*options[i], BankNames::optionField(i));
        Data1->bind(*scores[i], BankNames::scoreField(i));
    }

    // The numeric filter goes on first, so that the window's own key handling,
    // installed after it, runs before it.
    for (QLineEdit *box : scoreBoxes())
        installNumericKeyFilter(box);
    Text1->installEventFilter(this);
    for (QLineEdit *box : optionBoxes()) {
        box->installEventFilter(this);
        installPlaceholder(box);
    }
    for (QLineEdit *box : scoreBoxes())
        box->installEventFilter(this);
}

void frmEdittest::setTabOrder()
{
    chainTabOrder({ Text1, Text2, Text3, Text4, Text5, Text6, Text7, Command1, Command2, Command3,
        Command5, Command6, Command7, cmmHelp, chkBack, Command4, Command8, Text8, Text9, Text10,
        Text11, Text12, Text13 });
}

void frmEdittest::connectHandlers()
{
    connect(Command1, &QToolButton::clicked, this, &frmEdittest::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmEdittest::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmEdittest::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmEdittest::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmEdittest::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &frmEdittest::Command6_Click);
    connect(Command7, &QToolButton::clicked, this, &frmEdittest::Command7_Click);
    connect(Command8, &QToolButton::clicked, this, &frmEdittest::Command8_Click);
    connect(cmmHelp, &QToolButton::clicked, this, &frmEdittest::cmmHelp_Click);
}
