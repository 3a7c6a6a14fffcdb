// Draws the main window offscreen, with the sample bank's category editor open, and
// saves the picture: docs/main-window.png in the README is made with it.
#include "app/forms.h"
#include "app/mdiMain.h"
#include "app/mdlQelvi.h"
#include "platform/programfolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s <shipped-folder> <out.png>\n", argv[0]);
        return 2;
    }
    mdlQelvi::prepare(app);
    QTemporaryDir folder;
    for (const QString &name : QDir(QString::fromLocal8Bit(argv[1])).entryList(QDir::Files))
        QFile::copy(QDir(QString::fromLocal8Bit(argv[1])).filePath(name), folder.filePath(name));
    setProgramFolder(folder.path());

    mdiMain main;
    main.resize(1100, 760);
    main.show();
    (void)QTest::qWaitForWindowExposed(&main);
    main.Form_Load();
    main.mnuFL_Click();
    QTest::qWait(200);
    const bool saved = main.grab().save(QString::fromLocal8Bit(argv[2]));
    Forms::unloadAll();
    return saved ? 0 : 1;
}
