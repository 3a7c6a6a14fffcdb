#include "support/windowtest.h"

#include <QTest>

WindowTest::WindowTest(TestFolder::Bank bank, bool activeMain)
    : m_bank(bank)
    , m_activeMain(activeMain)
{ }

void WindowTest::init()
{
    folder = new TestFolder(m_bank);
    messages = new ScriptedMessages;
    main = new MainWindowFixture;
    if (m_activeMain) {
        main->main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main->main));
    }
}

void WindowTest::cleanup()
{
    delete main;
    main = nullptr;
    delete messages;
    messages = nullptr;
    delete folder;
    folder = nullptr;
}
