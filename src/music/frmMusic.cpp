#include "music/frmMusic.h"

#include "base/fonts.h"
#include "base/programfolder.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "music/musicini.h"
#include "platform/msgbox.h"
#include "platform/twips.h"

#include <QDir>

namespace {

const QString kFilter = QStringLiteral(
    "MP3文件(*.MP3)|*.MP3|CD音频(*.WAV)|*.WAV|Windows音频(*.mid)|*.mid|所有文件(*.*)|*.*");

// The transport buttons show their picture alone, smaller; the others a caption too.
QToolButton *pictureButton(
    QWidget *parent, const char *picture, const QString &caption, const QRect &place)
{
    auto *button
        = new PictureButton(caption, QStringLiteral(":/images/%1").arg(QLatin1String(picture)),
            caption.isEmpty() ? 16 : 20, parent);
    button->setGeometry(place);
    return button;
}

} // namespace

frmMusic::frmMusic()
    : Form(QStringLiteral("Qelvi——背景音乐控制器"), 4872, 3420)
    , Label1(new PathLabel(QStringLiteral("文件名"), this))
    , ProgressBar1(new ProgressBar(this))
    , Command4(pictureButton(this, "music-play.svg", {}, twipsRect(840, 1440, 975, 375)))
    , Command5(pictureButton(this, "music-pause.svg", {}, twipsRect(2040, 1440, 855, 375)))
    , Command6(pictureButton(this, "music-stop.svg", {}, twipsRect(3120, 1440, 855, 375)))
    , Command1(pictureButton(
          this, "music-open.svg", QStringLiteral("打开"), twipsRect(840, 2280, 840, 708)))
    , Command2(pictureButton(
          this, "music-save.svg", QStringLiteral("存为默认"), twipsRect(2040, 2280, 852, 732)))
    , Command3(pictureButton(
          this, "music-exit.svg", QStringLiteral("退出"), twipsRect(3120, 2280, 840, 732)))
    , Label2(new QLabel(QStringLiteral("Label2"), this))
    , Label3(new QLabel(QStringLiteral("没有可用的声音设备"), this))
    , MMControl1(new MediaDevice(this))
    , Timer1(new QTimer(this))
    , Timer2(new QTimer(this))
{
    setFont(designFont(QStringLiteral("SimSun"), 9));
    Label1->move(twipsRect(600, 480, 540, 180).topLeft());
    Label1->adjustSize();
    ProgressBar1->setGeometry(twipsRect(600, 840, 3732, 372));
    Command4->setToolTip(QStringLiteral("播放"));
    Command5->setToolTip(QStringLiteral("暂停"));
    Command6->setToolTip(QStringLiteral("停止"));
    Label2->hide();
    Label3->setGeometry(twipsRect(600, 1860, 3732, 300));
    Label3->setAlignment(Qt::AlignCenter);
    Label3->hide();
    Timer2->setInterval(10);

    connect(Command1, &QToolButton::clicked, this, &frmMusic::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &frmMusic::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &frmMusic::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmMusic::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmMusic::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &frmMusic::Command6_Click);
    connect(Timer1, &QTimer::timeout, this, &frmMusic::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmMusic::Timer2_Timer);
}

QString frmMusic::deviceTypeFor(const QString &fileName)
{
    const QString last = fileName.right(3);
    if (last == QLatin1String("wav"))
        return QStringLiteral("WaveAudio");
    if (last == QLatin1String("mid"))
        return QStringLiteral("Sequencer");
    return {};
}

void frmMusic::Form_Load()
{
    Timer1->start(50);
    MMControl1->setTimeFormat(0);
    // The loop check's restart then takes up the next round, which the device already
    // plays without a gap.
    MMControl1->setRepeat(true);
    CommonDialog1.Filter = kFilter;
}

void frmMusic::Form_Resize()
{
    if (Label2->text() == QLatin1String("F")) {
        Label2->setText(QString());
        MMControl1->setNotify(0);
        // Every step below runs whatever the one before it did: a missing piece
        // leaves the label showing its path and nothing playing.
        MMControl1->setFileName(MusicIni::resolve(MusicIni::readPath()));
        openPiece();
        MMControl1->setCommand(QStringLiteral("Play"));
        showSilence();
    }
    if (!Timer2->isActive())
        Timer2->start();
}

bool frmMusic::Form_QueryUnload()
{
    if (Forms::closingAll())
        return true;
    Command3_Click();
    return false;
}

// Shows the device's file name, opens it by the device-type rule and fits the bar to it.
void frmMusic::openPiece()
{
    showFileName(MMControl1->FileName());
    MMControl1->setDeviceType(deviceTypeFor(MMControl1->FileName()));
    MMControl1->setCommand(QStringLiteral("Open"));
    if (!Timer1->isActive())
        Timer1->start();
    ProgressBar1->setMax(float(MMControl1->Length()));
    ProgressBar1->setMin(1);
}

void frmMusic::showFileName(const QString &path)
{
    Label1->setPath(path);
}

void frmMusic::Command1_Click()
{
    MMControl1->setNotify(0);
    CommonDialog1.Flags = 0;
    CommonDialog1.CancelError = true;
    CommonDialog1.FileName = QString();
    // A cancel leaves the file name empty and carries on: the old piece is closed
    // whichever way the dialog ends.
    CommonDialog1.ShowOpen(this);
    showFileName(CommonDialog1.FileName);
    MMControl1->setCommand(QStringLiteral("Close"));
    MMControl1->setFileName(CommonDialog1.FileName);
    if (MMControl1->FileName().isEmpty())
        return;
    openPiece();
}

void frmMusic::Command2_Click()
{
    if (msgBox(QStringLiteral("要把当前音乐存为默认背景音乐吗？"), MsgStyle::Question)
        != MsgAnswer::Yes)
        return;
    QString reason;
    if (MusicIni::writePath(Label1->text(), &reason))
        msgBox(QStringLiteral("已经保存。"));
    else
        msgBox(
            QStringLiteral("无法保存默认背景音乐：写入 %1 失败（%2）。")
                .arg(QDir::toNativeSeparators(programFile(QStringLiteral("music.ini"))), reason));
}

void frmMusic::Command3_Click()
{
    Hide();
}

void frmMusic::Command4_Click()
{
    MMControl1->setCommand(QStringLiteral("Play"));
    showSilence();
}

void frmMusic::Command5_Click()
{
    MMControl1->setCommand(QStringLiteral("Pause"));
    showSilence();
}

void frmMusic::Command6_Click()
{
    MMControl1->setCommand(QStringLiteral("close"));
    MMControl1->setCommand(QStringLiteral("open"));
    showSilence();
}

void frmMusic::Timer1_Timer()
{
    // Nothing open reads as position 0, which the bar (minimum 1) refuses.
    ProgressBar1->setValue(float(MMControl1->Position()));
    showSilence();
}

// Playing into silence looks just like playing; the user is told why nothing is heard.
void frmMusic::showSilence()
{
    Label3->setVisible(MediaDevice::playsIntoSilence()
        && (MMControl1->Mode() == MediaDevice::ModePlay || MediaDevice::audioDriver().isEmpty()));
}

void frmMusic::Timer2_Timer()
{
    if (ProgressBar1->Value() == ProgressBar1->Max()) {
        MMControl1->setCommand(QStringLiteral("Prev"));
        MMControl1->setCommand(QStringLiteral("Play"));
        // The piece is at its start again. Right after a restart the device may still
        // read 0, which the bar refuses: left at its maximum, the next check would
        // restart the piece once more, cutting its first buffer each time.
        ProgressBar1->setValue(ProgressBar1->Min());
    }
}
