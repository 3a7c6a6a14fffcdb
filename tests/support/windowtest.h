#pragma once

#include "platform/msgbox.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"

#include <QObject>

// What a test of windows stands on: a temporary program folder with a bank, scripted
// message answers and the main window open offscreen, made in that order and let go in
// reverse: the windows that close with the main window still answer to the script and
// write into the folder, and the folder goes last.
//
//     WindowScene scene;
//     scene.folder.addTest(u"情商"_s, u"一题"_s);
//     frmTest *runner = ...;
//     QCOMPARE(scene.messages.texts(), ...);
class WindowScene
{
public:
    explicit WindowScene(TestFolder::Bank bank = TestFolder::FreshBank,
        QSize size = QSize(1024, 768), bool runLoad = false);
    WindowScene(const WindowScene &) = delete;
    WindowScene &operator=(const WindowScene &) = delete;

    TestFolder folder;
    ScriptedMessages messages;
    MainWindowFixture main;
};

// The base of a test whose every function answers the message boxes from a script: a
// fresh ScriptedMessages before each test function, gone after it.
class ScriptedTest : public QObject
{
    Q_OBJECT

protected:
    ScriptedMessages *messages = nullptr;

protected slots:
    void init();
    void cleanup();
};

// The base of a test of windows: a WindowScene made before each test function and
// let go after it.
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
    ~WindowTest() override;

protected:
    TestFolder *folder = nullptr;
    ScriptedMessages *messages = nullptr;
    MainWindowFixture *main = nullptr;

protected slots:
    void init();
    void cleanup();

private:
    WindowScene *m_scene = nullptr;
    TestFolder::Bank m_bank;
    bool m_activeMain;
};
