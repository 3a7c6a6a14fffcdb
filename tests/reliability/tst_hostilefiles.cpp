// Damaged and hostile files where a user meets them: the bank, the hand-off files,
// the music setting and pieces, the About animation, and files or a folder that
// cannot be written. Each window that reads them is opened for real and used; each
// case ends in a clear message or the window's quiet behaviour, never a crash, and
// never a changed file the program was only meant to read.
#include "authoring/frmEdittest.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmFL.h"
#include "binding/DBCombo.h"
#include "binding/DBList.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "info/frmAbout.h"
#include "info/frmHelp.h"
#include "music/frmMusic.h"
#include "platform/filedialog.h"
#include "platform/mediadevice.h"
#include "platform/msgbox.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "support/asnobody.h"
#include "support/bankwindows.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/testpieces.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCategory = QStringLiteral("情商测试"); // of the shipped sample bank
const QString kTest = QStringLiteral("日常情商自测");
const QByteArray kMissing = "<missing>"; // no such file
const QByteArray kFolder = "<folder>"; // a folder where the file should be
const QByteArray kFifo = "<fifo>"; // a named pipe: opening it to read would wait for a writer
const QByteArray kZero = "<link to /dev/zero>"; // a device without end behind a link

QByteArray noise(qsizetype size, quint32 start)
{
    QRandomGenerator random(start);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray shipped(const QString &name)
{
    QFile f(TestPieces::shipped(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Puts bytes (or a marker) at name in the folder.
void place(const TestFolder &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = folder.file(name);
    QFile::remove(path);
    QDir().rmdir(path);
    if (bytes == kFolder)
        QDir().mkdir(path);
    else if (bytes == kFifo)
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
    else if (bytes == kZero)
        QFile::link(QStringLiteral("/dev/zero"), path);
    else if (bytes != kMissing)
        folder.write(name, bytes);
}

// What is at name in the folder, in the terms of place().
QByteArray onDisk(const TestFolder &folder, const QString &name)
{
    const QFileInfo info(folder.file(name));
    struct stat st;
    if (::lstat(QFile::encodeName(info.filePath()).constData(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            return kFifo;
        if (S_ISLNK(st.st_mode) && info.symLinkTarget() == QLatin1String("/dev/zero"))
            return kZero;
    }
    if (info.isDir())
        return kFolder;
    if (!info.exists())
        return kMissing;
    return folder.read(name);
}

// An SQLite file that holds a table of its own and no "分类列表".
QByteArray databaseWithoutCategoryList()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("x"));
        db.setDatabaseName(path);
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes (text TEXT)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("x"));
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Types text into a box key by key, as a user does (any script).
void type(QWidget *box, const QString &text)
{
    box->setFocus();
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The windows that read the bank, each opened the way the program opens it.
enum class Window { Category, NewTest, ChooseEdit, ChooseTake, ChooseManage, Editor, Runner };

Form *open(MainWindowFixture &main, Window window)
{
    Form *form = nullptr;
    switch (window) {
    case Window::Category:
        main->mnuFL_Click();
        form = Forms::find<frmFL>();
        break;
    case Window::NewTest:
        main->mnuCreatTest_Click();
        form = Forms::find<frmAddTest>();
        break;
    case Window::ChooseEdit:
        main->mnuOpenTest_Click();
        form = Forms::find<frmBFEdit>();
        break;
    case Window::ChooseTake:
        main->mnuTesting_Click();
        form = Forms::find<frmBFEdit>();
        break;
    case Window::ChooseManage:
        main->mnuDelTest_Click();
        form = Forms::find<frmBFEdit>();
        break;
    case Window::Editor:
        // As the chooser opens it: the name in temp.txt, then load, place and show.
        if (HandOff::writeTestName(kTest)) {
            form = Forms::show<frmEdittest>();
        }
        break;
    case Window::Runner:
        if (HandOff::writeTestName(kTest)) {
            form = Forms::show<frmTest>();
        }
        break;
    }
    settle();
    settle();
    return form;
}

// Answers option A of every question until the result window opens; false if it
// does not within 500 clicks.
bool takeToTheEnd(frmTest *runner)
{
    for (int i = 0; i < 500 && !Forms::find<frmResult>(); ++i) {
        if (!Forms::find<frmTest>())
            return false;
        click(runner->Label2);
        settle();
    }
    return Forms::find<frmResult>() != nullptr;
}

} // namespace

using bankwindows::clickEntry;
using userinput::pickEntry;
using userinput::press;

class tst_hostilefiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { HandOff::removeAll(); }

    void damagedBank_data();
    void damagedBank();
    void bankBehindALink_data();
    void bankBehindALink();
    void nameFile_data();
    void nameFile();
    void modeFile_data();
    void modeFile();
    void musicFiles_data();
    void musicFiles();
    void animation_data();
    void animation();
    void historyFile_data();
    void historyFile();
    void cannotWrite_data();
    void cannotWrite();
};

// A bank that is missing, empty, cut short, noise, another database, a folder, a FIFO
// or a device,
// in every window that reads the bank: a message that names the file, windows that
// can do nothing close again, and the file stays exactly as it was (a missing one is
// not created).
void tst_hostilefiles::damagedBank_data()
{
    QTest::addColumn<QByteArray>("bank");
    QTest::addColumn<int>("window");

    const QByteArray sample = shipped(QStringLiteral("test.mdb"));
    const struct
    {
        const char *name;
        QByteArray bytes;
    } kinds[] = {
        { "missing", kMissing },
        { "empty", QByteArray() },
        { "cut after 3000 bytes", sample.left(3000) },
        { "cut in half", sample.left(sample.size() / 2) },
        { "random bytes", noise(8192, 11) },
        { "database header then noise", QByteArray("SQLite format 3\0", 16) + noise(8176, 12) },
        { "database without 分类列表", databaseWithoutCategoryList() },
        { "a folder", kFolder },
        { "a FIFO", kFifo },
        { "a link to /dev/zero", kZero },
    };
    const struct
    {
        const char *name;
        Window window;
    } windows[] = {
        { "category editor", Window::Category },
        { "new-test dialog", Window::NewTest },
        { "chooser, edit", Window::ChooseEdit },
        { "chooser, take", Window::ChooseTake },
        { "chooser, manage", Window::ChooseManage },
        { "question editor", Window::Editor },
        { "runner", Window::Runner },
    };
    for (const auto &kind : kinds) {
        for (const auto &window : windows) {
            QTest::addRow("%s, %s", kind.name, window.name) << kind.bytes << int(window.window);
        }
    }
}

void tst_hostilefiles::damagedBank()
{
    QFETCH(QByteArray, bank);
    QFETCH(int, window);
    const auto which = Window(window);

    TestFolder folder(TestFolder::NoBank);
    place(folder, QStringLiteral("test.mdb"), bank);
    ScriptedMessages messages;
    {
        MainWindowFixture main;
        Form *form = open(main, which);
        QVERIFY(form || which == Window::Editor || which == Window::Runner);

        // Then what a user would try next.
        switch (which) {
        case Window::Category: {
            auto *w = static_cast<frmFL *>(form);
            press(w, u"新建");
            type(w->Text1, QStringLiteral("新类"));
            press(w, u"名称确定");
            break;
        }
        case Window::NewTest: {
            auto *w = static_cast<frmAddTest *>(form);
            type(w->Text1, QStringLiteral("新测试"));
            press(w, u"确定");
            break;
        }
        case Window::ChooseEdit:
        case Window::ChooseTake:
            press(form, u"确定");
            break;
        case Window::ChooseManage:
            press(form, u"删除");
            break;
        case Window::Editor:
        case Window::Runner:
            // Nothing to show: they said why and closed.
            QVERIFY(!Forms::find<frmEdittest>());
            QVERIFY(!Forms::find<frmTest>());
            break;
        }
        settle();
    }

    QVERIFY(!messages.texts().isEmpty());
    QVERIFY2(messages.texts().first().contains(QLatin1String("test.mdb")),
        qPrintable(messages.texts().first()));
    BankFile::closeConnection();
    QVERIFY(onDisk(folder, QStringLiteral("test.mdb")) == bank);
}

// test.mdb as a symbolic link: one into another folder is opened, and the user told
// once where the bank really is; the link stays a link and the changes reach the file
// behind it. A link to a file in the program folder is opened without a word.
void tst_hostilefiles::bankBehindALink_data()
{
    QTest::addColumn<bool>("outside");
    QTest::newRow("to another folder") << true;
    QTest::newRow("to a file in the folder") << false;
}

void tst_hostilefiles::bankBehindALink()
{
    QFETCH(bool, outside);

    TestFolder folder(TestFolder::NoBank);
    QTemporaryDir elsewhere;
    const QString target = outside ? elsewhere.filePath(QStringLiteral("bank.db"))
                                   : folder.file(QStringLiteral("real.mdb"));
    QVERIFY(QFile::copy(TestPieces::shipped(QStringLiteral("test.mdb")), target));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    const QString bank = folder.file(QStringLiteral("test.mdb"));
    QVERIFY(QFile::link(target, bank));

    ScriptedMessages messages;
    {
        MainWindowFixture main;
        for (const QString &name : { QStringLiteral("新类"), QStringLiteral("又一类") }) {
            BankFile::closeConnection(); // each window connects afresh
            auto *w = static_cast<frmFL *>(open(main, Window::Category));
            QVERIFY(w);
            press(w, u"新建");
            type(w->Text1, name);
            press(w, u"名称确定");
            settle();
            w->Unload();
            settle();
        }
    }
    BankFile::closeConnection();

    const QStringList texts = messages.texts();
    const auto told = std::count_if(texts.cbegin(), texts.cend(),
        [](const QString &t) { return t.contains(QStringLiteral("链接")); });
    QCOMPARE(told, outside ? 1 : 0);
    if (outside)
        QVERIFY2(texts.join(u'\n').contains(QDir::toNativeSeparators(target)),
            qPrintable(texts.join(u'\n')));
    QVERIFY(QFileInfo(bank).isSymLink());
    const QStringList tables = Catalogue::tables(target);
    QVERIFY(tables.contains(QStringLiteral("新类")));
    QVERIFY(tables.contains(QStringLiteral("又一类")));
}

// temp.txt as the question editor and the runner find it. A name they cannot read
// (or read only in part) is never taken for another test's name.
void tst_hostilefiles::nameFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("editor"); // the question editor rather than the runner
    QTest::addColumn<QString>("outcome"); // "opens", "tells" (message, closes), "quiet"

    const QByteArray name = kTest.toUtf8();
    const QByteArray megabyte(1 << 20, 'a');
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *editor;
        const char *runner;
    } kinds[] = {
        { "missing", kMissing, "tells", "quiet" },
        { "empty", QByteArray(), "tells", "quiet" },
        // Its first line ends in a bare line feed, which no name written ends in.
        { "random bytes", noise(4096, 21), "tells", "quiet" },
        { "1 MB line without end", megabyte, "tells", "tells" },
        { "1 MB line", megabyte + "\r\n", "tells", "tells" },
        { "an empty line", QByteArray("\r\n") + name + "\r\n", "tells", "quiet" },
        // Longer than any name the bank can hold: never used cut short.
        { "line longer than any name", megabyte + megabyte + "\r\n", "tells", "quiet" },
        { "the name, then noise", name + "\r\n" + noise(2048, 22), "opens", "opens" },
        { "the name in UTF-16",
            QByteArray("\xff\xfe")
                + QByteArray(reinterpret_cast<const char *>(kTest.utf16()), kTest.size() * 2),
            "tells", "tells" },
        { "a NUL inside the name", name.left(6) + QByteArray(1, '\0') + name.mid(6), "tells",
            "tells" },
        { "a folder", kFolder, "tells", "quiet" },
    };
    for (const auto &kind : kinds) {
        QTest::addRow("question editor, %s", kind.name)
            << kind.bytes << true << QString::fromLatin1(kind.editor);
        QTest::addRow("runner, %s", kind.name)
            << kind.bytes << false << QString::fromLatin1(kind.runner);
    }
}

void tst_hostilefiles::nameFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, editor);
    QFETCH(QString, outcome);

    TestFolder folder(TestFolder::SampleBank);
    place(folder, QStringLiteral("temp.txt"), bytes);
    const QByteArray bank = folder.read(QStringLiteral("test.mdb"));
    ScriptedMessages messages;
    {
        MainWindowFixture main;
        Form *form = nullptr;
        if (editor) {
            auto *editor = Forms::load<frmEdittest>();
            Forms::place(editor);
            form = editor;
        } else {
            auto *runner = Forms::load<frmTest>();
            Forms::place(runner);
            form = runner;
        }
        form->Show();
        settle();
        settle();
        const bool stillOpen
            = editor ? Forms::find<frmEdittest>() != nullptr : Forms::find<frmTest>() != nullptr;
        if (outcome == QLatin1String("opens")) {
            QVERIFY(stillOpen);
            QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'\n')));
            if (editor) {
                QCOMPARE(static_cast<frmEdittest *>(form)->Label6->text(), kTest);
            } else {
                QVERIFY(!static_cast<frmTest *>(form)->Label1->text().isEmpty());
            }
        } else if (outcome == QLatin1String("tells")) {
            QVERIFY(!stillOpen);
            QCOMPARE(messages.texts().size(), 1);
        } else {
            // The runner's load ends quietly; an answer clicked then ends it without a
            // result and without harm.
            QVERIFY(stillOpen);
            QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'\n')));
            click(static_cast<frmTest *>(form)->Label2);
            settle();
            QVERIFY(!Forms::find<frmResult>());
        }
    }
    BankFile::closeConnection();
    QVERIFY(onDisk(folder, QStringLiteral("temp.txt")) == bytes);
    QVERIFY(folder.read(QStringLiteral("test.mdb")) == bank);
}

