#pragma once

#include "forms/forms.h"
#include "music/pathlabel.h"
#include "music/progressbar.h"
#include "platform/filedialog.h"
#include "platform/mediadevice.h"

#include <QLabel>
#include <QTimer>
#include <QToolButton>

// The background music controller. The main window loads it hidden at start-up with
// the start-up flag set; its first resize then plays the default piece named in
// music.ini. It stays loaded for the whole run: 退出 only hides it, so the music goes
// on. A 50 ms timer moves the progress bar to the device's position, and a 10 ms
// timer starts the piece again once the bar reaches its end.
class frmMusic : public Form
{
    Q_OBJECT

public:
    // Height, width (twips) and placement when it opens.
    static constexpr Forms::Opening opening { 3876, 4968, Forms::Base::Outer, 1 };
    frmMusic();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }
    void Form_Load() override;
    void Form_Resize() override;
    // The close box hides the window as 退出 does; only the program's end unloads it.
    bool Form_QueryUnload() override;

    // The device-type rule, on the last three letters of a file name, letter case
    // counting: "wav" is wave audio, "mid" the sequencer, anything else "" (chosen
    // from the extension when the piece opens).
    static QString deviceTypeFor(const QString &fileName);

    PathLabel *Label1; // the full path of the current piece
    ProgressBar *ProgressBar1;
    QToolButton *Command4; // play
    QToolButton *Command5; // pause
    QToolButton *Command6; // stop
    QToolButton *Command1; // 打开
    QToolButton *Command2; // 存为默认
    QToolButton *Command3; // 退出
    QLabel *Label2; // the start-up flag: "F" asks the next resize to start the default music
    QLabel *Label3; // "没有可用的声音设备" while the piece plays into silence
    MediaDevice *MMControl1;
    CommonDialog CommonDialog1;
    QTimer *Timer1; // progress update
    QTimer *Timer2; // loop check

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Timer1_Timer();
    void Timer2_Timer();

private:
    void showFileName(const QString &path);
    void openPiece();
    void showSilence();
};
