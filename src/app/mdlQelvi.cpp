#include "app/mdlQelvi.h"

#include "app/forms.h"
#include "app/frmCover.h"
#include "app/mdiMain.h"
#include "bank/Data.h"
#include "platform/fonts.h"
#include "platform/qttexts.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace mdlQelvi {

namespace {

    QPointer<mdiMain> mainWindow;
    int signalPipe[2] = { -1, -1 };

    void onSignal(int)
    {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
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
    return app.exec();
}

} // namespace mdlQelvi
