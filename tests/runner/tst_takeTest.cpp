// Taking a test the way a user does: the test chosen from the menu in the chooser,
// answered by clicks, the result read off the result window. Once on the shipped
// sample bank, once on a test written in the new-test dialog and the two editors.
#include "authoring/frmEdittest.h"
#include "authoring/frmScore.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "base/programfolder.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/catalogue.h"
#include "store/results/keeping.h"
#include "support/bankwindows.h"
#include "support/editorsteps.h"
#include "support/mainwindow.h"
#include "support/serverbanks.h"
#include "support/testfolder.h"
#include "support/userinput.h"
#include "support/windowtest.h"
#include "takingfixture.h"

#include <QTest>
#include <QTextEdit>

using namespace userinput;
using TakingFixture::resultText;

namespace {

const QString scorePrefix = QStringLiteral("    你的得分是");

// The menu's 进行测试项目, then the category and the test picked in the chooser and
// confirmed; returns the runner it opened.
frmTest *chooseAndOpen(MainWindowFixture &main, const QString &category, const QString &test)
{
    main->mnuTesting_Click();
    QCoreApplication::processEvents();
    if (!bankwindows::chooseTest(category, test))
        return nullptr;
    settle();
    return Forms::find<frmBFEdit>() ? nullptr : Forms::find<frmTest>();
}

} // namespace

