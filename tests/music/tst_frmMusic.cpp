// The music controller in the main window, offscreen, on SDL's silent "dummy" output
// (which consumes the audio in real time, so positions move as with sound).
#include "base/programfolder.h"
#include "forms/forms.h"
#include "music/frmMusic.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/testpieces.h"
#include "support/userinput.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray iniLine(const QString &path)
{
    return path.toUtf8() + "\r\n";
}

frmMusic *controller()
{
    return Forms::find<frmMusic>();
}

void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class tst_frmMusic : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndStartState();
    void startUpPlaysTheDefaultPiece();
    void startUpWithoutAPiece_data();
    void startUpWithoutAPiece();
    void startUpReadsTheSettingLine_data();
    void startUpReadsTheSettingLine();
    void openUsesTheDeviceTypeRule_data();
    void openUsesTheDeviceTypeRule();
    void openCancelledClosesThePiece();
    void playPauseAndStop();
    void storeAsDefault_data();
    void storeAsDefault();
    void storeAsDefaultThatCannotBeWritten();
    void loopsAtTheEnd_data();
    void loopsAtTheEnd();
    void openingAShorterPieceDoesNotStartIt();
    void closeBoxHidesAndTheMusicGoesOn();
    void longPathShowsItsEnd();
};

void tst_frmMusic::layoutAndStartState()
{
    TestFolder folder(TestFolder::NoBank);
    MainWindowFixture main;
    frmMusic *m = Forms::load<frmMusic>();
    QCOMPARE(m->Caption(), QStringLiteral("Qelvi——背景音乐控制器"));
    QCOMPARE(m->Label1->text(), QStringLiteral("文件名"));
    QCOMPARE(m->Label1->pos(), twipsRect(600, 480, 0, 0).topLeft());
    QCOMPARE(m->ProgressBar1->geometry(), twipsRect(600, 840, 3732, 372));
    const struct
    {
        QToolButton *button;
        QRect place;
        QString caption;
    } buttons[] = {
        { m->Command4, twipsRect(840, 1440, 975, 375), {} },
        { m->Command5, twipsRect(2040, 1440, 855, 375), {} },
        { m->Command6, twipsRect(3120, 1440, 855, 375), {} },
        { m->Command1, twipsRect(840, 2280, 840, 708), QStringLiteral("打开") },
        { m->Command2, twipsRect(2040, 2280, 852, 732), QStringLiteral("存为默认") },
        { m->Command3, twipsRect(3120, 2280, 840, 732), QStringLiteral("退出") },
    };
    for (const auto &b : buttons) {
        QCOMPARE(b.button->geometry(), b.place);
        QCOMPARE(b.button->text(), b.caption);
        QVERIFY(!b.button->icon().pixmap(QSize(16, 16)).isNull());
    }
    QVERIFY(m->Label2->isHidden());
    QCOMPARE(m->Label2->text(), QStringLiteral("Label2"));
    QVERIFY(m->Label3->isHidden()); // nothing plays yet
    // The progress update runs from the load on; the loop check from the first resize.
    QVERIFY(m->Timer1->isActive());
    QCOMPARE(m->Timer1->interval(), 50);
    QVERIFY(!m->Timer2->isActive());
    QCOMPARE(m->Timer2->interval(), 10);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeNotOpen));
}

void tst_frmMusic::startUpPlaysTheDefaultPiece()
{
    TestFolder folder(TestFolder::NoBank);
    folder.copyShipped(QStringLiteral("music.ini"));
    const QString piece = folder.copyShipped(QStringLiteral("gaoshanls.mp3"));
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    QVERIFY(m);
    QCOMPARE(m->Label2->text(), QString());
    QVERIFY(!m->Visible());
    // The shipped setting names the piece beside the program, wherever that is.
    QCOMPARE(m->Label1->text(), piece);
    QCOMPARE(m->MMControl1->FileName(), piece);
    QCOMPARE(m->MMControl1->DeviceType(), QString());
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));
    QCOMPARE(m->ProgressBar1->Max(), float(m->MMControl1->Length()));
    QCOMPARE(m->ProgressBar1->Min(), 1.0f);
    QVERIFY(m->Timer2->isActive());
    QTRY_VERIFY(m->ProgressBar1->Value() > 1);

    // The music command shows the same controller, at its size, still playing.
    main->mnuBackMic_Click();
    QCOMPARE(controller(), m);
    QVERIFY(m->Visible());
    QVERIFY(qAbs(m->Width() - 4968) <= 8 * 15);
    QVERIFY(qAbs(m->Height() - 3876) <= 8 * 15);
    QCOMPARE(m->Label1->text(), piece);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));

    // 退出 hides it; the music goes on.
    userinput::press(m, u"退出");
    QVERIFY(!m->Visible());
    QCOMPARE(controller(), m);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));
}

