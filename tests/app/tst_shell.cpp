// The application shell: start-up sequence, the command table, the close-all step,
// the exit command and the hand-off files.
#include "app/frmAno.h"
#include "app/frmCover.h"
#include "app/mdiMain.h"
#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmFL.h"
#include "base/fonts.h"
#include "base/programfolder.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "info/frmAbout.h"
#include "info/frmHelp.h"
#include "info/frmIntro.h"
#include "music/frmMusic.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "results/frmHistory.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "support/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The window a test opened, by its class name.
Form *openForm(const char *className)
{
    return Forms::find(QLatin1String(className));
}

} // namespace

class tst_shell : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    ScriptedMessages *messages = nullptr;

private slots:
    void initTestCase()
    {
        installFontSubstitutes();
        QVERIFY(folder.isValid());
        setProgramFolder(folder.path());
    }
    void init() { messages = new ScriptedMessages; }
    void cleanup()
    {
        delete messages;
        Forms::unloadAll();
        if (QMainWindow *main = Forms::mainWindow())
            delete main;
        settle();
    }

    void coverOpensMainWindowOnTheTwentySecondTick()
    {
        frmCover *cover = Forms::load<frmCover>();
        cover->Show();
        for (int tick = 1; tick <= 21; ++tick)
            cover->Timer1_Timer();
        QVERIFY(!Forms::mainWindow());
        cover->Timer1_Timer();
        QVERIFY(Forms::mainWindow());
        QVERIFY(Forms::mainWindow()->isVisible());
        QVERIFY(!Forms::find<frmCover>());
        QVERIFY(!cover->Timer1->isActive());

        // The second splash shows and closes on its 22nd tick (where it shows on a real
        // desktop, after the window manager has maximised the main window, is a desktop test).
        frmAno *ano = Forms::find<frmAno>();
        QVERIFY(ano);
        QVERIFY(ano->Visible());
        for (int tick = 1; tick <= 21; ++tick)
            ano->Timer1_Timer();
        QVERIFY(Forms::find<frmAno>());
        ano->Timer1_Timer();
        QVERIFY(!Forms::find<frmAno>());

        // The music controller is loaded, hidden, with its start-up flag consumed or set.
        frmMusic *music = Forms::find<frmMusic>();
        QVERIFY(music);
        QVERIFY(!music->Visible());
    }

    void clickOnCoverOpensMainWindowOnce()
    {
        frmCover *cover = Forms::load<frmCover>();
        cover->Show();
        QVERIFY(QTest::qWaitForWindowExposed(cover));
        cover->Timer1_Timer();
        const QPointer<QTimer> timer = cover->Timer1;
        QTest::mouseClick(cover->Image1, Qt::LeftButton);
        QMainWindow *main = Forms::mainWindow();
        QVERIFY(main);
        QVERIFY(!Forms::find<frmCover>());
        settle();
        // The cover's timer can tick no more: stopped, and gone with the cover.
        QVERIFY(timer.isNull() || !timer->isActive());
        QTRY_VERIFY(timer.isNull());
        QCOMPARE(Forms::mainWindow(), main);
        QCOMPARE(main->findChildren<frmAno *>().size(), 1);
    }

    void coverCaptionSitsAboveTheCentre()
    {
        frmCover *cover = Forms::load<frmCover>();
        cover->Show();
        for (const QSize size : { QSize(250, 161), QSize(640, 480) }) {
            cover->resize(size);
            QCoreApplication::processEvents();
            QCOMPARE(cover->size(), size);
            QCOMPARE(cover->Image1->geometry(), cover->rect());
            const QLabel *label = cover->Label1;
            QVERIFY(qAbs(label->x() - (size.width() / 2 - label->width() / 2)) <= 1);
            QVERIFY(qAbs(label->y() - (size.height() / 2 - 2 * label->height())) <= 1);
        }
        cover->Timer1->stop();
    }

    void commandsOpenTheirWindowAtItsPlace_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("window");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("inner");
        QTest::addColumn<double>("k");
        QTest::addColumn<bool>("closesFirst");
        QTest::addColumn<QByteArray>("mode");

        QTest::newRow("categories")
            << "mnuFL_Click"
            << "frmFL" << 5268. << 5892. << true << 2. << false << QByteArray();
        QTest::newRow("create test")
            << "mnuCreatTest_Click"
            << "frmAddTest" << 3876. << 3840. << false << 1. << true << QByteArray();
        QTest::newRow("edit test")
            << "mnuOpenTest_Click"
            << "frmBFEdit" << 5304. << 6240. << false << 1.5 << true << QByteArray(" 1 \r\n");
        QTest::newRow("take test")
            << "mnuTesting_Click"
            << "frmBFEdit" << 5304. << 6240. << false << 1.5 << true << QByteArray(" 2 \r\n");
        QTest::newRow("manage tests")
            << "mnuDelTest_Click"
            << "frmBFEdit" << 5304. << 6240. << false << 1.5 << true << QByteArray(" 3 \r\n");
        QTest::newRow("music") << "mnuBackMic_Click"
                               << "frmMusic" << 3876. << 4968. << false << 1. << false
                               << QByteArray();
        QTest::newRow("intro") << "mnuIntro_Click"
                               << "frmIntro" << 5604. << 5508. << true << 2. << false
                               << QByteArray();
        QTest::newRow("about") << "mnuAbout_Click"
                               << "frmAbout" << 4020. << 6288. << false << 1. << false
                               << QByteArray();
        QTest::newRow("history") << "mnuHistory_Click"
                                 << "frmHistory" << 8556. << 10872. << true << 2. << false
                                 << QByteArray();
        QTest::newRow("analysis") << "mnuAnalysis_Click"
                                  << "frmAnalysis" << 8556. << 10872. << true << 2. << false
                                  << QByteArray();
        // The windows on the bank close only once the server bank has answered.
        QTest::newRow("server bank")
            << "mnuServer_Click"
            << "frmServer" << 4800. << 4920. << false << 1.5 << false << QByteArray();
    }

    void commandsOpenTheirWindowAtItsPlace()
    {
        QFETCH(QString, command);
        QFETCH(QString, window);
        QFETCH(double, height);
        QFETCH(double, width);
        QFETCH(bool, inner);
        QFETCH(double, k);
        QFETCH(bool, closesFirst);
        QFETCH(QByteArray, mode);

        MainWindowFixture main(QSize(1000, 720));
        QFile::remove(HandOff::modeFile());
        Forms::load<frmScore>()->Show(); // one of the single-test windows
        Forms::load<frmHelp>()->Show(); // a window no command closes

        QVERIFY(QMetaObject::invokeMethod(main.main, command.toLatin1().constData()));

        Form *form = Forms::find(window);
        QVERIFY(form);
        QVERIFY(form->Visible());
        // The design client area holds; the outer size is the asked one give or take
        // the few pixels this toolkit's frame differs by.
        QCOMPARE(form->size(), form->designClient());
        QVERIFY(qAbs(form->frame()->width() - twipsToPixels(width)) <= 8);
        QVERIFY(qAbs(form->frame()->height() - twipsToPixels(height)) <= 8);
        const QSizeF base = inner ? Forms::mainInner() : Forms::mainOuter();
        const float w = float(form->frame()->width() * 15);
        const float h = float(form->frame()->height() * 15);
        QCOMPARE(form->frame()->x(), twipsToPixels(float(base.width()) / 2 - w / 2));
        QCOMPARE(form->frame()->y(), twipsToPixels(float(base.height()) / 2 - h / float(k)));
        QCOMPARE(!Forms::find<frmScore>(), closesFirst);
        QVERIFY(Forms::find<frmHelp>());
        if (mode.isEmpty())
            QCOMPARE(fileBytes(HandOff::modeFile()), QByteArray("<missing>"));
        else
            QCOMPARE(fileBytes(HandOff::modeFile()), mode);

        // A second command reuses the open window: same object, placed again.
        form->Move(0, 0);
        QVERIFY(QMetaObject::invokeMethod(main.main, command.toLatin1().constData()));
        if (!closesFirst)
            QCOMPARE(Forms::find(window), form);
        QVERIFY(Forms::find(window)->frame()->x() != 0 || base.width() / 2 - w / 2 < 8);
    }

    void toolbarKeysRunTheirCommands()
    {
        MainWindowFixture main;
        const QStringList keys { "tbrFL", "tbrCreatTest", "tbrEditTest", "tbrDelTest", "tbrTesting",
            "tbrHistory", "tbrMusic" };
        const QStringList windows { "frmFL", "frmAddTest", "frmBFEdit", "frmBFEdit", "frmBFEdit",
            "frmHistory", "frmMusic" };
        QCOMPARE(main->Toolbar1->actions().size(), 8);
        // The history's button comes right after 进行测试.
        QCOMPARE(
            main->Toolbar1->actions().indexOf(main->Toolbar1->findChild<QAction *>("tbrHistory")),
            main->Toolbar1->actions().indexOf(main->Toolbar1->findChild<QAction *>("tbrTesting"))
                + 1);
        for (int i = 0; i < keys.size(); ++i) {
            QAction *button = main->Toolbar1->findChild<QAction *>(keys[i]);
            QVERIFY2(button, qPrintable(keys[i]));
            button->trigger();
            QVERIFY2(Forms::find(windows[i]), qPrintable(keys[i]));
        }
        // Keys compare exactly: another case or an unknown key does nothing.
        Forms::unload<frmFL>();
        main->Toolbar1_ButtonClick(QStringLiteral("tbrfl"));
        main->Toolbar1_ButtonClick(QStringLiteral("tbrNothing"));
        QVERIFY(!Forms::find<frmFL>());
    }

    void menusCarryTheirCaptions()
    {
        MainWindowFixture main;
        QCOMPARE(main->windowTitle(), QStringLiteral("Qelvi"));
        QCOMPARE(main->mnuPro->text(), QStringLiteral("程序(&P)"));
        QCOMPARE(main->mnuExit->text(), QStringLiteral("结束程序(&X)"));
        QCOMPARE(main->mnuExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QCOMPARE(main->mnuTesting->text(), QStringLiteral("进行测试项目(&R)"));
        QCOMPARE(main->mnuBackMic->text(), QStringLiteral("背景音乐(&M)"));
        QCOMPARE(main->mnuIntro->text(), QStringLiteral("Qelvi简介(&I)"));
        QCOMPARE(main->mnuAbout->text(), QStringLiteral("关于Qelvi(&A)"));
        QCOMPARE(main->mnuHistory->text(), QStringLiteral("测试记录(&H)"));
    }

    void subUnloadClosesTheFiveSingleTestWindowsOnly()
    {
        MainWindowFixture main;
        Forms::load<frmAddTest>();
        Forms::load<frmBFEdit>();
        Forms::load<frmScore>();
        Forms::load<frmTest>();
        Forms::load<frmEdittest>();
        Forms::load<frmFL>();
        Forms::load<frmMusic>();
        Forms::load<frmAbout>();
        Forms::load<frmIntro>();
        Forms::load<frmHelp>();
        Forms::load<frmResult>();
        Forms::load<frmAno>();
        Forms::load<frmHistory>();

        main->subUnload();
        for (const char *gone : { "frmAddTest", "frmBFEdit", "frmScore", "frmTest", "frmEdittest" })
            QVERIFY2(!openForm(gone), gone);
        for (const char *kept : { "frmFL", "frmMusic", "frmAbout", "frmIntro", "frmHelp",
                 "frmResult", "frmAno", "frmHistory" })
            QVERIFY2(openForm(kept), kept);

        // Unloading windows that are not open loads nothing.
        const int before = Forms::openForms().size();
        main->subUnload();
        QCOMPARE(Forms::openForms().size(), before);
    }

    void exitRemovesHandOffFilesCloseBoxKeepsThem()
    {
        {
            MainWindowFixture main;
            writeBytes(HandOff::nameFile(), "a test\r\n");
            writeBytes(HandOff::modeFile(), " 2 \r\n");
            main->close();
            QVERIFY(QFile::exists(HandOff::nameFile()));
            QVERIFY(QFile::exists(HandOff::modeFile()));
        }
        {
            MainWindowFixture main;
            QTest::keyClick(main.main, Qt::Key_Q, Qt::ControlModifier);
            QVERIFY(!QFile::exists(HandOff::nameFile()));
            QVERIFY(!QFile::exists(HandOff::modeFile()));
            // With no files present, exit is just as quiet.
            main->mnuExit_Click();
            QVERIFY(messages->texts().isEmpty());
        }
    }

    void handOffFilesRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("情商测试");
        QTest::newRow("leading blanks") << QStringLiteral("   前面有空格");
        QTest::newRow("comma") << QStringLiteral("one, two,three");
        QTest::newRow("quotes") << QStringLiteral("say \"hi\" 'there'");
        QTest::newRow("trailing blank") << QStringLiteral("end ");
        QTest::newRow("long") << QString(500, QChar(u'测'));
    }

    void handOffFilesRoundTrip()
    {
        QFETCH(QString, name);
        QVERIFY(HandOff::writeTestName(name));
        QCOMPARE(fileBytes(HandOff::nameFile()), name.toUtf8() + "\r\n");
        QCOMPARE(HandOff::readTestName(), std::optional<QString>(name));
    }

    void modeCodesHaveTheListOutputForm()
    {
        QVERIFY(HandOff::writeModeCode(2));
        QCOMPARE(fileBytes(HandOff::modeFile()), QByteArray("\x20\x32\x20\x0d\x0a"));
        QCOMPARE(HandOff::readModeCode(), std::optional<qint16>(2));
        QCOMPARE(HandOff::modeCodeBytes(-7), QByteArray("-7 \r\n"));
        QCOMPARE(HandOff::parseModeCode("  12,3"), std::optional<qint16>(12));
        QCOMPARE(HandOff::parseModeCode("3"), std::optional<qint16>(3));
        QCOMPARE(HandOff::parseModeCode("40000\r\n"), std::nullopt);
        QCOMPARE(HandOff::parseModeCode(""), std::nullopt);
        QCOMPARE(HandOff::parseModeCode("abc"), std::nullopt);
        QFile::remove(HandOff::modeFile());
        QCOMPARE(HandOff::readModeCode(), std::nullopt);
    }

    void unwritableHandOffFileIsReportedAndNothingOpens()
    {
        // A folder in the way of temp1.txt makes it unwritable, whatever the rights.
        QFile::remove(HandOff::modeFile());
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("temp1.txt")));
        {
            MainWindowFixture main;
            main->mnuTesting_Click();
            QVERIFY(!Forms::find<frmBFEdit>());
            QCOMPARE(messages->texts().size(), 1);
            QVERIFY(messages->last().contains(QStringLiteral("temp1.txt")));
        }
        QVERIFY(QDir(folder.path()).rmdir(QStringLiteral("temp1.txt")));
    }
};

QTEST_MAIN(tst_shell)
#include "tst_shell.moc"
