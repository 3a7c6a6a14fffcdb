#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;
class QToolBar;

// The main window: a multiple-document frame whose client area holds every other
// window, with the menu bar, the toolbar and the command table. It is the composition
// root: the one place that knows every window. Commands open their window at a fixed
// size and a place computed from this window's outer or inner size; the single-test
// windows are closed first by subUnload().
class mdiMain : public QMainWindow
{
    Q_OBJECT

public:
    mdiMain();

    // Loads the hidden music controller and shows the second splash.
    void Form_Load();
    // Unloads frmAddTest, frmBFEdit, frmScore, frmTest and frmEdittest, in that order.
    // Each is asked first; when one stays open (an editor whose record the bank
    // refuses) none is closed, false is returned and the command that asked stops.
    bool subUnload();
    // Before the bank changes: unloads the single-test windows as subUnload() does, then
    // every other window that reads the bank; the music controller, the splash and the
    // server dialog stay. False when one stays open, and none was closed.
    bool unloadBankWindows();

    QMdiArea *mdiArea() const { return m_area; }
    QToolBar *Toolbar1;

    QAction *mnuPro;
    QAction *mnuFL;
    QAction *mnuImport;
    QAction *mnuExport;
    QAction *mnuServer; // 连接题库服务器
    QAction *mnuFileBank; // 使用本机题库文件, enabled while a server bank is open
    QAction *mnuOffline; // 离线测试, the server bank's published tests as downloaded
    QAction *mnuExit;
    QAction *mnuTest;
    QAction *mnuCreatTest;
    QAction *mnuOpenTest;
    QAction *mnuTesting;
    QAction *mnuDelTest;
    QAction *mnuHistory;
    QAction *mnuAnalysis; // 题目分析
    QAction *mnuAskTaker; // 测试前询问测试者, checked while the runner asks who takes the test
    QAction *mnuPublish; // 发布测试, for an author on a server bank
    QAction *mnuClassHistory; // 全班的测试记录, on a server bank
    QAction *mnuBackMic;
    QAction *mnuH;
    QAction *mnuIntro;
    QAction *mnuAbout;

public slots:
    void mnuFL_Click();
    void mnuImport_Click();
    void mnuExport_Click();
    void mnuServer_Click();
    void mnuFileBank_Click();
    void mnuOffline_Click();
    void mnuCreatTest_Click();
    void mnuOpenTest_Click();
    void mnuTesting_Click();
    void mnuDelTest_Click();
    void mnuHistory_Click();
    void mnuAnalysis_Click();
    void mnuAskTaker_Click();
    void mnuPublish_Click();
    void mnuClassHistory_Click();
    void mnuBackMic_Click();
    void mnuIntro_Click();
    void mnuAbout_Click();
    void mnuExit_Click();
    void Toolbar1_ButtonClick(const QString &key);
    // Hands in the results that wait in the outbox for the open server bank (every 30 s
    // while one is open, and as it opens).
    void handInWaiting();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The toolbar has no menu of its own (no "hide the toolbar").
    QMenu *createPopupMenu() override { return nullptr; }

private:
    void createMenus();
    void createToolbar();
    void openChooser(qint16 mode);
    void centreAno();
    // The caption names the server bank that is open; with the bank file it is "Qelvi".
    // A taker on a server bank may only take tests: the commands that edit are off.
    void showBank(const QString &location, bool tell = false);

    QMdiArea *m_area;
    QTimer *m_handIn;
};