// temp1.txt as the chooser (at load and on confirming) and the help window find it.
// Only 1, 2 and 3 mean anything; everything else opens nothing and shows no page.
// results.db where the history window meets it: at once a message with the true reason
// (a damaged file set aside, told once), never a window frozen on a FIFO or a device.
void tst_hostilefiles::historyFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("said");
    QTest::newRow("a FIFO") << kFifo << QStringLiteral("不是普通文件");
    QTest::newRow("a link to /dev/zero") << kZero << QStringLiteral("不是普通文件");
    QTest::newRow("a folder") << kFolder << QStringLiteral("文件夹");
    QTest::newRow("random bytes") << noise(8192, 61) << QStringLiteral("results.db.damaged");
}

void tst_hostilefiles::historyFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, said);
    TestFolder folder(TestFolder::SampleBank);
    place(folder, QStringLiteral("results.db"), bytes);
    ScriptedMessages messages;
    {
        MainWindowFixture main;
        main->mnuHistory_Click();
        settle();
        settle();
    }
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY2(messages.texts().first().contains(said), qPrintable(messages.texts().first()));
    const bool damaged = said.startsWith(QLatin1String("results.db"));
    QCOMPARE(onDisk(folder, QStringLiteral("results.db.damaged")), damaged ? bytes : kMissing);
    QVERIFY(onDisk(folder, QStringLiteral("results.db")) == (damaged ? kMissing : bytes));
}

