#include "authoring/frmScore.h"

#include "app/controls.h"
#include "app/forms.h"
#include "app/handoff.h"
#include "authoring/editorparts.h"
#include "authoring/frmEdittest.h"
#include "authoring/keyfilter.h"
#include "bank/Data.h"
#include "bank/store/catalogue.h"
#include "info/frmHelp.h"
#include "platform/fonts.h"
#include "platform/msgbox.h"
#include "platform/programfolder.h"
#include "platform/twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>

namespace {

const QString kRecord = QStringLiteral("这个分数档");

QLabel *label(const QString &text, const QRect &place, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(place);
    return l;
}

QLineEdit *lineBox(const QRect &place, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setGeometry(place);
    box->setTextMargins(0, 0, 0, 0);
    box->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px; }"));
    return box;
}

} // namespace

frmScore::frmScore()
    : Form(QStringLiteral("Qelvi——评分编辑器"), 5892, 3660)
{
    createControls();
    setTabOrder();
    connectHandlers();
}

QString frmScore::bandLabel(int n)
{
    return QStringLiteral("第") + (n < 0 ? QString() : QStringLiteral(" ")) + QString::number(n)
        + QStringLiteral(" 档");
}

void frmScore::createControls()
{
    const QString simSun = QStringLiteral("宋体");
    const QFont text = designFont(simSun, 10.8);

    // The test name runs on to the help button rather than being cut short.
    Label2 = label(QStringLiteral("Label2"), twipsRect(2160, 120, 5280 - 2160, 216), this);
    Label2->setFont(designFont(simSun, 10.8, true));
    Label3 = label(bandLabel(1), twipsRect(360, 480, 1092, 252), this);
    Label3->setFont(text);
    Text1 = lineBox(twipsRect(1680, 480, 492, 264), this);
    Text1->setFont(text);
    Label1 = label(QStringLiteral("to"), twipsRect(2400, 480, 372, 252), this);
    Text2 = lineBox(twipsRect(2880, 480, 492, 264), this);
    Text2->setFont(text);
    Label4 = label(QStringLiteral("分"), twipsRect(3600, 480, 252, 252), this);
    Label4->setFont(text);

    Text3 = new QTextEdit(this);
    Text3->setGeometry(twipsRect(240, 960, 5412, 1692));
    Text3->setFont(text);
    Text3->setAcceptRichText(false);
    Text3->setTabChangesFocus(true);
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    cmmHelp = new PictureButton(
        QStringLiteral("求助"), QStringLiteral(":/images/btn-help.svg"), 20, this);
    cmmHelp->setGeometry(twipsRect(5280, 0, 612, 732));

    struct ButtonDef
    {
        QToolButton **button;
        const char16_t *caption;
        const char *icon;
        double left;
    };
    const ButtonDef buttons[] = {
        { &Command6, u"首档", "first", 120 },
        { &Command1, u"上一档", "prev", 840 },
        { &Command2, u"下一档", "next", 1560 },
        { &Command8, u"末档", "last", 2280 },
        { &Command3, u"添加", "add", 3240 },
        { &Command5, u"删除", "delete", 3960 },
        { &Command4, u"完成", "done", 4920 },
    };
    for (const ButtonDef &b : buttons) {
        *b.button = new PictureButton(QString::fromUtf16(b.caption),
            QStringLiteral(":/images/btn-%1.svg").arg(QLatin1String(b.icon)), 20, this);
        (*b.button)->setGeometry(twipsRect(b.left, 2880, 732, 612));
    }

    // Only the top edge of the record set's bar lies inside the window.
    Data1 = new Data(this);
    Data1->setGeometry(twipsRect(480, 3480, 3372, 324));
    Data1->setCaption(QStringLiteral("Data1"));
    Data1->bind(Text1, BankNames::lowerField());
    Data1->bind(Text2, BankNames::upperField());
    Data1->bind(Text3, BankNames::evaluationField());

    // The numeric filter first, so that Enter's handling (installed after) runs before it.
    installNumericKeyFilter(Text1);
    installNumericKeyFilter(Text2);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    installPlaceholder(Text3);
}