void tst_frmMusic::startUpWithoutAPiece_data()
{
    QTest::addColumn<bool>("hasIni");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("label");

    QTest::newRow("no music.ini") << false << QByteArray() << QString();
    QTest::newRow("empty music.ini") << true << QByteArray() << QString();
    QTest::newRow("empty line") << true << QByteArray("\r\n") << QString();
    QTest::newRow("missing piece")
        << true << QByteArray("/no/such/piece.mp3\r\n") << QStringLiteral("/no/such/piece.mp3");
    // Only the exact text stands for the piece beside the program.
    QTest::newRow("special path in other letter case")
        << true << QByteArray("e:\\qelvi\\gaoshanls.mp3\r\n")
        << QStringLiteral("e:\\qelvi\\gaoshanls.mp3");
}

void tst_frmMusic::startUpWithoutAPiece()
{
    QFETCH(bool, hasIni);
    QFETCH(QByteArray, ini);
    QFETCH(QString, label);

    TestFolder folder(TestFolder::NoBank);
    folder.copyShipped(QStringLiteral("gaoshanls.mp3"));
    if (hasIni)
        folder.write(QStringLiteral("music.ini"), ini);
    ScriptedMessages messages;
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    QCOMPARE(m->Label1->text(), label);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeNotOpen));
    QVERIFY(m->Timer2->isActive());
    QTest::qWait(100);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeNotOpen));
    QVERIFY(messages.texts().isEmpty());
}

void tst_frmMusic::startUpReadsTheSettingLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("end");

    QTest::newRow("UTF-8, CR LF") << "高山流水.wav" << QByteArray("UTF-8") << QByteArray()
                                  << QByteArray("\r\nmore\r\n");
    QTest::newRow("GBK from a Windows system")
        << "高山流水.wav" << QByteArray("GBK") << QByteArray() << QByteArray("\r\n");
    QTest::newRow("LF only") << "曲.mid" << QByteArray("UTF-8") << QByteArray() << QByteArray("\n");
    QTest::newRow("UTF-8 with a byte-order mark")
        << "曲.wav" << QByteArray("UTF-8") << QByteArray("\xef\xbb\xbf") << QByteArray("\r\n");
    QTest::newRow("no line end") << "tone.wav" << QByteArray("UTF-8") << QByteArray()
                                 << QByteArray();
}

void tst_frmMusic::startUpReadsTheSettingLine()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, end);

    TestFolder folder(TestFolder::NoBank);
    const QString piece = folder.write(name,
        name.endsWith(QLatin1String(".mid")) ? TestPieces::midi(8, 120) : TestPieces::wav(3000));
    QStringEncoder encoder(encoding.constData());
    QVERIFY(encoder.isValid());
    const QByteArray line = encoder.encode(piece);
    QVERIFY(!encoder.hasError());
    folder.write(QStringLiteral("music.ini"), prefix + line + end);
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    QCOMPARE(m->Label1->text(), piece);
    QCOMPARE(m->MMControl1->Error(), int(MediaDevice::NoError));
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));
}

void tst_frmMusic::openUsesTheDeviceTypeRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");

    QTest::newRow("wav") << "曲.wav"
                         << "WaveAudio";
    QTest::newRow("mid") << "曲.mid"
                         << "Sequencer";
    QTest::newRow("upper-case WAV") << "曲.WAV"
                                    << "";
    QTest::newRow("upper-case MID") << "曲.MID"
                                    << "";
    QTest::newRow("mp3") << "曲.mp3"
                         << "";
}

