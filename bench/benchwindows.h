#pragma once

// The program's main window for the benchmarks that drive its windows: offscreen unless
// QT_QPA_PLATFORM asks for a display, messages answered by script. Made first in main(),
// it closes every window and the bank when it goes.
#include "app/mdiMain.h"
#include "base/fonts.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "store/bankfile.h"

#include <QApplication>

class BenchWindows
{
public:
    BenchWindows(int &argc, char **argv)
        : m_app((prepare(), argc), argv)
    {
        installFontSubstitutes();
        m_main = new mdiMain;
        m_main->resize(1024, 768);
        m_main->show();
    }

    ~BenchWindows()
    {
        Forms::unloadAll();
        delete m_main;
        BankFile::closeConnection();
    }

private:
    static void prepare()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    }

    QApplication m_app;
    ScriptedMessages m_messages;
    mdiMain *m_main = nullptr;
};
