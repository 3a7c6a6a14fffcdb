#include "app/mdlQelvi.h"

#include "app/frmCover.h"
#include "app/mdiMain.h"
#include "base/endsignals.h"
#include "base/fonts.h"
#include "binding/Data.h"
#include "formats/access2000/jetbank.h"
#include "forms/forms.h"
#include "platform/qttexts.h"
#include "store/server/serversession.h"

#include <QApplication>
#include <QDirIterator>
#include <QIcon>
#include <QLoggingCategory>
#include <QPointer>
#include <QSocketNotifier>
#include <QTranslator>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace mdlQelvi {

namespace {

    // QT_LOGGING_RULES="qelvi.icons.debug=true" tells at start whether every picture of the
    // program draws: the pictures are SVG, drawn by a plugin that is loaded at run time.
    Q_LOGGING_CATEGORY(lcIcons, "qelvi.icons", QtWarningMsg)

    void checkIcons()
    {
        if (!lcIcons().isDebugEnabled())
            return;
        int drawn = 0, total = 0;
        for (QDirIterator it(QStringLiteral(":/images"), { QStringLiteral("*.svg") });
             it.hasNext();) {
            const QString file = it.next();
            ++total;
            if (QIcon(file).pixmap(QSize(32, 32)).isNull())
                qCDebug(lcIcons) << "not drawn:" << file;
            else
                ++drawn;
        }
        qCDebug(lcIcons, "%d of %d icons drawn", drawn, total);
    }

    QPointer<mdiMain> mainWindow;
    int signalPipe[2] = { -1, -1 };

    void onAlarm(int)
    {
        ::_exit(0);
    }

    void onSignal(int)
    {
        // A connection being made gives up its wait for the server and lets the end come.
        EndSignals::count();
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
        // The window thread may be held in a read or a statement and never see the byte:
        // the program ends regardless, a little after the orderly end would have.
        static volatile sig_atomic_t armed = 0;
        if (armed)
            return;
        armed = 1;
        struct sigaction alarm = {};
        alarm.sa_handler = onAlarm;
        sigemptyset(&alarm.sa_mask);
        sigaction(SIGALRM, &alarm, nullptr);
        itimerval in = {};
        in.it_value = { 1, 900000 }; // 1.9 s
        setitimer(ITIMER_REAL, &in, nullptr);
    }

    // What every window holds goes to the bank as far as the bank takes it, without a
    // question: nobody may be there to answer.
    void commitEverything()
    {
        const auto widgets = QApplication::allWidgets();
        for (QWidget *widget : widgets) {
            if (auto *data = qobject_cast<Data *>(widget)) {
                data->commitStorable();
                data->Unload();
            }
        }
    }

    void endNow()
    {
        static bool ending = false;
        if (ending)
            return;
        ending = true;
        // Should anything hold the program up (a bank locked by another copy makes a commit
        // wait), it ends regardless: a logout does not wait. A commit cut short this way
        // is rolled back by the bank, never left half done.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            std::_Exit(0);
        }).detach();
        commitEverything();
        // Leaves every event loop, those of open message boxes too; whatever a handler
        // still does on its way out cannot keep the program, since no box waits any more.
        QCoreApplication::exit(0);
    }

} // namespace

void endOnSignals(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPipe[1], &byte, 1);
        endNow();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signal, &action, nullptr);
}

void prepare(QApplication &app)
{
    // No display name: the toolkit would add it to every window title ("Form1 — Qelvi").
    app.setApplicationName(QStringLiteral("qelvi"));
    app.setWindowIcon(QIcon(QStringLiteral(":/images/qelvi.svg")));
    checkIcons();
    JetBank::install();
    ServerSession::install();
    installFontSubstitutes();
    // The toolkit's own texts (message-box buttons, the Open dialog) in Chinese.
    speakChinese(app);
}

void openMainWindow()
{
    if (mainWindow)
        return;
    mainWindow = new mdiMain;
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->showMaximized();
    mainWindow->Form_Load();
}

int Main(QApplication &app)
{
    prepare(app);
    endOnSignals(app);
    Forms::load<frmCover>()->Show();
    const int code = app.exec();
    // The server bank's connection goes while the application that holds its notifier is there.
    ServerSession::close();
    return code;
}

} // namespace mdlQelvi
