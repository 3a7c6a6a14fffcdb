#include "support/mainwindow.h"

#include "base/fonts.h"
#include "forms/forms.h"

#include <QApplication>
#include <QTest>

MainWindowFixture::MainWindowFixture(QSize size, bool runLoad)
{
    installFontSubstitutes();
    main = new mdiMain;
    main->resize(size);
    main->show();
    (void)QTest::qWaitForWindowExposed(main);
    if (runLoad)
        main->Form_Load();
}

MainWindowFixture::~MainWindowFixture()
{
    Forms::unloadAll();
    delete main;
    settle();
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
