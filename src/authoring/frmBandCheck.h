#pragma once

#include "forms/form.h"
#include "scoring/bandcheck.h"

class BandPicture;
class QLabel;
class QTextEdit;
class QToolButton;

// The band check of the test open in the score-band editor, in full: what the
// editor's indicator sums up, with a picture of the bands over the totals. It only
// shows; the score-band editor sends it every new check while both are open and
// closes it with itself. Enter and Esc close it, as 关闭 does. It opens beside the
// editor rather than over it, where the main window has room.
class frmBandCheck : public Form
{
    Q_OBJECT

public:
    frmBandCheck();

    Qt::WindowFlags frameFlags() const override { return fixedFrameFlags(); }

    void showCheck(const QString &test, const BandCheck::Check &check);
    // A newer check runs: the summary says so until showCheck() brings it.
    void showRunning();
    // Sizes the window and puts it right of the editor, else left of it, below or
    // above it; where none has room, where it covers least of it.
    void placeBeside(const Form *editor);

    QLabel *Label1; // the test name
    QLabel *Label2; // the summary
    BandPicture *Picture1;
    QTextEdit *Text1; // the whole check, read-only
    QToolButton *Command1; // 关闭

public slots:
    void Command1_Click();
};
