#include "app/mdiMain.h"

#include "app/bankchoice.h"
#include "app/frmAno.h"
#include "app/frmServer.h"
#include "app/windows.h"
#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmExport.h"
#include "bank/frmFL.h"
#include "bank/frmImport.h"
#include "bank/frmPublish.h"
#include "bank/jetnotice.h"
#include "base/currentbank.h"
#include "base/programfolder.h"
#include "binding/unsaved.h"
#include "formats/snapshot.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "info/frmAbout.h"
#include "info/frmIntro.h"
#include "music/frmMusic.h"
#include "platform/msgbox.h"
#include "results/frmAnalysis.h"
#include "results/frmClassHistory.h"
#include "results/frmHistory.h"
#include "runner/frmTest.h"
#include "runner/taker.h"
#include "store/bankbackend.h"
#include "store/classroom.h"
#include "store/results/keeping.h"
#include "store/results/outbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMdiArea>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QToolBar>

mdiMain::mdiMain()
    : m_area(new QMdiArea(this))
{
    declareWindows();
    setWindowTitle(QStringLiteral("Qelvi"));
    setWindowIcon(QIcon(QStringLiteral(":/images/qelvi.svg")));
    setCentralWidget(m_area);
    m_area->viewport()->installEventFilter(this);
    m_area->setBackground(palette().brush(QPalette::Dark));
    createMenus();
    createToolbar();
    // Restored, the window is as wide as its toolbar, so that no button hides
    // behind the overflow arrow.
    resize(qMax(5916 / 15 + 40, Toolbar1->sizeHint().width() + 16), 4608 / 15 + 80);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Forms::setHost(this, m_area);
    installConversionNotice();
    installLinkNotice();
    BankChoice::setWindowCloser(
        [main = QPointer<mdiMain>(this)] { return !main || main->unloadBankWindows(); });
    connect(CurrentBank::notifier(), &CurrentBank::changed, this,
        [this](const QString &location) { showBank(location, true); });
    // Results that could not be handed in go when the server answers again.
    m_handIn = new QTimer(this);
    m_handIn->setInterval(30000);
    connect(m_handIn, &QTimer::timeout, this, &mdiMain::handInWaiting);
    showBank(currentBank());
}

void mdiMain::showBank(const QString &location, bool tell)
{
    const QString snapshotOf = Classroom::snapshotServer(location);
    const QString server = BankChoice::captionFor(snapshotOf.isEmpty() ? location : snapshotOf);
    Classroom::Role role = Classroom::Role::Author;
    // Unknown, the commands stay on: the server refuses what the user may not do.
    Classroom::role(location, &role);
    const bool taker = role == Classroom::Role::Taker;
    if (!snapshotOf.isEmpty())
        setWindowTitle(QStringLiteral("Qelvi——离线测试（%1）").arg(server));
    else
        setWindowTitle(server.isEmpty() ? QStringLiteral("Qelvi")
                                        : QStringLiteral("Qelvi——") + server
                    + (taker ? QStringLiteral("（答题者）") : QString()));
    mnuFileBank->setEnabled(!server.isEmpty());
    const bool online = !server.isEmpty() && snapshotOf.isEmpty();
    mnuPublish->setEnabled(online && !taker);
    mnuClassHistory->setEnabled(online);
    // A taker's copy keeps the published tests for taking them offline.
    if (online && taker)
        Snapshot::download(location);
    const QString chosen = online ? location : BankChoice::remembered();
    mnuOffline->setEnabled(snapshotOf.isEmpty() && !chosen.isEmpty()
        && QFileInfo::exists(Classroom::snapshotPath(chosen)));
    const QString onlyTaking = QStringLiteral("答题者只能进行已经发布的测试，不能修改题库");
    for (QAction *a : { mnuFL, mnuImport, mnuCreatTest, mnuOpenTest, mnuDelTest }) {
        a->setEnabled(!taker);
        a->setStatusTip(taker ? onlyTaking : QString());
    }
    for (const char *key : { "tbrFL", "tbrCreatTest", "tbrEditTest", "tbrDelTest" }) {
        QAction *button = Toolbar1->findChild<QAction *>(QLatin1String(key));
        button->setEnabled(!taker);
        button->setToolTip(taker ? onlyTaking : button->text());
    }
    if (taker && tell)
        msgBox(QStringLiteral("你在题库服务器“%1”上是答题者：只能进行已经发布的测试，"
                              "不能修改题库。")
                   .arg(BankChoice::serverName(location)));
    if (!online) {
        m_handIn->stop();
    } else {
        m_handIn->start();
        QTimer::singleShot(0, this, &mdiMain::handInWaiting);
    }
}