void tst_frmMusic::openUsesTheDeviceTypeRule()
{
    QFETCH(QString, name);
    QFETCH(QString, type);

    TestFolder folder(TestFolder::NoBank);
    QString piece;
    if (name.endsWith(QLatin1String("mp3"))) {
        piece = folder.file(name);
        QVERIFY(QFile::copy(TestPieces::shipped(QStringLiteral("gaoshanls.mp3")), piece));
    } else {
        piece = folder.write(name,
            name.endsWith(QLatin1String("id"), Qt::CaseInsensitive) ? TestPieces::midi(4, 120)
                                                                    : TestPieces::wav(2000));
    }
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    ScriptedFileDialog dialog;
    dialog.choose(piece);
    click(m->Command1);

    QCOMPARE(dialog.shown().size(), 1);
    const ScriptedFileDialog::Shown &shown = dialog.shown().constFirst();
    QCOMPARE(shown.filter,
        QStringLiteral("MP3文件(*.MP3)|*.MP3|CD音频(*.WAV)|*.WAV|Windows音频(*.mid)|"
                       "*.mid|所有文件(*.*)|*.*"));
    QCOMPARE(shown.flags, 0);
    QVERIFY(shown.cancelError);
    QCOMPARE(shown.fileName, QString());

    QCOMPARE(m->Label1->text(), piece);
    QCOMPARE(m->MMControl1->DeviceType(), type);
    QCOMPARE(m->MMControl1->Error(), int(MediaDevice::NoError));
    QCOMPARE(m->ProgressBar1->Max(), float(m->MMControl1->Length()));
    // Opened, waiting at its start: the play button starts it, not the open.
    QTest::qWait(100);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeStop));
    click(m->Command4);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));
}

void tst_frmMusic::openCancelledClosesThePiece()
{
    TestFolder folder(TestFolder::NoBank);
    const QString piece = folder.write(QStringLiteral("tone.wav"), TestPieces::wav(3000));
    folder.write(QStringLiteral("music.ini"), iniLine(piece));
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));

    ScriptedFileDialog dialog;
    dialog.cancel();
    click(m->Command1);
    QCOMPARE(m->Label1->text(), QString());
    QCOMPARE(m->MMControl1->FileName(), QString());
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeNotOpen));
    QTest::qWait(100);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeNotOpen));
    click(m->Command4);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeNotOpen));
}

void tst_frmMusic::playPauseAndStop()
{
    TestFolder folder(TestFolder::NoBank);
    const QString piece = folder.write(QStringLiteral("tone.wav"), TestPieces::wav(4000));
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    ScriptedFileDialog dialog;
    dialog.choose(piece);
    click(m->Command1);
    MediaDevice *device = m->MMControl1;

    // The tests play on the silent output: the controller says nothing is heard while
    // it plays, and only then.
    const auto toldSilent = [m] {
        return !m->Label3->isHidden() && m->Label3->text() == QStringLiteral("没有可用的声音设备");
    };
    QVERIFY(!toldSilent());
    click(m->Command4);
    QCOMPARE(device->Mode(), int(MediaDevice::ModePlay));
    QCOMPARE(MediaDevice::audioDriver(), QStringLiteral("dummy"));
    QVERIFY(toldSilent());
    QTRY_VERIFY(device->Position() > 500);

    // Pause keeps the place; play goes on from it.
    click(m->Command5);
    QCOMPARE(device->Mode(), int(MediaDevice::ModePause));
    QVERIFY(!toldSilent());
    const int paused = device->Position();
    QTest::qWait(200);
    QCOMPARE(device->Position(), paused);
    click(m->Command4);
    QCOMPARE(device->Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device->Position() >= paused);
    QTRY_VERIFY(device->Position() > paused + 100);

    // Stop waits at the start of the same piece; play starts it from there.
    click(m->Command6);
    QCOMPARE(device->Mode(), int(MediaDevice::ModeStop));
    QVERIFY(!toldSilent());
    QCOMPARE(device->Position(), 0);
    QCOMPARE(device->FileName(), piece);
    QCOMPARE(m->Label1->text(), piece);
    click(m->Command4);
    QCOMPARE(device->Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device->Position() < 400);
}