class tst_takeTest : public QObject
{
    Q_OBJECT

private slots:
    // Every question answered with the same option; the total and the band that the
    // sample's own scores and bands give.
    void sampleTestFromTheMenu_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("total");
        QTest::addColumn<int>("band");
        QTest::newRow("all A") << 0 << QStringLiteral("13") << 0;
        QTest::newRow("all B") << 1 << QStringLiteral("23") << 0;
        QTest::newRow("all C: the top band's lower bound") << 2 << QStringLiteral("42") << 3;
    }

    void sampleTestFromTheMenu()
    {
        QFETCH(int, option);
        QFETCH(QString, total);
        QFETCH(int, band);

        const QString category = QStringLiteral("情商测试");
        const QString test = QStringLiteral("日常情商自测");
        WindowScene scene(TestFolder::SampleBank);
        auto &[folder, messages, main] = scene;
        frmTest *runner = chooseAndOpen(main, category, test);
        QVERIFY(runner);
        QCOMPARE(runner->Label13->text(), test);

        const int questions = int(folder.rows(test).size());
        QCOMPARE(runner->Label9->text(), QString::number(questions));
        for (int q = 1; q <= questions; ++q) {
            QCOMPARE(runner->Label8->text(), QString::number(q));
            QVERIFY(!Forms::find<frmResult>());
            QTest::mouseClick(runner->optionLabels()[option], Qt::LeftButton);
        }
        const QString evaluation = folder.rows(BankNames::scoringTable(test)).at(band).at(2);
        QCOMPARE(resultText(), scorePrefix + total + QStringLiteral("。") + evaluation);
        QVERIFY(messages.texts().isEmpty());
    }

    void testWrittenInTheEditors()
    {
        using namespace editorsteps;
        const QString category = QStringLiteral("兴趣");
        const QString test = QStringLiteral("运动习惯, \"小\"测试");
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        folder.addCategory(category);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.main));

        // The new-test dialog creates it and, answered Yes, opens the question editor.
        main->mnuCreatTest_Click();
        QCoreApplication::processEvents();
        frmAddTest *dialog = Forms::find<frmAddTest>();
        QVERIFY(dialog);
        QVERIFY(pick(dialog, u"添加到的测试类：", category));
        type(dialog, u"测试名称：", test);
        messages.answer(MsgAnswer::Yes);
        press(dialog, u"确定");
        settle();
        frmEdittest *editor = Forms::find<frmEdittest>();
        QVERIFY(editor);

        // Two questions: the second with a blank option between two real ones.
        type(editor->Text1, QStringLiteral("周末你通常怎么过？"));
        type(editor->Text2, QStringLiteral("出去跑步"));
        type(editor->Text8, QStringLiteral("3"));
        type(editor->Text3, QStringLiteral("在家看书"));
        type(editor->Text9, QStringLiteral("1.5"));
        press(editor, u"添加");
        type(editor->Text1, QStringLiteral("一周运动几次？"));
        type(editor->Text2, QStringLiteral("三次以上"));
        type(editor->Text8, QStringLiteral("2"));
        type(editor->Text4, QStringLiteral("几乎不动"));
        type(editor->Text10, QStringLiteral("-1"));
        press(editor, u"添加"); // left blank: not stored

        // Two bands in the score-band editor.
        press(editor, u"评分");
        frmScore *bands = Forms::find<frmScore>();
        QVERIFY(bands);
        type(bands->Text1, QStringLiteral("-5"));
        type(bands->Text2, QStringLiteral("3"));
        type(bands->Text3, QStringLiteral("该多动一动了。"));
        press(bands, u"添加");
        type(bands->Text1, QStringLiteral("3.5"));
        type(bands->Text2, QStringLiteral("10"));
        type(bands->Text3, QStringLiteral("保持下去！"));
        press(bands, u"完成");
        settle();
        press(editor, u"完成");
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QVERIFY(!Forms::find<frmScore>());
        QCOMPARE(folder.rows(test).size(), 2);
        QCOMPARE(folder.rows(BankNames::scoringTable(test)).size(), 2);

        // Taken: B then A is 1.5 + 2 = 3.5, the second band's lower bound.
        messages.clear();
        frmTest *runner = chooseAndOpen(main, category, test);
        QVERIFY(runner);
        QCOMPARE(runner->Label1->text(), QStringLiteral("周末你通常怎么过？"));
        press(runner, u"在家看书");
        QCOMPARE(runner->Label1->text(), QStringLiteral("一周运动几次？"));
        QVERIFY(runner->Label2->isVisible());
        QVERIFY(!runner->Label3->isVisible());
        QVERIFY(runner->Label4->isVisible());
        press(runner, u"三次以上");
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("3.5。保持下去！"));

        // Again from the menu: the close-all step closes the runner, the result window
        // stays and is reused. A then C: 3 + -1 = 2, in the first band.
        runner = chooseAndOpen(main, category, test);
        QVERIFY(runner);
        press(runner, u"出去跑步");
        press(runner, u"几乎不动");
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("2。该多动一动了。"));
        QVERIFY(messages.texts().isEmpty());
    }

    // The result is kept under the category the test was chosen in, even where an
    // earlier category lists a test of the same name; a runner opened on the name alone
    // finds the first category that lists it.
    void resultKeptUnderTheChosenCategory_data()
    {
        QTest::addColumn<QString>("chosen"); // empty: opened without the chooser
        QTest::addColumn<QString>("kept");
        QTest::newRow("the first listing") << QStringLiteral("甲") << QStringLiteral("甲");
        QTest::newRow("the second listing") << QStringLiteral("乙") << QStringLiteral("乙");
        QTest::newRow("no chooser") << QString() << QStringLiteral("甲");
    }

    void resultKeptUnderTheChosenCategory()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        QFETCH(QString, chosen);
        QFETCH(QString, kept);
        const QString test = QStringLiteral("同名");
        WindowScene scene;
        auto &[folder, messages, main] = scene;
        for (const QString &category : { QStringLiteral("甲"), QStringLiteral("乙") })
            folder.addCategory(category);
        folder.addTest(QStringLiteral("甲"), test);
        folder.addRows(QStringLiteral("乙"), { { test } });
        folder.addRows(
            test, { { QStringLiteral("问"), QStringLiteral("是"), QStringLiteral("1") } });
        folder.addRows(BankNames::scoringTable(test),
            { { QStringLiteral("0"), QStringLiteral("5"), QStringLiteral("好") } });
        frmTest *runner = nullptr;
        if (chosen.isEmpty()) {
            QVERIFY(HandOff::writeTestName(test));
            runner = Forms::show<frmTest>();
        } else {
            runner = chooseAndOpen(main, chosen, test);
        }
        QVERIFY(runner);
        press(runner, u"是");
        QCOMPARE(resultText(), scorePrefix + QStringLiteral("1。好"));
        const QList<Results::Record> records = Results::History(Keeping::historyPath()).records();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.constFirst().category, kept);
        QVERIFY(messages.texts().isEmpty());
    }
};

QTEST_MAIN(tst_takeTest)
#include "tst_takeTest.moc"