void mdiMain::handInWaiting()
{
    const QString bank = currentBank();
    if (BankBackend::isFile(bank))
        return;
    // A server that does not answer is asked less often, up to every five minutes, so
    // that the windows are not kept waiting for it again and again.
    const Results::Outbox::Round round = Results::Outbox::handIn(Keeping::historyPath(), bank);
    m_handIn->setInterval(round.error ? std::min(m_handIn->interval() * 2, 300000) : 30000);
}

void mdiMain::createMenus()
{
    auto action = [this](const char *name, const QString &caption, void (mdiMain::*slot)()) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        if (slot)
            connect(a, &QAction::triggered, this, slot);
        return a;
    };

    QMenu *pro = menuBar()->addMenu(QStringLiteral("程序(&P)"));
    mnuPro = pro->menuAction();
    mnuPro->setObjectName(QStringLiteral("mnuPro"));
    mnuFL = action("mnuFL", QStringLiteral("编辑测试类(&C)"), &mdiMain::mnuFL_Click);
    mnuExit = action("mnuExit", QStringLiteral("结束程序(&X)"), &mdiMain::mnuExit_Click);
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuExit->setShortcutContext(Qt::ApplicationShortcut);
    mnuImport = action("mnuImport", QStringLiteral("导入测试(&I)…"), &mdiMain::mnuImport_Click);
    mnuExport = action("mnuExport", QStringLiteral("导出测试(&E)…"), &mdiMain::mnuExport_Click);
    mnuServer
        = action("mnuServer", QStringLiteral("连接题库服务器(&S)…"), &mdiMain::mnuServer_Click);
    mnuFileBank = action(
        "mnuFileBank", QStringLiteral("使用本机题库文件(&L)"), &mdiMain::mnuFileBank_Click);
    mnuOffline = action("mnuOffline", QStringLiteral("离线测试(&O)"), &mdiMain::mnuOffline_Click);
    pro->addActions({ mnuFL, mnuImport, mnuExport, mnuServer, mnuFileBank, mnuOffline, mnuExit });

    QMenu *test = menuBar()->addMenu(QStringLiteral("测试项目(&T)"));
    mnuTest = test->menuAction();
    mnuTest->setObjectName(QStringLiteral("mnuTest"));
    mnuCreatTest
        = action("mnuCreatTest", QStringLiteral("建立测试项目(&C)"), &mdiMain::mnuCreatTest_Click);
    mnuOpenTest
        = action("mnuOpenTest", QStringLiteral("修改测试项目(&E)"), &mdiMain::mnuOpenTest_Click);
    mnuTesting
        = action("mnuTesting", QStringLiteral("进行测试项目(&R)"), &mdiMain::mnuTesting_Click);
    mnuDelTest
        = action("mnuDelTest", QStringLiteral("删除测试项目(&D)"), &mdiMain::mnuDelTest_Click);
    test->addActions({ mnuCreatTest, mnuOpenTest, mnuTesting, mnuDelTest });
    mnuHistory = action("mnuHistory", QStringLiteral("测试记录(&H)"), &mdiMain::mnuHistory_Click);
    test->addAction(mnuHistory);
    mnuAnalysis
        = action("mnuAnalysis", QStringLiteral("题目分析(&A)"), &mdiMain::mnuAnalysis_Click);
    mnuAskTaker = action(
        "mnuAskTaker", QStringLiteral("测试前询问测试者(&W)"), &mdiMain::mnuAskTaker_Click);
    mnuAskTaker->setCheckable(true);
    mnuAskTaker->setChecked(Taker::asking());
    mnuPublish = action("mnuPublish", QStringLiteral("发布测试(&P)…"), &mdiMain::mnuPublish_Click);
    mnuPublish->setEnabled(false);
    mnuClassHistory = action(
        "mnuClassHistory", QStringLiteral("全班的测试记录(&K)"), &mdiMain::mnuClassHistory_Click);
    mnuClassHistory->setEnabled(false);
    test->addActions({ mnuAnalysis, mnuAskTaker, mnuPublish, mnuClassHistory });
    connect(test, &QMenu::aboutToShow, this, [this] { mnuAskTaker->setChecked(Taker::asking()); });

    mnuBackMic = action("mnuBackMic", QStringLiteral("背景音乐(&M)"), &mdiMain::mnuBackMic_Click);
    menuBar()->addAction(mnuBackMic);

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    mnuH = help->menuAction();
    mnuH->setObjectName(QStringLiteral("mnuH"));
    mnuIntro = action("mnuIntro", QStringLiteral("Qelvi简介(&I)"), &mdiMain::mnuIntro_Click);
    mnuAbout = action("mnuAbout", QStringLiteral("关于Qelvi(&A)"), &mdiMain::mnuAbout_Click);
    help->addActions({ mnuIntro, mnuAbout });
}