void tst_frmMusic::storeAsDefault_data()
{
    QTest::addColumn<bool>("cancelOpen");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("written");

    QTest::newRow("yes") << false << MsgAnswer::Yes << true;
    QTest::newRow("no") << false << MsgAnswer::No << false;
    QTest::newRow("after a cancelled open") << true << MsgAnswer::Yes << true;
}

void tst_frmMusic::storeAsDefault()
{
    QFETCH(bool, cancelOpen);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, written);

    TestFolder folder(TestFolder::NoBank);
    const QString piece = folder.write(QStringLiteral("新曲.wav"), TestPieces::wav(2000));
    // Longer than any new line, so a leftover tail would show.
    const QByteArray old
        = iniLine(QStringLiteral("/a/much/longer/path/than/the/new/one/old-piece.mp3"));
    folder.write(QStringLiteral("music.ini"), old);
    {
        MainWindowFixture main(QSize(1024, 768), true);
        frmMusic *m = controller();
        ScriptedFileDialog dialog;
        if (cancelOpen)
            dialog.cancel();
        else
            dialog.choose(piece);
        click(m->Command1);

        ScriptedMessages messages;
        messages.answer(answer);
        click(m->Command2);
        QCOMPARE(
            messages.shown().constFirst().text, QStringLiteral("要把当前音乐存为默认背景音乐吗？"));
        QCOMPARE(messages.shown().constFirst().style, MsgStyle::Question);
        if (!written) {
            QCOMPARE(messages.texts().size(), 1);
            QCOMPARE(folder.read(QStringLiteral("music.ini")), old);
            return;
        }
        QCOMPARE(messages.texts().size(), 2);
        QCOMPARE(messages.last(), QStringLiteral("已经保存。"));
        QCOMPARE(messages.shown().last().style, MsgStyle::Information);
        QCOMPARE(folder.read(QStringLiteral("music.ini")), iniLine(cancelOpen ? QString() : piece));
    }
    // The next start plays what was stored (nothing after a cancelled open).
    MainWindowFixture again(QSize(1024, 768), true);
    frmMusic *m = controller();
    QCOMPARE(m->Label1->text(), cancelOpen ? QString() : piece);
    QCOMPARE(
        m->MMControl1->Mode(), int(cancelOpen ? MediaDevice::ModeNotOpen : MediaDevice::ModePlay));
}

void tst_frmMusic::storeAsDefaultThatCannotBeWritten()
{
    TestFolder folder(TestFolder::NoBank);
    // A folder in the file's place fails the write whatever the user's rights.
    QVERIFY(QDir(folder.file(QString())).mkdir(QStringLiteral("music.ini")));
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    ScriptedMessages messages;
    messages.answer(MsgAnswer::Yes);
    click(m->Command2);
    QCOMPARE(messages.texts().size(), 2);
    const QString report = messages.last();
    QVERIFY2(report != QStringLiteral("已经保存。"), qPrintable(report));
    QVERIFY2(report.contains(QDir::toNativeSeparators(folder.file(QStringLiteral("music.ini")))),
        qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("（")) && !report.contains(QStringLiteral("（）")),
        qPrintable(report));
    QCOMPARE(messages.shown().last().style, MsgStyle::Information);
    QVERIFY(QFileInfo(folder.file(QStringLiteral("music.ini"))).isDir());
}

void tst_frmMusic::loopsAtTheEnd_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wav") << "short.wav" << TestPieces::wav(300);
    QTest::newRow("midi") << "short.mid" << TestPieces::midi(2, 240);
}

void tst_frmMusic::loopsAtTheEnd()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    TestFolder folder(TestFolder::NoBank);
    folder.write(QStringLiteral("music.ini"), iniLine(folder.write(name, bytes)));
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    MediaDevice *device = m->MMControl1;
    m->Timer1->stop();
    m->Timer2->stop();

    // Played to its end, the bar reaches its maximum and the loop check starts again.
    QTRY_COMPARE_WITH_TIMEOUT(device->Mode(), int(MediaDevice::ModeStop), 3000);
    QCOMPARE(device->Position(), device->Length());
    m->Timer2_Timer();
    QCOMPARE(device->Mode(), int(MediaDevice::ModeStop));
    m->Timer1_Timer();
    QCOMPARE(m->ProgressBar1->Value(), m->ProgressBar1->Max());
    m->Timer2_Timer();
    QCOMPARE(device->Mode(), int(MediaDevice::ModePlay));
    QVERIFY(device->Position() < device->Length());

    // One restart: the bar is back at its start, and the check leaves the piece alone.
    QCOMPARE(m->ProgressBar1->Value(), m->ProgressBar1->Min());
}