void tst_hostilefiles::modeFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("mode"); // the code the readers must see, 0 for none

    QTest::newRow("missing") << kMissing << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("random bytes") << noise(4096, 31) << 0;
    QTest::newRow("1 MB of digits") << QByteArray(1 << 20, '2') << 0;
    QTest::newRow("1 MB line after the code") << " 2 " + QByteArray(1 << 20, 'x') << 2;
    QTest::newRow("65538 (2 in 16 bits)") << QByteArray(" 65538 \r\n") << 0;
    QTest::newRow("-32769") << QByteArray("-32769 \r\n") << 0;
    QTest::newRow("-65535 (1 in 16 bits)") << QByteArray("-65535 \r\n") << 0;
    QTest::newRow("a folder") << kFolder << 0;
    QTest::newRow("code 2, as written") << QByteArray(" 2 \r\n") << 2;
    QTest::newRow("code 3, as written") << QByteArray(" 3 \r\n") << 3;
}

void tst_hostilefiles::modeFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, mode);

    TestFolder folder(TestFolder::SampleBank);
    place(folder, QStringLiteral("temp1.txt"), bytes);
    ScriptedMessages messages;
    {
        MainWindowFixture main;
        // The chooser, as if its opener had just written the file.
        frmBFEdit *chooser = Forms::load<frmBFEdit>();
        Forms::place(chooser, 5892, 5568, Forms::Base::Outer, 1.7);
        chooser->Show();
        settle();
        QCOMPARE(chooser->Command1->isVisible(), mode != 3);
        QCOMPARE(chooser->Command3->isVisible(), mode == 3);
        QVERIFY(pickEntry(chooser->DBCombo1, kCategory));
        QVERIFY(clickEntry(chooser->DBList1, kTest));
        if (mode != 3) {
            press(chooser, u"确定");
            settle();
            settle();
            QCOMPARE(Forms::find<frmTest>() != nullptr, mode == 2);
            QCOMPARE(Forms::find<frmEdittest>() != nullptr, mode == 1);
            QCOMPARE(folder.read(QStringLiteral("temp.txt")), kTest.toUtf8() + "\r\n");
        }

        frmHelp *help = Forms::load<frmHelp>();
        Forms::place(help);
        help->Show();
        settle();
        QCOMPARE(help->Label1->isVisible(), mode == 1);
        QCOMPARE(help->Label2->isVisible(), mode == 2);
    }
    QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'\n')));
    QVERIFY(onDisk(folder, QStringLiteral("temp1.txt")) == bytes);
}

