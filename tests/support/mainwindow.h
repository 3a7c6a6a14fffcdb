#pragma once

#include "app/mdiMain.h"

#include <QSize>

// The main window, open offscreen at a known size, as the host of the windows a test
// opens. Its load steps (music controller, splash) run only when asked. On
// destruction every window is unloaded (committing) and the main window deleted.
class MainWindowFixture
{
public:
    explicit MainWindowFixture(QSize size = QSize(1024, 768), bool runLoad = false);
    ~MainWindowFixture();
    MainWindowFixture(const MainWindowFixture &) = delete;
    MainWindowFixture &operator=(const MainWindowFixture &) = delete;

    mdiMain *operator->() const { return main; }
    mdiMain *main;
};

// Lets deferred deletions run, so windows closed by the code under test are gone.
void settle();
