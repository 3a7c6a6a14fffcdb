// The information windows: the About box (animation, links, hover colours, keys),
// the introduction's two pages, and the help window's page chosen by temp1.txt.
#include "base/programfolder.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "info/frmAbout.h"
#include "info/frmHelp.h"
#include "info/frmIntro.h"
#include "platform/msgbox.h"
#include "platform/shellopen.h"
#include "platform/twips.h"
#include "support/userinput.h"
#include "support/windowtest.h"

#include <QFile>
#include <QMovie>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using userinput::press;

namespace {

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(programFile(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// All of a label's wrapped text fits its box.
void checkFits(QLabel *label)
{
    const int needed = label->heightForWidth(label->width());
    QVERIFY2(needed <= label->height(),
        qPrintable(QStringLiteral("needs %1 of %2 pixels").arg(needed).arg(label->height())));
}

// The text box keeps one line end per paragraph.
QString shown(QString page)
{
    return page.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

class tst_info : public WindowTest
{
    Q_OBJECT

public:
    // No bank: these windows never read one.
    tst_info()
        : WindowTest(TestFolder::NoBank, true)
    { }

private:
    // Each window opened the way the user opens it.
    frmAbout *openAbout()
    {
        (*main)->mnuAbout->trigger();
        return Forms::find<frmAbout>();
    }
    frmIntro *openIntro()
    {
        (*main)->mnuIntro->trigger();
        return Forms::find<frmIntro>();
    }
    // As an editor's help button does, after writing its code.
    frmHelp *openHelp() { return Forms::show<frmHelp>(); }

private slots:
    void aboutAnimation_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no file
        QTest::addColumn<bool>("plays");
        QFile shipped(QFINDTESTDATA("../../assets/shipped/nosars.gif"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        QTest::newRow("shipped") << shipped.readAll() << true;
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not a picture") << QByteArray("GIF89a and nothing after it") << false;
    }

    void aboutAnimation()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, plays);
        if (!file.isEmpty())
            writeFile(QStringLiteral("nosars.gif"), file);
        frmAbout *about = openAbout();
        QVERIFY(about && about->Visible());
        QMovie *movie = about->Gif->movie();
        QCOMPARE(movie != nullptr, plays);
        if (plays) {
            QCOMPARE(movie->state(), QMovie::Running);
            QVERIFY(movie->frameCount() > 1);
        }
        QVERIFY(messages->texts().isEmpty());
        // The description's two lines and the blank between them show whole.
        checkFits(about->lblDescription);
    }

    void aboutLinks_data()
    {
        QTest::addColumn<bool>("mail");
        QTest::addColumn<bool>("shellWorks");
        QTest::addColumn<QString>("target");
        const QString mail = QStringLiteral("mailto:tovik@example.com");
        const QString web = QStringLiteral("https://www.example.com/orvan/");
        QTest::newRow("mail") << true << true << mail;
        QTest::newRow("web") << false << true << web;
        QTest::newRow("no mail program") << true << false << mail;
        QTest::newRow("no browser") << false << false << web;
    }

    void aboutLinks()
    {
        QFETCH(bool, mail);
        QFETCH(bool, shellWorks);
        QFETCH(QString, target);
        ScriptedShell shell(shellWorks);
        frmAbout *about = openAbout();
        HotLabel *link = mail ? about->Label1 : about->Label4;
        QVERIFY(link->width() >= link->sizeHint().width());
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList { target });
        // Failing, one clear message that still gives the user the address.
        QCOMPARE(messages->texts().size(), shellWorks ? 0 : 1);
        if (!shellWorks)
            QVERIFY(messages->last().contains(link->text()));
        // A press that ends off the label is no click.
        shell.opened.clear();
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, 2));
        QVERIFY(shell.opened.isEmpty());
    }

