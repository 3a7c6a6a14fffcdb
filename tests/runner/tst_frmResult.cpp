// The result window: the text the runner writes, the focus that never stays in the
// text, the keys that close it, and its reuse when another test ends while it is open.
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/userinput.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace {

// Takes a one-question test to its end by clicking option A.
frmResult *finishTest(const QString &test)
{
    if (!HandOff::writeTestName(test))
        return nullptr;
    frmTest *runner = Forms::load<frmTest>();
    Forms::place(runner);
    runner->Show();
    userinput::press(runner, u"选");
    return Forms::find<frmResult>();
}

void addOneQuestionTest(
    TestFolder &folder, const QString &test, const QString &score, const QString &evaluation)
{
    folder.addTest(QStringLiteral("类"), test);
    folder.addRows(test, { { QStringLiteral("题"), QStringLiteral("选"), score } });
    folder.addRows(test + QStringLiteral("评分"),
        { { QStringLiteral("0"), QStringLiteral("100"), evaluation } });
}

} // namespace

class tst_frmResult : public QObject
{
    Q_OBJECT

    ScriptedMessages messages;

private slots:
    void focusLeavesTheTextAndKeysClose_data()
    {
        QTest::addColumn<int>("key"); // 0: a mouse click on the button
        QTest::newRow("mouse") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void focusLeavesTheTextAndKeysClose()
    {
        QFETCH(int, key);
        TestFolder folder;
        addOneQuestionTest(
            folder, QStringLiteral("焦点"), QStringLiteral("3"), QStringLiteral("好"));
        MainWindowFixture main;
        frmResult *result = finishTest(QStringLiteral("焦点"));
        QVERIFY(result);
        QVERIFY(result->Text1->isReadOnly());
        QCOMPARE(result->Command1->text(), QStringLiteral("谢谢Tovik！"));

        QTest::mouseClick(result->Text1->viewport(), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), result->Command1);
        result->Text1->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), result->Command1);

        if (key)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        else
            userinput::press(result, u"谢谢Tovik！");
        settle();
        QVERIFY(!Forms::find<frmResult>());
        // Closing the result leaves the runner open.
        QVERIFY(Forms::find<frmTest>());
    }

    // Another test ending while the result is open writes into the same window and
    // puts it back in the middle.
    void reusedWhenAnotherTestEnds()
    {
        TestFolder folder;
        addOneQuestionTest(folder, QStringLiteral("甲"), QStringLiteral("3"), QStringLiteral("一"));
        addOneQuestionTest(folder, QStringLiteral("乙"), QStringLiteral("4"), QStringLiteral("二"));
        MainWindowFixture main;
        frmResult *first = finishTest(QStringLiteral("甲"));
        QVERIFY(first);
        QCOMPARE(first->Text1->toPlainText(), QStringLiteral("    你的得分是3。一"));
        const QPointF centred(first->Left(), first->Top());
        first->Move(0, 0);

        Forms::unload<frmTest>();
        settle();
        frmResult *second = finishTest(QStringLiteral("乙"));
        QCOMPARE(second, first);
        QCOMPARE(second->Text1->toPlainText(), QStringLiteral("    你的得分是4。二"));
        QCOMPARE(QPointF(second->Left(), second->Top()), centred);
        QVERIFY(second->Visible());
    }

    void longEvaluationWraps()
    {
        TestFolder folder;
        addOneQuestionTest(folder, QStringLiteral("长评"), QStringLiteral("3"),
            QStringLiteral("这是一段很长的评价。").repeated(40));
        MainWindowFixture main;
        frmResult *result = finishTest(QStringLiteral("长评"));
        QVERIFY(result);
        QTextEdit *text = result->Text1;
        QVERIFY(text->verticalScrollBar()->isVisible());
        QVERIFY(text->verticalScrollBar()->maximum() > 0);
        QVERIFY(!text->horizontalScrollBar()->isVisible());
        QVERIFY(text->document()->size().width() <= text->viewport()->width());
    }
};

QTEST_MAIN(tst_frmResult)
#include "tst_frmResult.moc"