// The bar keeps the old piece's place until the new one plays; a shorter new piece
// must not look finished to the loop check, which would start it.
void tst_frmMusic::openingAShorterPieceDoesNotStartIt()
{
    TestFolder folder(TestFolder::NoBank);
    folder.write(QStringLiteral("music.ini"),
        iniLine(folder.write(QStringLiteral("long.wav"), TestPieces::wav(3000))));
    const QString shorter = folder.write(QStringLiteral("short.wav"), TestPieces::wav(300));
    MainWindowFixture main(QSize(1024, 768), true);
    frmMusic *m = controller();
    QTRY_VERIFY(m->ProgressBar1->Value() > 600);

    ScriptedFileDialog dialog;
    dialog.choose(shorter);
    click(m->Command1);
    QCOMPARE(m->ProgressBar1->Max(), 300.0f);
    QVERIFY(m->ProgressBar1->Value() < m->ProgressBar1->Max());
    QTest::qWait(150);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModeStop));
}

// The close box is 退出: the same controller, with the same piece still playing, comes
// back with the music command; only the program's end unloads it.
void tst_frmMusic::closeBoxHidesAndTheMusicGoesOn()
{
    TestFolder folder(TestFolder::NoBank);
    const QString piece = folder.write(QStringLiteral("long.wav"), TestPieces::wav(3000));
    folder.write(QStringLiteral("music.ini"), iniLine(piece));
    MainWindowFixture main(QSize(1024, 768), true);
    main->mnuBackMic_Click();
    frmMusic *m = controller();
    QVERIFY(m->Visible());

    QVERIFY(!m->subWindow()->close());
    QVERIFY(!m->Visible());
    settle();
    QCOMPARE(controller(), m);
    const int before = m->MMControl1->Position();
    QTRY_VERIFY(m->MMControl1->Position() > before + 100);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));

    main->mnuBackMic_Click();
    QCOMPARE(controller(), m);
    QVERIFY(m->Visible());
    QCOMPARE(m->Label1->text(), piece);
    QCOMPARE(m->MMControl1->FileName(), piece);
    QCOMPARE(m->MMControl1->Mode(), int(MediaDevice::ModePlay));

    // Closing the main window still ends everything.
    QVERIFY(main->close());
    settle();
    QVERIFY(!controller());
}

void tst_frmMusic::longPathShowsItsEnd()
{
    TestFolder folder(TestFolder::NoBank);
    const QString deep(60, u'长');
    QVERIFY(QDir(folder.file(QString())).mkdir(deep));
    const QString piece
        = folder.write(deep + QStringLiteral("/高山流水.wav"), TestPieces::wav(300));
    folder.write(QStringLiteral("music.ini"), iniLine(piece));
    MainWindowFixture main(QSize(1024, 768), true);
    main->mnuBackMic_Click();
    frmMusic *m = controller();

    // The label keeps the whole path: it is what 存为默认 stores.
    QCOMPARE(m->Label1->text(), piece);
    QCOMPARE(m->Label1->toolTip(), piece);
    QVERIFY(m->Label1->geometry().right() < m->width() - m->Label1->x());
    const QString shown = m->Label1->shownText();
    QVERIFY2(shown.startsWith(u'…') && shown.endsWith(QStringLiteral("长/高山流水.wav")),
        qPrintable(shown));

    // A path that fits is shown whole.
    const QString shorter = QStringLiteral("/音乐/高山流水.wav");
    m->Label1->setPath(shorter);
    QCOMPARE(m->Label1->shownText(), shorter);
}

QTEST_MAIN(tst_frmMusic)
#include "tst_frmMusic.moc"
