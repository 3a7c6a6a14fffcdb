// The test runner: questions one at a time, the running total, the band search, the
// result text, the messages for missing questions and scoring, the scrolling title and
// the hover colouring. Real windows offscreen, answered by mouse clicks on the options.
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "support/mainwindow.h"
#include "support/serverbanks.h"
#include "support/testfolder.h"
#include "support/userinput.h"
#include "support/windowtest.h"
#include "takingfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {

const QString noQuestions = QStringLiteral("这个测试还没有题目，请先把题目准备好！");
const QString noScoring
    = QStringLiteral("测试的评分情况你还没有输入，请完成评分的输入后再进行测试！");
const QString testGone = QStringLiteral("找不到这个测试的题目表或评分表，它可能已经被改名或删除！");
const QString scorePrefix = QStringLiteral("    你的得分是");

// A question row: the text, then option text and score for A, B, ... as given.
QStringList question(const QString &text, const QStringList &optionsAndScores)
{
    return QStringList { text } + optionsAndScores;
}

// Opens the runner as the chooser does: the name in temp.txt, then load, place, show.
frmTest *openRunner(const QString &test)
{
    if (!HandOff::writeTestName(test))
        return nullptr;
    frmTest *runner = Forms::load<frmTest>();
    Forms::place(runner);
    runner->Show();
    return runner;
}

void click(QWidget *label)
{
    QTest::mouseClick(label, Qt::LeftButton);
}

QList<bool> shownOptions(frmTest *runner)
{
    QList<bool> shown;
    for (HotLabel *label : runner->optionLabels())
        shown << label->isVisible();
    return shown;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QColor blue(0, 0, 255);

} // namespace

using TakingFixture::resultText;
using userinput::press;

class tst_frmTest : public ScriptedTest
{
    Q_OBJECT

private slots:
    void oneQuestionEndsAtTheFirstClick()
    {
        TestFolder folder;
        folder.addTest(QStringLiteral("情商"), QStringLiteral("一题"));
        folder.addRows(QStringLiteral("一题"),
            { question(QStringLiteral("你快乐吗？"),
                { QStringLiteral("是"), QStringLiteral("5"), QStringLiteral("否"),
                    QStringLiteral("1") }) });
        folder.addRows(QStringLiteral("一题评分"),
            { { QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("低") },
                { QStringLiteral("4"), QStringLiteral("9"), QStringLiteral("高") } });
        const QByteArray bankBefore = fileBytes(folder.bank());
        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("一题"));
        QVERIFY(runner);
        QCOMPARE(runner->Label1->text(), QStringLiteral("你快乐吗？"));
        QCOMPARE(runner->Label13->text(), QStringLiteral("一题"));
        QCOMPARE(runner->Label9->text(), QStringLiteral("1"));
        QCOMPARE(shownOptions(runner), QList<bool>({ true, true, false, false, false, false }));

