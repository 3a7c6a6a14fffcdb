#pragma once

#include "platform/msgbox.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"

#include <QObject>

// The base of a test of windows. Before each test function it makes a temporary
// program folder with a bank, scripted message answers and the main window open
// offscreen, in that order, and lets them go in reverse after it: the windows that
// close with the main window still answer to the script and write into the folder.
//
//     class tst_frmX : public WindowTest
//     {
//         Q_OBJECT
//     private slots:
//         void opens() { folder->addCategory(u"情商"_s); (*main)->mnuFL_Click(); ... }
//     };
class WindowTest : public QObject
{
    Q_OBJECT

public:
    // `activeMain` waits until the main window is the active one, for tests that need
    // the keyboard focus from the start.
    explicit WindowTest(TestFolder::Bank bank = TestFolder::FreshBank, bool activeMain = false);

protected:
    TestFolder *folder = nullptr;
    ScriptedMessages *messages = nullptr;
    MainWindowFixture *main = nullptr;

protected slots:
    void init();
    void cleanup();

private:
    TestFolder::Bank m_bank;
    bool m_activeMain;
};
