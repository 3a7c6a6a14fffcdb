// Draws the program's windows offscreen with the shipped sample bank and saves pictures:
//   prog_screenshot <shipped-folder> <out.png>      the main window (README picture)
//   prog_screenshot <shipped-folder> <out-folder> --all
//                                                   every window, one picture each
#include "app/mdiMain.h"
#include "app/mdlQelvi.h"
#include "bank/bankui.h"
#include "bank/frmBFEdit.h"
#include "base/programfolder.h"
#include "binding/DBCombo.h"
#include "binding/DBList.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "runner/frmTest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void save(QWidget *widget, const QString &path)
{
    QTest::qWait(100);
    if (!widget->grab().save(path))
        fprintf(stderr, "could not save %s\n", qPrintable(path));
}

// Every command's window, and a test taken half-way, each as the user sees it.
void grabAll(mdiMain &main, const QString &out)
{
    ScriptedMessages messages;
    QDir().mkpath(out);
    const struct
    {
        const char *command;
        const char *file;
    } commands[] = {
        { "mnuFL_Click", "categories" },
        { "mnuCreatTest_Click", "new-test" },
        { "mnuOpenTest_Click", "chooser-edit" },
        { "mnuDelTest_Click", "chooser-manage" },
        { "mnuBackMic_Click", "music" },
        { "mnuIntro_Click", "intro" },
        { "mnuAbout_Click", "about" },
    };
    for (const auto &c : commands) {
        QMetaObject::invokeMethod(&main, c.command);
        save(&main, QDir(out).filePath(QLatin1String(c.file) + ".png"));
        Forms::unloadAll();
    }
    main.mnuTesting_Click();
    if (frmBFEdit *chooser = Forms::find<frmBFEdit>()) {
        chooser->DBCombo1->setCurrentIndex(0);
        chooser->DBCombo1_Change();
        if (chooser->DBList1->count() > 0) {
            chooser->DBList1->setCurrentRow(0);
            chooser->DBList1_Click();
            save(&main, QDir(out).filePath("chooser-take.png"));
            chooser->Command1->click();
        }
    }
    save(&main, QDir(out).filePath("runner.png"));
    messages.answer(MsgAnswer::Yes);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s <shipped-folder> <out.png | out-folder --all>\n", argv[0]);
        return 2;
    }
    mdlQelvi::prepare(app);
    QTemporaryDir folder;
    const QDir shipped(QString::fromLocal8Bit(argv[1]));
    for (const QString &name : shipped.entryList(QDir::Files))
        QFile::copy(shipped.filePath(name), folder.filePath(name));
    setProgramFolder(folder.path());

    mdiMain main;
    main.resize(1100, 760);
    main.show();
    (void)QTest::qWaitForWindowExposed(&main);
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (argc > 3 && QByteArray(argv[3]) == "--all") {
        grabAll(main, out);
    } else {
        main.Form_Load();
        main.mnuFL_Click();
        save(&main, out);
    }
    Forms::unloadAll();
    return 0;
}