void mdiMain::createToolbar()
{
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setIconSize(QSize(32, 32));
    const struct
    {
        const char *key;
        const char *text;
        const char *icon;
    } buttons[] = {
        { "tbrFL", "测试分类", "tbr-categories" },
        { "tbrCreatTest", "建立测试", "tbr-create" },
        { "tbrEditTest", "编辑测试", "tbr-edit" },
        { "tbrDelTest", "删除测试", "tbr-delete" },
        { "tbrTesting", "进行测试", "tbr-take" },
        { "tbrHistory", "测试记录", "tbr-history" },
        { "tbrMusic", "背景音乐", "tbr-music" },
        { "tbrExit", "退出Qelvi", "tbr-exit" },
    };
    for (const auto &b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction *a = Toolbar1->addAction(
            QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(b.icon))),
            QString::fromUtf8(b.text));
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(QString::fromUtf8(b.text));
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
}

void mdiMain::Form_Load()
{
    // The music controller stays loaded, hidden and 1 x 1 twip; its first resize with
    // the flag "F" starts the default piece.
    frmMusic *music = Forms::load<frmMusic>();
    music->Label2->setText(QStringLiteral("F"));
    music->Hide();
    music->setHeight(1);
    music->setWidth(1);

    Forms::load<frmAno>();
    centreAno();
    Forms::find<frmAno>()->Show();
    // Texts a clash left unstored when the program last ended unattended.
    if (const QString notice = Unsaved::takeNotice(programFile(QStringLiteral("test.mdb")));
        !notice.isEmpty())
        QTimer::singleShot(0, this, [notice] { msgBox(notice); });
    // The server bank chosen last, once the window is drawn: connecting may take a while
    // and ask for a password.
    QTimer::singleShot(0, this, [] { BankChoice::restore(); });
}

void mdiMain::centreAno()
{
    frmAno *ano = Forms::find<frmAno>();
    if (!ano)
        return;
    const QSizeF inner = Forms::mainInner();
    ano->setLeft(float(inner.width()) / 2 - float(ano->Width()) / 2);
    ano->setTop(float(inner.height()) / 2 - float(ano->Height()) / 2);
}

bool mdiMain::subUnload()
{
    // All are asked first: an editor that stays open keeps the others open too.
    return Forms::unloadTogether({ frmAddTest::staticMetaObject.className(),
        frmBFEdit::staticMetaObject.className(), frmScore::staticMetaObject.className(),
        frmTest::staticMetaObject.className(), frmEdittest::staticMetaObject.className() });
}

bool mdiMain::unloadBankWindows()
{
    QStringList names { frmAddTest::staticMetaObject.className(),
        frmBFEdit::staticMetaObject.className(), frmScore::staticMetaObject.className(),
        frmTest::staticMetaObject.className(), frmEdittest::staticMetaObject.className() };
    const QStringList staying { frmMusic::staticMetaObject.className(),
        frmAno::staticMetaObject.className(), frmServer::staticMetaObject.className() };
    for (const Form *form : Forms::openForms()) {
        const QString name = QLatin1String(form->metaObject()->className());
        if (!names.contains(name) && !staying.contains(name))
            names << name;
    }
    return Forms::unloadTogether(names);
}

void mdiMain::mnuFL_Click()
{
    Forms::show<frmFL>();
}

void mdiMain::mnuCreatTest_Click()
{
    if (!subUnload())
        return;
    Forms::show<frmAddTest>();
}

