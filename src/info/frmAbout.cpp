#include "info/frmAbout.h"

#include "base/fonts.h"
#include "base/programfolder.h"
#include "base/safefile.h"
#include "forms/controls.h"
#include "platform/msgbox.h"
#include "platform/shellopen.h"
#include "platform/twips.h"

#include <QBuffer>
#include <QFileInfo>
#include <QKeySequence>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

namespace {

QLabel *label(const QString &text, const QRect &box, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setGeometry(box);
    return l;
}

// A link label is placed at its design corner and sized to its text.
HotLabel *link(const QString &text, double left, double top, QWidget *parent)
{
    auto *l = new HotLabel(text, parent);
    l->move(twipsToPixels(left), twipsToPixels(top));
    l->adjustSize();
    l->setForeColor(Qt::black);
    return l;
}

// A stand-in face wider than the designed one would run the label into what sits to its
// right: the label's type is made smaller until it fits the room it has.
void fitWidth(QLabel *label, int room)
{
    QFont font = label->font();
    label->adjustSize();
    while (label->width() > room && font.pointSizeF() > 6) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        label->setFont(font);
        label->adjustSize();
    }
}

} // namespace

QString frmAbout::mailAddress()
{
    return QStringLiteral("tovik@example.com");
}

QString frmAbout::webAddress()
{
    return QStringLiteral("https://www.example.com/orvan/");
}

frmAbout::frmAbout()
    : Form(QStringLiteral("关于Qelvi"), 6216, 3564)
    , Gif(new QLabel(this))
    , lblTitle(label(QStringLiteral("欢迎使用Orvan工作室Tovik制作的Qelvi"),
          twipsRect(1680, 240, 4476, 480), this))
    , lblVersion(label(QStringLiteral("版本 1.0"), twipsRect(1680, 780, 4476, 228), this))
    , lblDescription(
          label(QStringLiteral("通过EQ测量可以精确预制每个人一生发展道路上的每一种可能及答案。\n\n"
                               "20%的IQ（智商）+ 80%的EQ（情商）= 100%的成功"),
              twipsRect(1680, 1248, 4476, 1056), this))
    , Label2(label(QStringLiteral("访问工作室："), twipsRect(240, 2640, 1092, 252), this))
    , Label4(link(webAddress(), 1572, 2640, this))
    , Label3(label(QStringLiteral("联系我："), twipsRect(360, 3120, 972, 252), this))
    , Label1(link(mailAddress(), 1560, 3120, this))
    , cmdOK(new QPushButton(QStringLiteral("确定"), this))
    , Line1 { { { QLine(105, 2466, 5660, 2466), QColor(255, 255, 255), 2 },
          { QLine(90, 2451, 5660, 2451), QColor(128, 128, 128), 1 } } }
{
    // The face the window is designed in; its children take it over.
    setFont(designFont(QStringLiteral("SimSun"), 9));
    fitWidth(Label4, twipsToPixels(4320 - 1572) - 6); // up to the OK button
    // Moves over the background clear the links' highlight; moves over other
    // controls do not reach the window.
    setMouseTracking(true);

    Gif->setGeometry(twipsRect(120, 120, 1392, 1440));
    Gif->setAlignment(Qt::AlignCenter);

    cmdOK->setGeometry(twipsRect(4320, 2625, 1500, 345));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // The OK button is both the default and the cancel button, wherever the focus is.
    for (const QKeySequence &key : { QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
             QKeySequence(Qt::Key_Escape) }) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, cmdOK, &QPushButton::click);
    }
    setFocusProxy(cmdOK);

    connect(Label1, &HotLabel::MouseMove, this, &frmAbout::Label1_MouseMove);
    connect(Label4, &HotLabel::MouseMove, this, &frmAbout::Label4_MouseMove);
    connect(Label1, &HotLabel::Click, this, &frmAbout::Label1_Click);
    connect(Label4, &HotLabel::Click, this, &frmAbout::Label4_Click);
}

void frmAbout::Form_Load()
{
    // A missing or unreadable animation leaves the box without it; nothing to report.
    // Neither is a FIFO or device in its place, nor a file too big to be an animation.
    const QString path = programFile(QStringLiteral("nosars.gif"));
    QString reason;
    const std::optional<QByteArray> bytes = readFile(path, 64 << 20, &reason);
    if (!bytes)
        return;
    auto *gif = new QBuffer(this);
    gif->setData(*bytes);
    auto *movie = new QMovie(gif, QByteArray(), this);
    gif->setParent(movie);
    if (!movie->isValid() || !movie->jumpToFrame(0) || movie->currentImage().isNull()) {
        delete movie;
        return;
    }
    m_movie = movie;
    Gif->setMovie(m_movie);
    m_movie->start();
}

void frmAbout::Form_Unload()
{
    if (m_movie)
        m_movie->stop();
}

void frmAbout::Label1_MouseMove()
{
    Label1->setForeColor(QColor(0, 0, 255));
}

void frmAbout::Label4_MouseMove()
{
    Label4->setForeColor(QColor(0, 0, 255));
}

void frmAbout::Form_MouseMove()
{
    Label1->setForeColor(QColor(0, 0, 0));
    Label4->setForeColor(QColor(0, 0, 0));
}

void frmAbout::Label1_Click()
{
    if (!shellOpen(QStringLiteral("mailto:") + mailAddress()))
        msgBox(QStringLiteral("无法启动邮件程序。请用您的邮件程序给 %1 写信。").arg(mailAddress()));
}

void frmAbout::Label4_Click()
{
    if (!shellOpen(webAddress()))
        msgBox(QStringLiteral("无法打开浏览器。请在浏览器中访问 %1 。").arg(webAddress()));
}

void frmAbout::cmdOK_Click()
{
    Unload();
}

void frmAbout::mouseMoveEvent(QMouseEvent *event)
{
    Form::mouseMoveEvent(event);
    Form_MouseMove();
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    Form::paintEvent(event);
    QPainter painter(this);
    for (const Stroke &s : Line1) {
        const QPoint from(twipsToPixels(s.line.x1()), twipsToPixels(s.line.y1()));
        const QPoint to(twipsToPixels(s.line.x2()), twipsToPixels(s.line.y2()));
        // Straight horizontal strokes, s.width pixels thick, downward from the line.
        painter.fillRect(QRect(from, QPoint(to.x(), from.y() + s.width - 1)), s.colour);
    }
}
