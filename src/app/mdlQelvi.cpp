#include "app/mdlQelvi.h"

#include "app/forms.h"
#include "app/frmCover.h"
#include "app/mdiMain.h"
#include "platform/fonts.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <sys/socket.h>
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

    // SIGTERM and SIGINT end the program like the close box: open editors commit first.
    void handleTerminationSignals(QApplication &app)
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
            return;
        auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char byte;
            [[maybe_unused]] const auto got = ::read(signalPipe[1], &byte, 1);
            if (mainWindow)
                mainWindow->close();
            QCoreApplication::quit();
        });
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }

} // namespace

void prepare(QApplication &app)
{
    // No display name: the toolkit would add it to every window title ("Form1 — Qelvi").
    app.setApplicationName(QStringLiteral("qelvi"));
    app.setWindowIcon(QIcon(QStringLiteral(":/images/qelvi.svg")));
    installFontSubstitutes();
    // The toolkit's own texts (message-box buttons, the Open dialog) in Chinese.
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTexts);
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
    handleTerminationSignals(app);
    Forms::load<frmCover>()->Show();
    return app.exec();
}

} // namespace mdlQelvi