void frmScore::setTabOrder()
{
    const QList<QWidget *> order = { Text1, Text2, Text3, Command1, Command2, Command3, Command4,
        Command5, cmmHelp, Command6, Command8 };
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmScore::connectHandlers()
{
    connect(Command1, &QToolButton::clicked, this, &frmScore::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmScore::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmScore::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmScore::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmScore::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &frmScore::Command6_Click);
    connect(Command8, &QToolButton::clicked, this, &frmScore::Command8_Click);
    connect(cmmHelp, &QToolButton::clicked, this, &frmScore::cmmHelp_Click);
}

void frmScore::Form_Load()
{
    Data1->setDatabaseName(programFile(QStringLiteral("test.mdb")));
    const frmEdittest *editor = Forms::find<frmEdittest>();
    if (!editor) {
        msgBox(QStringLiteral("请先在测试题目编辑器中打开一个测试，再编辑它的评分。"));
        closeSoon();
        return;
    }
    const QString test = editor->Label6->text();
    Data1->setRecordSource(BankNames::scoringTable(test));
    Label2->setText(test);
    Label2->setToolTip(test);
    if (const StoreError e = Data1->Refresh()) {
        msgBox(e.message());
        closeSoon();
        return;
    }
    if (Text1->text().isEmpty())
        stops(Data1->recordset().AddNew());
}

void frmScore::Form_Unload()
{
    if (const StoreError e = Data::UnloadAll(this))
        msgBox(refusedMessage(e, kRecord));
}

// Leaving commits the band shown; a band the bank refuses keeps the window open.
bool frmScore::Form_QueryUnload()
{
    return !stops(Data1->recordset().commit());
}

// 上一档
void frmScore::Command1_Click()
{
    moveBand(-1);
}

// 下一档
void frmScore::Command2_Click()
{
    moveBand(1);
}

void frmScore::moveBand(int step)
{
    Recordset &rs = Data1->recordset();
    const auto move
        = [&rs](int direction) { return direction < 0 ? rs.MovePrevious() : rs.MoveNext(); };
    if (stops(move(step)))
        return;
    const int position = rs.AbsolutePosition();
    int n = position + 1;
    showNumber(n);
    if (position == -1) {
        if (stops(move(-step)))
            return;
        n = rs.AbsolutePosition() + 1;
        showNumber(n);
        msgBox(
            step < 0 ? QStringLiteral("已经是第一档了！") : QStringLiteral("已经是最后一档了！"));
    }
    if (n == 0) {
        showNumber(1);
        stops(rs.AddNew());
    }
}

// 添加
void frmScore::Command3_Click()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.MoveLast()))
        return;
    showNumber(rs.RecordCount() + 1);
    if (stops(rs.AddNew()))
        return;
    Text1->setFocus();
}

// 完成
void frmScore::Command4_Click()
{
    if (stops(Data1->recordset().AddNew()))
        return;
    Unload();
}

// 删除
void frmScore::Command5_Click()
{
    if (msgBox(QStringLiteral("您确定删除当前分数档吗？"), MsgStyle::Question) != MsgAnswer::Yes)
        return;
    Recordset &rs = Data1->recordset();
    if (stops(rs.Delete()))
        return;
    if (stops(rs.MovePrevious()))
        return;
    const int n = rs.AbsolutePosition() + 1;
    showNumber(n);
    if (n == 0) {
        if (stops(rs.AddNew()))
            return;
        showNumber(1);
    }
}

// 首档
void frmScore::Command6_Click()
{
    if (stops(Data1->recordset().MoveFirst()))
        return;
    showNumber(1);
}

// 末档
void frmScore::Command8_Click()
{
    Recordset &rs = Data1->recordset();
    if (stops(rs.MoveLast()))
        return;
    showNumber(rs.RecordCount());
}

// 求助
void frmScore::cmmHelp_Click()
{
    if (!HandOff::writeModeCode(2))
        return;
    frmHelp *help = Forms::load<frmHelp>();
    Forms::place(help, 4860, 5196, Forms::Base::Outer, 2);
    help->Show();
}

// Enter in a bound box goes on to the next box; the key still reaches the box and
// then passes the numeric filter.
bool frmScore::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const std::optional<int> code = typedCode(static_cast<QKeyEvent *>(event));
        if (code == 13) {
            if (watched == Text1)
                Text2->setFocus();
            else if (watched == Text2)
                Text3->setFocus();
        }
        return false;
    }
    return Form::eventFilter(watched, event);
}

bool frmScore::stops(const StoreError &error)
{
    return stopsHandler(error, Data1, kRecord);
}

void frmScore::showNumber(int n)
{
    Label3->setText(bandLabel(n));
}

void frmScore::closeSoon()
{
    QTimer::singleShot(0, this, &Form::Unload);
}
