// Draws the question editor and the score-band editor offscreen on the sample test
// and saves one picture of each, to look at their layout; with a third file, also the
// band check that a click on the score-band editor's indicator opens; with a fourth,
// the band check again after two bands are changed to leave a gap and an overlap.
#include "authoring/frmBandCheck.h"
#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr,
            "usage: %s <question-editor.png> <score-editor.png> [band-check.png "
            "[band-check-flawed.png]]\n",
            argv[0]);
        return 2;
    }
    TestFolder folder(TestFolder::SampleBank);
    MainWindowFixture main(QSize(1100, 760));
    HandOff::writeTestName(QStringLiteral("日常情商自测"));
    frmEdittest *editor = Forms::load<frmEdittest>();
    Forms::place(editor);
    editor->Show();
    editor->Command7_Click();
    QTest::qWait(100);
    frmScore *score = Forms::find<frmScore>();
    bool saved = editor->frame()->grab().save(QString::fromLocal8Bit(argv[1]))
        && score->frame()->grab().save(QString::fromLocal8Bit(argv[2]));
    if (argc > 3) {
        score->Label5_Click();
        QTest::qWait(100);
        saved = saved
            && Forms::find<frmBandCheck>()->frame()->grab().save(QString::fromLocal8Bit(argv[3]));
    }
    if (argc > 4) {
        score->Command6_Click();
        score->Text2->setText(QString::number(score->Text2->text().toInt() + 2));
        score->Command2_Click();
        score->Command2_Click();
        score->Text1->setText(QString::number(score->Text1->text().toInt() + 2));
        score->Command6_Click();
        QTest::qWait(300);
        saved = saved
            && Forms::find<frmBandCheck>()->frame()->grab().save(QString::fromLocal8Bit(argv[4]));
    }
    return saved ? 0 : 1;
}
