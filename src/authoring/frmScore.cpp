#include "authoring/frmScore.h"

#include "authoring/bandcheckrun.h"
#include "authoring/bandwording.h"
#include "authoring/editorparts.h"
#include "authoring/frmBandCheck.h"
#include "authoring/frmEdittest.h"
#include "authoring/keyfilter.h"
#include "base/currentbank.h"
#include "base/fonts.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/catalogue.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>

frmScore::frmScore()
    : RecordEditor(QStringLiteral("Qelvi——评分编辑器"), 5892, 3660, QStringLiteral("这个分数档"))
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
    Label2 = editorLabel(QStringLiteral("Label2"), twipsRect(2160, 120, 5280 - 2160, 216), this);
    Label2->setFont(designFont(simSun, 10.8, true));
    Label3 = editorLabel(bandLabel(1), twipsRect(360, 480, 1092, 252), this);
    Label3->setFont(text);
    Text1 = lineBox(twipsRect(1680, 480, 492, 264), this);
    Text1->setFont(text);
    Label1 = editorLabel(QStringLiteral("to"), twipsRect(2400, 480, 372, 252), this);
    Text2 = lineBox(twipsRect(2880, 480, 492, 264), this);
    Text2->setFont(text);
    Label4 = editorLabel(QStringLiteral("分"), twipsRect(3600, 480, 252, 252), this);
    Label4->setFont(text);
    Text3 = textBox(twipsRect(240, 960, 5412, 1692), text, this);
    // In the free space between "分" and 求助, over two lines if need be.
    Label5 = new HotLabel(QString(), this);
    Label5->setGeometry(twipsRect(3900, 372, 1320, 576));
    Label5->setFont(designFont(simSun, 9));
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label5->setAccessibleDescription(QStringLiteral("分数档检查，单击看完整的检查"));
    m_checkRun = new BandCheckRun(this);
    m_checkTimer = new QTimer(this);
    m_checkTimer->setSingleShot(true);
    m_checkTimer->setInterval(0);
    cmmHelp = helpButton(5280, this);

    createButtonRow(
        {
            { &Command6, u"首档", "first", 120 },
            { &Command1, u"上一档", "prev", 840 },
            { &Command2, u"下一档", "next", 1560 },
            { &Command8, u"末档", "last", 2280 },
            { &Command3, u"添加", "add", 3240 },
            { &Command5, u"删除", "delete", 3960 },
            { &Command4, u"完成", "done", 4920 },
        },
        2880, this);

    createData(twipsRect(480, 3480, 3372, 324));
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
    chainTabOrder({ Text1, Text2, Text3, Command1, Command2, Command3, Command4, Command5, cmmHelp,
        Command6, Command8 });
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
    connect(Label5, &HotLabel::Click, this, &frmScore::Label5_Click);
    connect(m_checkTimer, &QTimer::timeout, this, &frmScore::updateCheck);
    connect(m_checkRun, &BandCheckRun::finished, this, &frmScore::showCheck);
    // Only stored changes change the check; moving from band to band does not.
    connect(Data1, &Data::rowsChanged, this, [this] { m_checkTimer->start(); });
}

void frmScore::Form_Load()
{
    const frmEdittest *editor = Forms::find<frmEdittest>();
    if (!editor) {
        closeSoon(QStringLiteral("请先在测试题目编辑器中打开一个测试，再编辑它的评分。"));
        return;
    }
    const QString test = editor->Label6->text();
    if (!openTable(BankNames::scoringTable(test), test, Label2))
        return;
    if (Text1->text().isEmpty())
        stops(Data1->recordset().AddNew());
    m_test = test;
    // Questions stored in the question editor change the totals too.
    connect(editor->Data1, &Data::rowsChanged, this, [this] { m_checkTimer->start(); });
    updateCheck();
}

void frmScore::Form_Unload()
{
    RecordEditor::Form_Unload();
    m_checkTimer->stop();
    m_checkRun->stop();
    Forms::unload<frmBandCheck>();
}

void frmScore::updateCheck()
{
    m_checkTimer->stop();
    if (m_test.isEmpty())
        return;
    QList<BandCheck::Question> questions;
    QList<BandCheck::Band> bands;
    if (const StoreError e = BandCheck::read(currentBank(), m_test, &questions, &bands)) {
        // The editor reports what the bank refuses; the indicator only says it cannot tell.
        m_checkRun->stop();
        showIndicator(QStringLiteral("无法检查"), e.message(), QColor(192, 0, 0));
        return;
    }
    m_checkRun->start(std::move(questions), std::move(bands));
    showIndicator(QStringLiteral("检查中…"), QStringLiteral("正在检查分数档，可以接着编辑。"),
        palette().color(QPalette::WindowText));
    if (frmBandCheck *open = Forms::find<frmBandCheck>())
        open->showRunning();
}

bool frmScore::checking() const
{
    return m_checkRun->isRunning() || m_checkTimer->isActive();
}

void frmScore::showCheck(const BandCheck::Check &check)
{
    m_check = check;
    showIndicator(BandCheck::summary(m_check),
        BandCheck::detail(m_check, 8) + QStringLiteral("\n单击看完整的检查。"),
        m_check.complete() ? QColor(0, 128, 0) : QColor(192, 0, 0));
    if (frmBandCheck *open = Forms::find<frmBandCheck>())
        open->showCheck(m_test, m_check);
}

// The indicator's text is also its name on the accessibility bus, so that a screen
// reader says what a sighted user reads there.
void frmScore::showIndicator(const QString &text, const QString &tip, const QColor &colour)
{
    // Two findings go on two lines rather than wrapping inside a word.
    Label5->setText(QString(text).replace(u'，', QStringLiteral("，\n")));
    Label5->setAccessibleName(text);
    Label5->setToolTip(tip);
    Label5->setForeColor(colour);
}

// The band check in full, in a window of its own, beside the editor.
void frmScore::Label5_Click()
{
    frmBandCheck *w = Forms::load<frmBandCheck>();
    w->placeBeside(this);
    w->Show();
    if (checking())
        w->showRunning();
    else
        w->showCheck(m_test, m_check);
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
    if (newAtEnd())
        Text1->setFocus();
}

// 完成
void frmScore::Command4_Click()
{
    finish();
}

// 删除
void frmScore::Command5_Click()
{
    deleteRecord(QStringLiteral("您确定删除当前分数档吗？"));
}

// 首档
void frmScore::Command6_Click()
{
    firstRecord();
}

// 末档
void frmScore::Command8_Click()
{
    lastRecord();
}

// 求助
void frmScore::cmmHelp_Click()
{
    openHelp(2);
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

void frmScore::showNumber(int n)
{
    Label3->setText(bandLabel(n));
}
