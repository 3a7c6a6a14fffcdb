#include "support/windowtest.h"

#include <QTest>

WindowScene::WindowScene(TestFolder::Bank bank, QSize size, bool runLoad)
    : folder(bank)
    , main(size, runLoad)
{ }

void ScriptedTest::init()
{
    delete messages;
    messages = new ScriptedMessages;
}

void ScriptedTest::cleanup()
{
    delete messages;
    messages = nullptr;
}

WindowTest::WindowTest(TestFolder::Bank bank, bool activeMain)
    : m_bank(bank)
    , m_activeMain(activeMain)
{ }

WindowTest::~WindowTest()
{
    cleanup();
}

void WindowTest::init()
{
    m_scene = new WindowScene(m_bank);
    folder = &m_scene->folder;
    messages = &m_scene->messages;
    main = &m_scene->main;
    if (m_activeMain) {
        main->main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main->main));
    }
}

void WindowTest::cleanup()
{
    folder = nullptr;
    messages = nullptr;
    main = nullptr;
    delete m_scene;
    m_scene = nullptr;
}