    void aboutHoverColours()
    {
        frmAbout *about = openAbout();
        const QColor black(0, 0, 0), blue(0, 0, 255);
        auto colours = [&] {
            return QList<QColor> { about->Label1->ForeColor(), about->Label4->ForeColor() };
        };
        QCOMPARE(colours(), QList<QColor>({ black, black }));
        QTest::mouseMove(about->Label1);
        QCOMPARE(colours(), QList<QColor>({ blue, black }));
        // Straight onto other controls and the other link: the highlight stays.
        QTest::mouseMove(about->Label3);
        QTest::mouseMove(about->Gif);
        QTest::mouseMove(about->Label4);
        QTest::mouseMove(about->cmdOK);
        QCOMPARE(colours(), QList<QColor>({ blue, blue }));
        // The window's own background clears both.
        QTest::mouseMove(about, QPoint(about->width() - 3, about->height() - 3));
        QCOMPARE(colours(), QList<QColor>({ black, black }));
        QTest::mouseMove(about->Label4);
        QCOMPARE(colours(), QList<QColor>({ black, blue }));
    }

    void aboutCloses_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on OK
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("OK") << 0;
    }

    void aboutCloses()
    {
        QFETCH(int, key);
        frmAbout *about = openAbout();
        // The keyboard goes to the box as soon as it opens.
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus && about->isAncestorOf(focus));
        if (key)
            QTest::keyClick(focus, Qt::Key(key));
        else
            press(about, u"确定");
        settle();
        QVERIFY(!Forms::find<frmAbout>());
    }

    void introSwitchesWholePages()
    {
        frmIntro *intro = openIntro();
        QVERIFY(intro->Option1->isChecked());
        QCOMPARE(intro->Text1->toPlainText(), shown(frmIntro::eqPage()));
        // Whatever the user typed into the box goes when the page changes.
        QTest::keyClicks(intro->Text1, QStringLiteral("abc"));
        press(intro, u"本软件简介");
        QCOMPARE(intro->Text1->toPlainText(), shown(frmIntro::programPage()));
        QTest::keyClicks(intro->Text1, QStringLiteral("xyz"));
        press(intro, u"情商简介");
        QCOMPARE(intro->Text1->toPlainText(), shown(frmIntro::eqPage()));
        QTest::keyClick(intro->Option1, Qt::Key_Down);
        QVERIFY(intro->Option2->isChecked());
        QCOMPARE(intro->Text1->toPlainText(), shown(frmIntro::programPage()));
        // Closed and opened again, it is back on the EQ page.
        press(intro, u"谢谢Tovik！");
        settle();
        QVERIFY(!Forms::find<frmIntro>());
        intro = openIntro();
        QVERIFY(intro->Option1->isChecked());
        QCOMPARE(intro->Text1->toPlainText(), shown(frmIntro::eqPage()));
    }

    void introPages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("paragraphs");
        QTest::addColumn<QStringList>("needed");
        QTest::newRow("EQ") << frmIntro::eqPage() << 3
                            << QStringList { "智商", "IQ", "情商", "EQ", "1990", "20%", "80%",
                                   "100%" };
        QTest::newRow("program") << frmIntro::programPage() << 5
                                 << QStringList { "《Qelvi》", "数据库", "单项选择题", "数学",
                                        "英语", "反复使用", "多人", "6个选项", "不同的评价",
                                        "不受限制", "欢迎" };
    }

    void introPages()
    {
        QFETCH(QString, page);
        QFETCH(int, paragraphs);
        QFETCH(QStringList, needed);
        // Only CR LF pairs separate the paragraphs, each indented by exactly four spaces.
        QCOMPARE(page.count(QLatin1Char('\n')), paragraphs - 1);
        QCOMPARE(page.count(QStringLiteral("\r\n")), paragraphs - 1);
        QCOMPARE(page.count(QLatin1Char('\r')), paragraphs - 1);
        for (const QString &part : page.split(QStringLiteral("\r\n")))
            QVERIFY2(part.startsWith(QStringLiteral("    ")) && part.at(4) != QLatin1Char(' '),
                qPrintable(part.left(10)));
        for (const QString &statement : needed)
            QVERIFY2(page.contains(statement), qPrintable(statement));
        // The program is only ever named between title marks.
        QCOMPARE(page.count(QStringLiteral("Qelvi")), page.count(QStringLiteral("《Qelvi》")));
    }

    void helpPageFollowsTheModeCode_data()
    {
        QTest::addColumn<QByteArray>("file"); // temp1.txt; empty: no file
        QTest::addColumn<int>("page"); // 0: none
        QTest::newRow("question editor") << HandOff::modeCodeBytes(1) << 1;
        QTest::newRow("score-band editor") << HandOff::modeCodeBytes(2) << 2;
        QTest::newRow("chooser's manage code") << HandOff::modeCodeBytes(3) << 0;
        QTest::newRow("negative") << HandOff::modeCodeBytes(-1) << 0;
        QTest::newRow("no number") << QByteArray("help\r\n") << 0;
        QTest::newRow("missing file") << QByteArray() << 0;
    }

    void helpPageFollowsTheModeCode()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, page);
        if (!file.isEmpty())
            writeFile(QStringLiteral("temp1.txt"), file);
        frmHelp *help = openHelp();
        QCOMPARE(help->Label1->isVisibleTo(help), page == 1);
        QCOMPARE(help->Label2->isVisibleTo(help), page == 2);
        // Both pages show at the top-left corner, the second not at its design place.
        if (page)
            QCOMPARE((page == 1 ? help->Label1 : help->Label2)->pos(),
                QPoint(twipsToPixels(120), twipsToPixels(120)));
        QVERIFY(messages->texts().isEmpty());
        // Opened again from the other editor while it is open: that editor's page.
        QVERIFY(HandOff::writeModeCode(page == 1 ? 2 : 1));
        QCOMPARE(openHelp(), help);
        QCOMPARE(help->Label1->isVisibleTo(help), page != 1);
        QCOMPARE(help->Label2->isVisibleTo(help), page == 1);
        press(help, u"谢谢Tovik！");
        settle();
        QVERIFY(!Forms::find<frmHelp>());
    }

    void helpPagesWordForWord_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::newRow("question editor")
            << 1
            << QStringList {
                   "上一题：保存当前题目，移动到上一题。",
                   "下一题：保存当前题目，移动到下一题。",
                   "添加：保存当前测试，移动到测试最后，等待您添加新的测试题目。"
                   "每为题库输入了一道新题目后，并且还想输入下一道题时，请按该按键。",
                   "删除：删除当前题目。",
                   "完成：保存当前测试，并退出测试编辑器。",
                   "评分：打开评分编辑器。",
               };
        QTest::newRow("score-band editor")
            << 2
            << QStringList {
                   "上一档：保存当前分数档，移动到上一分数档。",
                   "下一档：保存当前分数档，移动到下一分数档。",
                   "添加：保存当前分数档，移动到分数档最后，等待您添加新的分数档。"
                   "每输入了一个新的分数档次后，还想输入下一档时，请按该按键。",
                   "删除：删除当前分数档。",
                   "完成：保存分数档，并退出评分编辑器。",
                   "提醒——分数档之见，不必按从高到低或从低到高的顺序，"
                   "但注意的是要把所有可能的分数都覆盖到，而且各分数档的分数不要有交叉！",
               };
    }

    void helpPagesWordForWord()
    {
        QFETCH(int, code);
        QFETCH(QStringList, paragraphs);
        QVERIFY(HandOff::writeModeCode(qint16(code)));
        frmHelp *help = openHelp();
        QLabel *label = code == 1 ? help->Label1 : help->Label2;
        QCOMPARE(label->text().toUtf8(), paragraphs.join(QStringLiteral("\r\n\r\n")).toUtf8());
        checkFits(label);
    }
};

QTEST_MAIN(tst_info)
#include "tst_info.moc"