        press(runner, u"是");
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("5。高"));
        for (HotLabel *label : runner->optionLabels())
            QVERIFY(!label->isEnabled());
        QVERIFY(Forms::find<frmTest>() == runner);

        // Disabled options no longer answer: the result stays as it was.
        press(runner, u"否");
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("5。高"));
        QVERIFY(messages->texts().isEmpty());

        // The result window sits centred in the main window's client area.
        frmResult *result = Forms::find<frmResult>();
        const QSizeF inner = Forms::mainInner();
        const auto onPixels = [](double twips) { return pixelsToTwips(twipsToPixels(twips)); };
        QCOMPARE(result->size(), result->designClient());
        QVERIFY(qAbs(result->Height() - 4584) <= 8 * 15);
        QVERIFY(qAbs(result->Width() - 4500) <= 8 * 15);
        QCOMPARE(result->Left(), onPixels(inner.width() / 2 - result->Width() / 2));
        QCOMPARE(result->Top(), onPixels(inner.height() / 2 - result->Height() / 2));

        // 退出 closes the runner; the result window stays.
        press(runner, u"退出");
        settle();
        QVERIFY(!Forms::find<frmTest>());
        QVERIFY(Forms::find<frmResult>());

        // Taking a test reads the bank and never writes it.
        QCOMPARE(fileBytes(folder.bank()), bankBefore);
    }

    void blankOptionsAreHiddenPerQuestion()
    {
        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("空白"));
        const QString s = QStringLiteral(" ");
        folder.addRows(QStringLiteral("空白"),
            {
                question(QStringLiteral("一"),
                    { QStringLiteral("a"), QStringLiteral("1"), s, QStringLiteral("2"),
                        QStringLiteral("c"), QStringLiteral("3"), QString(), QString(),
                        QStringLiteral("e"), QStringLiteral("5"), s, QString() }),
                question(QStringLiteral("二"),
                    { QStringLiteral("a"), QStringLiteral("1"), QStringLiteral("b"),
                        QStringLiteral("2"), QStringLiteral("c"), QStringLiteral("3"),
                        QStringLiteral("d"), QStringLiteral("4"), QStringLiteral("e"),
                        QStringLiteral("5"), QStringLiteral("f"), QStringLiteral("6") }),
                question(QStringLiteral("三"), { s, QString(), QStringLiteral("  b") }),
            });
        folder.addRows(QStringLiteral("空白评分"),
            { { QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("好") } });
        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("空白"));
        QVERIFY(runner);
        QCOMPARE(runner->Label8->text(), QStringLiteral("1"));
        QCOMPARE(shownOptions(runner), QList<bool>({ true, false, true, false, true, false }));

        press(runner, u"e"); // scores 5
        QCOMPARE(runner->Label1->text(), QStringLiteral("二"));
        QCOMPARE(runner->Label8->text(), QStringLiteral("2"));
        QCOMPARE(runner->Text7->text(), QStringLiteral("5"));
        QCOMPARE(shownOptions(runner), QList<bool>({ true, true, true, true, true, true }));

        press(runner, u"f"); // scores 6
        QCOMPARE(runner->Label8->text(), QStringLiteral("3"));
        // Blanks around a real text do not make it blank.
        QCOMPARE(shownOptions(runner), QList<bool>({ false, true, false, false, false, false }));
        QCOMPARE(runner->Label3->text(), QStringLiteral("  b"));

        click(runner->Label3); // B has no score: counts 0
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("11。好"));
    }

    // Each row: the scores of option A per question, the bands, the result text.
    void totalsAndBands_data()
    {
        QTest::addColumn<QStringList>("scores");
        QTest::addColumn<QList<QStringList>>("bands");
        QTest::addColumn<QString>("expected");

        const auto band = [](const char *low, const char *high, const char *text) {
            return QStringList { QString::fromUtf8(low), QString::fromUtf8(high),
                QString::fromUtf8(text) };
        };
        QTest::newRow("whole total")
            << QStringList { "40", "45" }
            << QList<QStringList> { band("0", "59", "差"), band("60", "100", "好") }
            << QStringLiteral("85。好");
        QTest::newRow("half points")
            << QStringList { "10", "2.5" } << QList<QStringList> { band("12", "13", "中") }
            << QStringLiteral("12.5。中");
        QTest::newRow("empty score counts 0")
            << QStringList { "", "7" } << QList<QStringList> { band("7", "7", "七") }
            << QStringLiteral("7。七");
        // 0.1 + 0.2 is 0.30000000000000004 as a double; as a single it is 0.3.
        QTest::newRow("tenths") << QStringList { "0.1", "0.2" }
                                << QList<QStringList> { band("0.3", "1", "三") }
                                << QStringLiteral("0.3。三");
        // Only single precision matches these: as doubles 0.1 + 0.2 lies above 0.3 and
        // 0.7 + 0.1 below 0.8.
        QTest::newRow("0.1 + 0.2 on an upper bound of 0.3")
            << QStringList { "0.1", "0.2" }
            << QList<QStringList> { band("0", "0.3", "到三"), band("0.31", "1", "过三") }
            << QStringLiteral("0.3。到三");
        QTest::newRow("0.7 + 0.1 on a lower bound of 0.8")
            << QStringList { "0.7", "0.1" }
            << QList<QStringList> { band("0", "0.79", "不到"), band("0.8", "1", "八") }
            << QStringLiteral("0.8。八");
        // Totals read as plain decimals, however large or small.
        QTest::newRow("100000") << QStringList { "60000", "40000" }
                                << QList<QStringList> { band("100000", "100000", "十万") }
                                << QStringLiteral("100000。十万");
        QTest::newRow("a million")
            << QStringList { "1000000" } << QList<QStringList> { band("0", "1e7", "百万") }
            << QStringLiteral("1000000。百万");
        QTest::newRow("0.0001") << QStringList { "0.0001" }
                                << QList<QStringList> { band("0.0001", "1", "万分之一") }
                                << QStringLiteral("0.0001。万分之一");
        QTest::newRow("1234567") << QStringList { "1234560", "7" }
                                 << QList<QStringList> { band("1234567", "1234567", "七") }
                                 << QStringLiteral("1234567。七");
        QTest::newRow("fraction on a lower bound")
            << QStringList { "30", "29.5" }
            << QList<QStringList> { band("0", "59", "低"), band("59.5", "70", "中") }
            << QStringLiteral("59.5。中");
        QTest::newRow("on an upper bound")
            << QStringList { "50", "9" }
            << QList<QStringList> { band("0", "59", "低"), band("60", "70", "中") }
            << QStringLiteral("59。低");
        QTest::newRow("overlap: the later band wins")
            << QStringList { "20", "20" }
            << QList<QStringList> { band("30", "50", "先"), band("0", "100", "后"),
                   band("60", "70", "外") }
            << QStringLiteral("40。后");
        QTest::newRow("no band holds it")
            << QStringList { "80", "30" } << QList<QStringList> { band("0", "100", "满") }
            << QStringLiteral("110。");
        QTest::newRow("negative total")
            << QStringList { "2", "-5" }
            << QList<QStringList> { band("-10", "-1", "负"), band("0", "10", "正") }
            << QStringLiteral("-3。负");
        QTest::newRow("bands stored high to low")
            << QStringList { "1", "1" }
            << QList<QStringList> { band("3", "4", "高"), band("1", "2", "低") }
            << QStringLiteral("2。低");
    }

    void totalsAndBands()
    {
        QFETCH(QStringList, scores);
        QFETCH(QList<QStringList>, bands);
        QFETCH(QString, expected);

        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("分数"));
        QList<QStringList> questions;
        for (const QString &score : scores)
            questions << question(QStringLiteral("题"), { QStringLiteral("选"), score });
        folder.addRows(QStringLiteral("分数"), questions);
        folder.addRows(QStringLiteral("分数评分"), bands);

        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("分数"));
        QVERIFY(runner);
        for (int i = 0; i < scores.size(); ++i)
            press(runner, u"选");
        QCOMPARE(resultText(), scorePrefix + expected);
        QVERIFY(messages->texts().isEmpty());
    }

    // The band search covers every band, also past 32,767 of them.
    void bandsPastSixteenBits()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("多档"));
        folder.addRows(QStringLiteral("多档"),
            { question(QStringLiteral("题"), { QStringLiteral("选"), QStringLiteral("39999") }) });
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bands");
            db.setDatabaseName(folder.bank());
            QVERIFY(db.open());
            QVERIFY(db.transaction());
            QSqlQuery q(db);
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO \"多档评分\" (\"分数下限\", "
                                             "\"分数上限\", \"评价\") VALUES (?, ?, ?)")));
            for (int i = 0; i < 40000; ++i) {
                q.addBindValue(i);
                q.addBindValue(i);
                q.addBindValue(QStringLiteral("第%1档").arg(i + 1));
                QVERIFY(q.exec());
            }
            QVERIFY(db.commit());
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bands"));

        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("多档"));
        QVERIFY(runner);
        press(runner, u"选");
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("39999。第40000档"));
        QVERIFY(messages->texts().isEmpty());
    }

    void emptyScoringTableClosesTheRunner()
    {
        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("无评分"));
        folder.addRows(QStringLiteral("无评分"),
            { question(QStringLiteral("一"), { QStringLiteral("a"), QStringLiteral("1") }),
                question(QStringLiteral("二"), { QStringLiteral("a"), QStringLiteral("1") }) });
        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("无评分"));
        QVERIFY(runner);
        QVERIFY(messages->texts().isEmpty());
        press(runner, u"a");
        QVERIFY(messages->texts().isEmpty());
        press(runner, u"a");
        QCOMPARE(messages->texts(), QStringList { noScoring });
        settle();
        QVERIFY(!Forms::find<frmTest>());
        QVERIFY(!Forms::find<frmResult>());
    }

    void emptyQuestionTableKeepsTheRunnerOpen()
    {
        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("无题"));
        folder.addRows(QStringLiteral("无题评分"),
            { { QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("x") } });
        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("无题"));
        QVERIFY(runner);
        QCOMPARE(messages->texts(), QStringList { noQuestions });
        QCOMPARE(messages->shown().first().style, MsgStyle::Information);
        settle();
        QVERIFY(Forms::find<frmTest>() == runner);
        QVERIFY(runner->isVisible());
        QCOMPARE(runner->Label13->text(), QStringLiteral("无题"));
        QCOMPARE(shownOptions(runner), QList<bool>(6, false));
        press(runner, u"退出");
        settle();
        QVERIFY(!Forms::find<frmTest>());
    }

    // A test whose tables went away (another copy renamed or deleted it) gets one
    // message and no empty runner; so does a bank that is not there.
    void missingTablesCloseTheRunner_data()
    {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<bool>("removeBank");
        QTest::addColumn<QString>("message");
        QTest::newRow("question table") << QStringLiteral("缺") << false << testGone;
        QTest::newRow("scoring table") << QStringLiteral("缺评分") << false << testGone;
        QTest::newRow("bank file") << QString() << true << QString();
    }

    void missingTablesCloseTheRunner()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        QFETCH(QString, drop);
        QFETCH(bool, removeBank);
        QFETCH(QString, message);

        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("缺"));
        folder.addRows(QStringLiteral("缺"),
            { question(QStringLiteral("一"), { QStringLiteral("a"), QStringLiteral("1") }) });
        if (!drop.isEmpty())
            QVERIFY(!Catalogue::dropTable(folder.bank(), drop));
        if (removeBank) {
            BankFile::closeConnection();
            QVERIFY(QFile::remove(folder.bank()));
        }
        MainWindowFixture main;
        QVERIFY(openRunner(QStringLiteral("缺")));
        QCOMPARE(messages->texts().size(), 1);
        if (!message.isEmpty())
            QCOMPARE(messages->last(), message);
        else
            QVERIFY(messages->last().contains(QStringLiteral("test.mdb")));
        settle();
        QVERIFY(!Forms::find<frmTest>());
    }

    void titleScrollsAndReentersFromTheRight()
    {
        TestFolder folder;
        const QString name = QStringLiteral("一个很长很长的测试名称，长得超过了整个窗口的宽度，"
                                            "还要再长一些才行，再长一些");
        folder.addTest(QStringLiteral("类"), name);
        MainWindowFixture main;
        frmTest *runner = openRunner(name);
        QVERIFY(runner);
        messages->clear();
        runner->Timer1->stop();
        QVERIFY(runner->Label13->width() > runner->width());

        const auto left = [runner] { return pixelsToTwips(runner->Label13->x()); };
        QCOMPARE(left(), 8280.0);
        runner->Timer1_Timer();
        QCOMPARE(left(), 8265.0);

        const double width = pixelsToTwips(runner->Label13->width());
        // Still partly inside (its last character not gone) after this many ticks.
        const int ticks = int((8265 + width) / 15);
        for (int i = 0; i < ticks; ++i)
            runner->Timer1_Timer();
        QCOMPARE(left(), -width);
        runner->Timer1_Timer(); // -width is not yet less than -width
        QCOMPARE(left(), -width - 15);
        runner->Timer1_Timer(); // now it is: back at the right edge
        QCOMPARE(left(), runner->Width() - 15);
    }

    // A short option is one line as wide as its text; a long one wraps at the window's
    // right edge, tall enough for all its lines. Sizes follow each question's texts,
    // also when an option's text goes from long to short and back.
    void optionsFitTheirTexts()
    {
        const QString shortText = QStringLiteral("短的选项");
        const QString longText = QStringLiteral("很长的选项文字，").repeated(12);
        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("长短"));
        const QList<QStringList> texts { { shortText, longText }, { longText, shortText },
            { longText, shortText }, { shortText, longText } };
        QList<QStringList> rows;
        for (const QStringList &t : texts)
            rows << question(
                QStringLiteral("问"), { t[0], QStringLiteral("1"), t[1], QStringLiteral("1") });
        folder.addRows(QStringLiteral("长短"), rows);
        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("长短"));
        QVERIFY(runner);
        for (int q = 0; q < texts.size(); ++q) {
            QCOMPARE(runner->Label8->text(), QString::number(q + 1));
            for (int option = 0; option < 2; ++option) {
                HotLabel *label = runner->optionLabels()[option];
                const QFontMetrics metrics = label->fontMetrics();
                const int room = runner->width() - label->x() - twipsToPixels(240);
                QCOMPARE(label->text(), texts[q][option]);
                QVERIFY(label->width() <= room);
                QCOMPARE(label->height(), label->heightForWidth(label->width()));
                if (texts[q][option] == shortText) {
                    QVERIFY(label->width() >= metrics.horizontalAdvance(shortText));
                    QVERIFY(label->height() < 2 * metrics.lineSpacing());
                } else {
                    QCOMPARE(label->width(), room);
                    QVERIFY(label->height() >= 2 * metrics.lineSpacing());
                }
            }
            if (q + 1 < texts.size())
                click(runner->Label2);
        }
    }

    void hoverColouring()
    {
        TestFolder folder;
        folder.addTest(QStringLiteral("类"), QStringLiteral("颜色"));
        folder.addRows(QStringLiteral("颜色"),
            { question(QStringLiteral("问题的文字"),
                { QStringLiteral("甲"), QStringLiteral("1"), QStringLiteral("乙"),
                    QStringLiteral("2") }) });
        MainWindowFixture main;
        frmTest *runner = openRunner(QStringLiteral("颜色"));
        QVERIFY(runner);
        const QColor plain = QApplication::palette().color(QPalette::ButtonText);
        QVERIFY(plain != blue);
        QCOMPARE(runner->Label2->ForeColor(), plain);
        QCOMPARE(runner->Label2->cursor().shape(), Qt::BitmapCursor);

        QTest::mouseMove(runner->Label2);
        QCOMPARE(runner->Label2->ForeColor(), blue);
        QTest::mouseMove(runner->Label14);
        QCOMPARE(runner->Label14->ForeColor(), blue);
        QCOMPARE(runner->Label2->ForeColor(), blue); // only the background resets

        // Over the question: not the background, nothing changes.
        QTest::mouseMove(runner->Label1);
        QCOMPARE(runner->Label2->ForeColor(), blue);

        QTest::mouseMove(runner, twipsRect(6000, 6500, 0, 0).topLeft());
        QCOMPARE(runner->Label2->ForeColor(), plain);
        QCOMPARE(runner->Label14->ForeColor(), plain);
    }
};

QTEST_MAIN(tst_frmTest)
#include "tst_frmTest.moc"