void mdiMain::openChooser(qint16 mode)
{
    if (!subUnload())
        return;
    if (!HandOff::writeModeCode(mode))
        return;
    Forms::show<frmBFEdit>();
}

void mdiMain::mnuOpenTest_Click()
{
    openChooser(HandOff::EditMode);
}

void mdiMain::mnuTesting_Click()
{
    openChooser(HandOff::TakeMode);
}

void mdiMain::mnuDelTest_Click()
{
    openChooser(HandOff::ManageMode);
}

// The history works on no single test: nothing is closed first.
void mdiMain::mnuHistory_Click()
{
    Forms::show<frmHistory>();
}

void mdiMain::mnuAnalysis_Click()
{
    Forms::show<frmAnalysis>();
}

// The setting as the menu item shows it after the click.
void mdiMain::mnuAskTaker_Click()
{
    QString reason;
    if (!Taker::setAsking(mnuAskTaker->isChecked(), &reason)) {
        msgBox(QStringLiteral("这个设置没能保存：%1").arg(reason));
        mnuAskTaker->setChecked(Taker::asking());
    }
}

// Importing and exporting close the single-test windows first, as the chooser does:
// an open editor commits its record before the bank is read or written.
void mdiMain::mnuPublish_Click()
{
    Forms::show<frmPublish>();
}

void mdiMain::mnuClassHistory_Click()
{
    Forms::show<frmClassHistory>();
}

void mdiMain::mnuOffline_Click()
{
    const QString bank = currentBank();
    BankChoice::useSnapshot(
        Classroom::snapshotPath(BankBackend::isFile(bank) ? BankChoice::remembered() : bank));
}

void mdiMain::mnuImport_Click()
{
    if (!subUnload())
        return;
    Forms::show<frmImport>();
}

void mdiMain::mnuExport_Click()
{
    if (!subUnload())
        return;
    Forms::show<frmExport>();
}

// The windows on the bank close only when the bank changes, in BankChoice.
void mdiMain::mnuServer_Click()
{
    Forms::show<frmServer>();
}

void mdiMain::mnuFileBank_Click()
{
    BankChoice::useFile();
}

void mdiMain::mnuBackMic_Click()
{
    Forms::show<frmMusic>();
}

void mdiMain::mnuIntro_Click()
{
    Forms::show<frmIntro>();
}

void mdiMain::mnuAbout_Click()
{
    Forms::show<frmAbout>();
}

void mdiMain::mnuExit_Click()
{
    // What the editors hold is committed as closing their windows would; then the
    // hand-off files go and the program ends. An editor that cannot store what it shows
    // stays open instead, and so does the program.
    if (!Forms::unloadAll())
        return;
    HandOff::removeAll();
    QCoreApplication::exit(0);
}

void mdiMain::Toolbar1_ButtonClick(const QString &key)
{
    const struct
    {
        const char *key;
        void (mdiMain::*handler)();
    } table[] = {
        { "tbrCreatTest", &mdiMain::mnuCreatTest_Click },
        { "tbrEditTest", &mdiMain::mnuOpenTest_Click },
        { "tbrTesting", &mdiMain::mnuTesting_Click },
        { "tbrDelTest", &mdiMain::mnuDelTest_Click },
        { "tbrMusic", &mdiMain::mnuBackMic_Click },
        { "tbrExit", &mdiMain::mnuExit_Click },
        { "tbrFL", &mdiMain::mnuFL_Click },
        { "tbrHistory", &mdiMain::mnuHistory_Click },
    };
    for (const auto &entry : table) {
        if (key == QLatin1String(entry.key)) {
            (this->*entry.handler)();
            return;
        }
    }
}

void mdiMain::closeEvent(QCloseEvent *event)
{
    // Every window commits as it closes; the hand-off files stay. An editor that cannot
    // store what it shows keeps the program open.
    if (!Forms::unloadAll()) {
        event->ignore();
        return;
    }
    event->accept();
}

bool mdiMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area->viewport() && event->type() == QEvent::Resize) {
        // The window manager maximises the main window after it has loaded: the
        // splash follows, centred in the client area the user sees.
        centreAno();
        // The background picture fills the client area.
        const QPixmap picture
            = coverPicture(QStringLiteral(":/images/background.jpg"), m_area->viewport()->size());
        if (!picture.isNull())
            m_area->setBackground(picture);
    }
    return QMainWindow::eventFilter(watched, event);
}