// music.ini and the pieces it names, at start-up and from the controller's buttons:
// whatever cannot be played stays silent, without a message (the start-up and open
// steps skip what fails), and the setting is left as it was.
void tst_hostilefiles::musicFiles_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("piece"); // a file the ini may name, written from `bytes`, or ""
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("silent"); // must not be playing

    const QByteArray shippedIni = shipped(QStringLiteral("music.ini"));
    const QByteArray mp3 = shipped(QStringLiteral("gaoshanls.mp3"));
    // A line naming a file of the program folder; the folder is known only in the test.
    const QByteArray here = "<here>/";

    QTest::newRow("ini of random bytes") << noise(4096, 41) << QString() << QByteArray() << true;
    QTest::newRow("ini of random bytes, huge")
        << noise(8 << 20, 42) << QString() << QByteArray() << true;
    QTest::newRow("ini of one 16 MB line")
        << QByteArray(16 << 20, 'x') << QString() << QByteArray() << true;
    QTest::newRow("ini naming a missing file") << here + "nothing.mp3\r\n"
                                               << QString() << QByteArray() << true;
    QTest::newRow("ini naming the bank") << here + "test.mdb\r\n"
                                         << QString() << QByteArray() << true;
    QTest::newRow("ini naming text called .wav")
        << here + "tune.wav\r\n"
        << QStringLiteral("tune.wav") << QByteArray("not a sound\r\n") << true;
    QTest::newRow("ini naming noise called .mid")
        << here + "tune.mid\r\n"
        << QStringLiteral("tune.mid") << noise(3000, 43) << true;
    QTest::newRow("ini naming a folder") << here + "sub\r\n"
                                         << QStringLiteral("sub") << kFolder << true;
    QTest::newRow("default piece missing") << shippedIni << QString() << QByteArray() << true;
    QTest::newRow("default piece empty")
        << shippedIni << QStringLiteral("gaoshanls.mp3") << QByteArray() << true;
    QTest::newRow("default piece of random bytes")
        << shippedIni << QStringLiteral("gaoshanls.mp3") << noise(200000, 44) << false;
    QTest::newRow("default piece cut short")
        << shippedIni << QStringLiteral("gaoshanls.mp3") << mp3.left(3000) << false;
    QTest::newRow("default piece with a hole")
        << shippedIni << QStringLiteral("gaoshanls.mp3")
        << mp3.left(20000) + QByteArray(50000, '\0') + mp3.mid(70000) << false;
}

