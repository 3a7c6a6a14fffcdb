// The runner as a user without a mouse, or with an impatient one, takes it: a double
// click answers once, and the keys answer, move the focus and leave.
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/windowtest.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>

namespace {

// Three questions: A scores 1, B 10, C 100 (question two has no C).
void addThreeQuestions(TestFolder &folder)
{
    folder.addTest(QStringLiteral("情商"), QStringLiteral("三题"));
    const QStringList abc { QStringLiteral("甲"), QStringLiteral("1"), QStringLiteral("乙"),
        QStringLiteral("10"), QStringLiteral("丙"), QStringLiteral("100") };
    const QStringList ab { QStringLiteral("甲"), QStringLiteral("1"), QStringLiteral("乙"),
        QStringLiteral("10"), QStringLiteral(" "), QStringLiteral("100") };
    folder.addRows(QStringLiteral("三题"),
        { QStringList { QStringLiteral("一") } + abc, QStringList { QStringLiteral("二") } + ab,
            QStringList { QStringLiteral("三") } + abc });
    folder.addRows(QStringLiteral("三题评分"),
        { { QStringLiteral("0"), QStringLiteral("1000"), QStringLiteral("好") } });
}

frmTest *openRunner()
{
    if (!HandOff::writeTestName(QStringLiteral("三题")))
        return nullptr;
    frmTest *runner = Forms::load<frmTest>();
    Forms::place(runner);
    runner->Show();
    QApplication::setActiveWindow(runner->window());
    return runner;
}

QString resultText()
{
    frmResult *result = Forms::find<frmResult>();
    return result ? result->Text1->toPlainText().trimmed() : QString();
}

} // namespace

class tst_runnerInput : public ScriptedTest
{
    Q_OBJECT

private slots:
    // A double click on an option answers the question it was made on, once.
    void doubleClickAnswersOnce()
    {
        TestFolder folder;
        addThreeQuestions(folder);
        MainWindowFixture main;
        frmTest *runner = openRunner();
        QVERIFY(runner);
        QTest::mouseClick(runner->Label3, Qt::LeftButton);
        QTest::mouseDClick(runner->Label3, Qt::LeftButton);
        QTest::mouseRelease(runner->Label3, Qt::LeftButton);
        QCOMPARE(runner->Label8->text(), QStringLiteral("2"));
        QCOMPARE(runner->Text7->text(), QStringLiteral("10"));
    }

    // Keys pressed one after the other, from the window's first focus; the total they
    // give, the question they leave, and whether the runner is still open. "Tab",
    // "Down" and the like are keys, a letter or a digit is that key.
    void keysTakeTheTest_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("question");
        QTest::newRow("letters") << QStringList { "B", "A" } << "11"
                                 << "3";
        QTest::newRow("digits") << QStringList { "3", "2" } << "110"
                                << "3";
        QTest::newRow("a hidden option's letter does nothing")
            << QStringList { "A", "C", "F" } << "1"
            << "2";
        QTest::newRow("Enter without a focused option does nothing")
            << QStringList { "Return", "Space" } << "0"
            << "1";
        QTest::newRow("Tab to A, Enter") << QStringList { "Tab", "Return" } << "1"
                                         << "2";
        QTest::newRow("arrows, Space") << QStringList { "Down", "Down", "Space" } << "10"
                                       << "2";
        QTest::newRow("Up wraps to the last shown option")
            << QStringList { "Tab", "Up", "Return", "Up", "Return" } << "110"
            << "3";
        QTest::newRow("the focus starts over on each question")
            << QStringList { "Down", "Down", "Return", "Return" } << "11"
            << "3";
        QTest::newRow("to the end") << QStringList { "C", "B", "C" } << "210"
                                    << "3";
        QTest::newRow("Esc leaves") << QStringList { "A", "Escape" } << ""
                                    << "";
    }
    void keysTakeTheTest()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, total);
        QFETCH(QString, question);
        TestFolder folder;
        addThreeQuestions(folder);
        MainWindowFixture main;
        frmTest *runner = openRunner();
        QVERIFY(runner);
        QVERIFY(QTest::qWaitForWindowActive(runner->window()));
        QVERIFY(!qobject_cast<HotLabel *>(QApplication::focusWidget()));
        for (const QString &name : keys) {
            const QKeySequence seq(name);
            QWidget *to = QApplication::focusWidget();
            QVERIFY(to);
            QTest::keyClick(to, Qt::Key(seq[0].key()));
        }
        settle();
        if (total.isEmpty()) {
            QVERIFY(!Forms::find<frmTest>());
            return;
        }
        QCOMPARE(runner->Text7->text(), total);
        QCOMPARE(runner->Label8->text(), question);
        if (keys.size() == 3 && keys.first() == u"C")
            QCOMPARE(resultText(), QStringLiteral("你的得分是210。好"));
        QVERIFY(messages->texts().isEmpty());
    }
};

QTEST_MAIN(tst_runnerInput)
#include "tst_runnerInput.moc"
