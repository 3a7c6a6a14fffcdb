// The program in one state, waiting for a signal that must end it: the program's own
// signal handling, the real windows and real message boxes.
//
//   prog_loggedout <program folder> <state>
//
// The folder holds a bank with the test "情商自测" (one question) in "情商". States:
//   typing    the question editor with a changed question
//   refusing  the same with option A's score "-", and the refusal box of Ctrl+Q open
//   asking    the chooser with the delete question open
//   deleted   the changed question deleted by another copy of the program, and the
//             question what to do with this copy's text open (after 完成)
//   held      the question editor with a changed question, and the window thread held
//             for good in a read (a FIFO nobody writes), as a hang of any kind holds it
//   kept      the question editor as in refusing and the score-band editor with a lower
//             bound "-", Ctrl+Q answered 是 (leave without it) by the first window asked
//             and 否 by the second, so that both stay open
// Prints "ready" once the state is reached (the box shown, where there is one).
#include "app/mdiMain.h"
#include "app/mdlQelvi.h"
#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "bank/frmBFEdit.h"
#include "base/programfolder.h"
#include "binding/DBCombo.h"
#include "binding/DBList.h"
#include "forms/forms.h"
#include "forms/handoff.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString state = QString::fromLocal8Bit(argv[2]);
    setProgramFolder(QString::fromLocal8Bit(argv[1]));
    mdlQelvi::prepare(app);
    mdlQelvi::endOnSignals(app);

    // The main window as the cover opens it, with its hidden music controller.
    mdlQelvi::openMainWindow();
    auto *main = qobject_cast<mdiMain *>(Forms::mainWindow());

    if (state == QLatin1String("asking")) {
        main->mnuDelTest_Click();
        frmBFEdit *chooser = Forms::find<frmBFEdit>();
        chooser->DBCombo1->setText(QStringLiteral("情商"));
        chooser->DBList1->setCurrentRow(0);
        QTimer::singleShot(0, chooser, &frmBFEdit::Command3_Click);
    } else {
        if (!HandOff::writeTestName(QStringLiteral("情商自测")))
            return 3;
        frmEdittest *editor = Forms::show<frmEdittest>();
        if (state == QLatin1String("kept")) {
            editor->Command7_Click(); // the band editor, before anything is changed
            if (frmScore *bands = Forms::find<frmScore>())
                bands->Text1->setText(QStringLiteral("-"));
        }
        editor->Text1->setPlainText(QStringLiteral("退出前改的题"));
        if (state == QLatin1String("kept")) {
            editor->Text8->setText(QStringLiteral("-"));
            auto *answer = new QTimer(&app);
            QObject::connect(answer, &QTimer::timeout, &app, [answer] {
                static int answered = 0;
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (!box)
                    return;
                box->button(answered++ == 0 ? QMessageBox::Yes : QMessageBox::No)->click();
                if (answered == 2)
                    answer->stop();
            });
            answer->start(20);
            QTimer::singleShot(0, main, &mdiMain::mnuExit_Click);
        } else if (state == QLatin1String("refusing")) {
            editor->Text8->setText(QStringLiteral("-"));
            QTimer::singleShot(0, main, &mdiMain::mnuExit_Click);
        } else if (state == QLatin1String("deleted")) {
            {
                QSqlDatabase other
                    = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                other.setDatabaseName(programFile(QStringLiteral("test.mdb")));
                if (!other.open()
                    || !QSqlQuery(other).exec(QStringLiteral("DELETE FROM \"情商自测\"")))
                    return 4;
                other.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
            QTimer::singleShot(0, editor, &frmEdittest::Command3_Click);
        }
    }

    const bool boxed = state != QLatin1String("typing") && state != QLatin1String("held")
        && state != QLatin1String("kept");
    auto *ready = new QTimer(&app);
    const bool kept = state == QLatin1String("kept");
    QObject::connect(ready, &QTimer::timeout, &app, [ready, boxed, kept] {
        if (boxed && !QApplication::activeModalWidget())
            return;
        // Both editors still open, with no box left to answer.
        if (kept && (QApplication::activeModalWidget() || !Forms::find<frmScore>()))
            return;
        ready->stop();
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
    });
    if (state != QLatin1String("held"))
        ready->start(20);
    if (state == QLatin1String("held")) {
        QTimer::singleShot(50, &app, [] {
            const QByteArray fifo = QFile::encodeName(programFile(QStringLiteral("held")));
            ::mkfifo(fifo.constData(), 0600);
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
            char byte;
            const int fd = ::open(fifo.constData(), O_RDONLY);
            [[maybe_unused]] const auto got = ::read(fd, &byte, 1);
        });
    }
    return app.exec();
}