void tst_hostilefiles::musicFiles()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, piece);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, silent);

    TestFolder folder;
    ini.replace("<here>/", QDir::toNativeSeparators(folder.path() + u'/').toUtf8());
    place(folder, QStringLiteral("music.ini"), ini);
    if (!piece.isEmpty())
        place(folder, piece, bytes);
    ScriptedMessages messages;
    {
        MainWindowFixture main(QSize(1024, 768), true);
        frmMusic *music = Forms::find<frmMusic>();
        QVERIFY(music);
        QVERIFY(music->Label1->text().size() < 64 * 1024);
        QTest::qWait(100); // the progress and loop timers run over it
        if (silent)
            QVERIFY(music->MMControl1->Mode() != MediaDevice::ModePlay);
        // The controller shown, and its buttons pressed.
        main->mnuBackMic_Click();
        settle();
        for (const char16_t *button : { u"播放", u"暂停", u"停止", u"播放" }) {
            press(music, button);
            QTest::qWait(20);
        }
        if (silent)
            QVERIFY(music->MMControl1->Mode() != MediaDevice::ModePlay);
        // The same file chosen with 打开, then played.
        if (!piece.isEmpty()) {
            ScriptedFileDialog dialog;
            dialog.choose(folder.file(piece));
            press(music, u"打开");
            press(music, u"播放");
            QTest::qWait(50);
            QCOMPARE(music->Label1->text(), folder.file(piece));
            if (silent)
                QVERIFY(music->MMControl1->Mode() != MediaDevice::ModePlay);
        }
        press(music, u"退出");
    }
    QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'\n')));
    QVERIFY(onDisk(folder, QStringLiteral("music.ini")) == ini);
    if (!piece.isEmpty())
        QVERIFY(onDisk(folder, piece) == bytes);
}

// nosars.gif missing or broken: the About box opens without its animation, says
// nothing about it, and still closes with its button.
void tst_hostilefiles::animation_data()
{
    QTest::addColumn<QByteArray>("gif");

    const QByteArray gif = shipped(QStringLiteral("nosars.gif"));
    QTest::newRow("missing") << kMissing;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("random bytes") << noise(20000, 51);
    QTest::newRow("header then noise") << QByteArray("GIF89a") + noise(20000, 52);
    QTest::newRow("cut after the header") << gif.left(13);
    QTest::newRow("cut in half") << gif.left(gif.size() / 2);
    QTest::newRow("a huge first frame") << QByteArray("GIF89a\xff\xff\xff\xff\xf7\x00\x00", 13)
            + noise(3 * 256, 53) + QByteArray("\x2c\x00\x00\x00\x00\xff\xff\xff\xff\x00\x08", 11)
            + noise(4000, 54);
    QTest::newRow("a folder") << kFolder;
}

void tst_hostilefiles::animation()
{
    QFETCH(QByteArray, gif);

    TestFolder folder;
    place(folder, QStringLiteral("nosars.gif"), gif);
    ScriptedMessages messages;
    {
        MainWindowFixture main;
        main->mnuAbout->trigger();
        frmAbout *about = Forms::find<frmAbout>();
        QVERIFY(about);
        QTest::qWait(200); // frames that there are, shown
        if (QMovie *movie = about->Gif->movie())
            QVERIFY(movie->isValid());
        press(about, u"确定");
        settle();
        QVERIFY(!Forms::find<frmAbout>());
    }
    QVERIFY(messages.texts().isEmpty());
    QVERIFY(onDisk(folder, QStringLiteral("nosars.gif")) == gif);
}

// A bank file, or a whole program folder, that cannot be written: reading goes on
// (a test can be taken), every change is refused with a message, and nothing changes.
// When the tests run as root, who may write anything, these cases run again in a
// process of the unprivileged user "nobody".
void tst_hostilefiles::cannotWrite_data()
{
    QTest::addColumn<QString>("what");
    for (const char *what :
        { "bank, new category", "bank, new test", "bank, rename and delete a test",
            "bank, take a test", "bank, edit a question", "folder, chooser command",
            "folder, new test", "folder with the hand-off files, take a test" })
        QTest::newRow(what) << QString::fromLatin1(what);
}

void tst_hostilefiles::cannotWrite()
{
    QFETCH(QString, what);

    if (asnobody::runsAsRoot()) {
        asnobody::rerun(
            QStringLiteral("cannotWrite:") + QString::fromUtf8(QTest::currentDataTag()));
        return;
    }

    TestFolder folder(TestFolder::SampleBank);
    const bool wholeFolder = what.startsWith(QLatin1String("folder"));
    if (what.contains(QLatin1String("hand-off"))) {
        folder.write(QStringLiteral("temp.txt"), QByteArray());
        folder.write(QStringLiteral("temp1.txt"), QByteArray());
    }
    const QString bankPath = folder.bank();
    const QByteArray bank = folder.read(QStringLiteral("test.mdb"));
    const QStringList tables = folder.tables();
    BankFile::closeConnection();
    if (wholeFolder)
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    else
        QVERIFY(QFile::setPermissions(bankPath, QFile::ReadOwner));
    // Restores writing, so that the folder can go.
    const auto restore = qScopeGuard([&] {
        BankFile::closeConnection();
        QFile::setPermissions(
            folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(bankPath, QFile::ReadOwner | QFile::WriteOwner);
    });

    ScriptedMessages messages;
    int refusals = 1; // messages the case must end with
    {
        MainWindowFixture main;
        if (what == QLatin1String("bank, new category")) {
            auto *w = static_cast<frmFL *>(open(main, Window::Category));
            QCOMPARE(w->DBList1->count(), 1); // reading works
            press(w, u"新建");
            type(w->Text1, QStringLiteral("新类"));
            press(w, u"名称确定");
        } else if (what.endsWith(QLatin1String("new test"))) {
            auto *w = static_cast<frmAddTest *>(open(main, Window::NewTest));
            QVERIFY(pickEntry(w->DBCombo1, kCategory));
            type(w->Text1, QStringLiteral("新测试"));
            press(w, u"确定");
            QVERIFY(Forms::find<frmAddTest>());
        } else if (what.contains(QLatin1String("rename"))) {
            auto *w = static_cast<frmBFEdit *>(open(main, Window::ChooseManage));
            QVERIFY(pickEntry(w->DBCombo1, kCategory));
            QVERIFY(clickEntry(w->DBList1, kTest));
            press(w, u"更名");
            type(w->Text1, QStringLiteral("改"));
            press(w, u"确定更名");
            messages.answer(MsgAnswer::Yes);
            press(w, u"删除");
            refusals = 2;
        } else if (what.contains(QLatin1String("take a test"))) {
            auto *w = static_cast<frmBFEdit *>(open(main, Window::ChooseTake));
            QVERIFY(w);
            QVERIFY(pickEntry(w->DBCombo1, kCategory));
            QVERIFY(clickEntry(w->DBList1, kTest));
            press(w, u"确定");
            settle();
            frmTest *runner = Forms::find<frmTest>();
            QVERIFY(runner);
            QVERIFY(takeToTheEnd(runner));
            QVERIFY(Forms::find<frmResult>());
            // A read-only folder cannot keep the result in the history either: one
            // notice, after the result window.
            refusals = wholeFolder ? 1 : 0;
        } else if (what == QLatin1String("bank, edit a question")) {
            auto *w = static_cast<frmEdittest *>(open(main, Window::Editor));
            QVERIFY(w && Forms::find<frmEdittest>());
            QVERIFY(!w->Text1->toPlainText().isEmpty());
            type(w->Text1, QStringLiteral("改了"));
            press(w, u"下一题"); // commits first: told, and still on the question
            QCOMPARE(messages.texts().size(), 1);
            QVERIFY(w->Text1->toPlainText().contains(QStringLiteral("改了")));
            // Leaving: asked whether to drop the change. No keeps the window (and the
            // program) open; yes lets the user out.
            press(w, u"完成");
            settle();
            QVERIFY(Forms::find<frmEdittest>());
            QVERIFY(!Forms::unloadAll());
            QVERIFY(Forms::find<frmEdittest>());
            messages.answer(MsgAnswer::Yes);
            press(w, u"完成");
            settle();
            QVERIFY(!Forms::find<frmEdittest>());
            QCOMPARE(messages.shown().size(), 4);
            QCOMPARE(messages.shown().at(3).style, MsgStyle::Question);
            QVERIFY(messages.last().contains(QLatin1String("test.mdb")));
        } else if (what == QLatin1String("folder, chooser command")) {
            main->mnuTesting_Click();
            settle();
            QVERIFY(!Forms::find<frmBFEdit>());
            QVERIFY(messages.last().contains(QLatin1String("temp1.txt")));
        }
        // Notices, not counting the question before a delete; each names the file.
        QStringList notices;
        for (const ScriptedMessages::Shown &shown : messages.shown()) {
            if (shown.style == MsgStyle::Information)
                notices << shown.text;
        }
        QCOMPARE(notices.size(), refusals);
        for (const QString &text : notices)
            QVERIFY2(text.contains(QLatin1String("test.mdb"))
                    || text.contains(QLatin1String("temp1.txt"))
                    || text.contains(QLatin1String("results.db")),
                qPrintable(text));
        messages.clear();
        Forms::unloadAll();
    }
    QCOMPARE(folder.read(QStringLiteral("test.mdb")), bank);
    QCOMPARE(folder.tables(), tables);
    if (wholeFolder)
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(),
            what.contains(QLatin1String("hand-off")) ? 3 : 1);
}

QELVI_TEST_MAIN_AS_NOBODY(tst_hostilefiles, QApplication)
#include "tst_hostilefiles.moc"
