// Going back and continuing: whatever way a taker goes through a test (back once, back to
// the first question, an answer changed twice, a run cut short and continued), the total
// and the result are those of a straight run with the same final answers, to the bit.
#include "authoring/frmEdittest.h"
#include "authoring/goingback.h"
#include "forms/controls.h"
#include "platform/msgbox.h"
#include "store/recordset.h"
#include "store/results/history.h"
#include "store/testsettings.h"
#include "support/mainwindow.h"
#include "support/userinput.h"
#include "support/windowtest.h"
#include "takingfixture.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace TakingFixture;

namespace {

const QString pathTest = QStringLiteral("来回");
const QString unfinished = QStringLiteral("上次的测试还没有做完，要接着做吗？");
const QString answeredBefore = QStringLiteral("上次选的答案");

// Four questions whose scores are tenths; the fourth has no option C. The bands overlap
// at 0.6 (the later one wins) and 中 begins at 0.3 as a single-precision number, which
// a total of 0.1 + 0.1 + 0.1 meets only when compared in single precision.
void addPathTest(TestFolder &folder)
{
    folder.addTest(QStringLiteral("情商"), pathTest);
    const auto row = [](const QString &text, const QStringList &scores) {
        QStringList r { text };
        for (qsizetype i = 0; i < scores.size(); ++i)
            r << QStringLiteral("选项%1").arg(QChar(char16_t(u'A' + i))) << scores.at(i);
        if (scores.size() < 3)
            r << QStringLiteral(" ") << QString();
        return r;
    };
    folder.addRows(pathTest,
        { row(QStringLiteral("第一题"), { "0.1", "0.2", "0.3" }),
            row(QStringLiteral("第二题"), { "0.2", "0.3", "0.1" }),
            row(QStringLiteral("第三题"), { "0.3", "0.1", "0.2" }),
            row(QStringLiteral("第四题"), { "0", "0.7" }) });
    folder.addRows(BankNames::scoringTable(pathTest),
        { { "0", "0.2", "低" }, { "0.3", "0.6", "中" }, { "0.6", "1", "偏高" },
            { "0.9", "2", "高" } });
}

int question(frmTest *runner)
{
    return runner->Label8->text().toInt();
}

// The option marked as answered before, or -1, as a screen reader finds it; the mark
// beside it shows too.
int markedOption(frmTest *runner)
{
    int marked = -1;
    const auto options = runner->optionLabels();
    for (int i = 0; i < 6; ++i) {
        QAccessibleInterface *option = QAccessible::queryAccessibleInterface(options[i]);
        if (option && option->text(QAccessible::Description) == answeredBefore)
            marked = i;
    }
    return runner->Label16->isVisible() == (marked >= 0) ? marked : -2;
}

// Walks a path: a letter answers with that option, '<' goes back (上一题 or Backspace).
// Checks on the way that a question shown again marks its final answer. Returns the
// final answers as letters.
QString walk(frmTest *runner, const QString &path, bool byKeys)
{
    QList<int> finals;
    for (const QChar step : path) {
        const int at = question(runner);
        if (step == u'<') {
            if (byKeys)
                QTest::keyClick(runner, Qt::Key_Backspace);
            else if (runner->Label15->isVisible())
                userinput::press(runner, u"上一题");
            const int now = question(runner);
            if (now != qMax(1, at - 1) || markedOption(runner) != finals.value(now - 1, -1))
                return QStringLiteral("<wrong after going back from %1>").arg(at);
            continue;
        }
        const int option = step.unicode() - u'A';
        if (byKeys)
            QTest::keyClick(runner, Qt::Key(Qt::Key_A + option));
        else
            QTest::mouseClick(runner->optionLabels()[option], Qt::LeftButton);
        if (at - 1 < finals.size())
            finals[at - 1] = option;
        else
            finals << option;
    }
    QString letters;
    for (int option : finals)
        letters += QChar(u'A' + option);
    return letters;
}

QString straightRun(const QString &answers)
{
    frmTest *runner = openRunner(pathTest);
    walk(runner, answers, false);
    const QString text = runner->Text7->text();
    runner->Unload();
    settle();
    return text;
}

QStringList answerTexts(const Results::Record &record)
{
    QStringList out;
    for (const Results::Answer &a : record.answers)
        out << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(a.question)
                   .arg(a.questionText, a.option, a.optionText, a.score);
    return out;
}

QList<Results::Record> history(const TestFolder &folder)
{
    return Results::History(folder.file(QStringLiteral("results.db"))).records();
}

void changeField(const TestFolder &folder, int row, const QString &field, const QString &text)
{
    Recordset questions;
    QVERIFY(!questions.open(folder.bank(), pathTest));
    QVERIFY(!questions.MoveFirst());
    for (int i = 0; i < row; ++i)
        QVERIFY(!questions.MoveNext());
    QVERIFY(!questions.setValue(field, text));
    QVERIFY(!questions.Update());
    questions.release();
}

} // namespace

class tst_takingPaths : public ScriptedTest
{
    Q_OBJECT

private slots:
    void pathsGiveTheStraightRunsResult_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("byKeys");
        QTest::addColumn<QString>("finals");
        QTest::addColumn<QString>("total"); // the running total at the end, as carried
        QTest::addColumn<QString>("result");

        QTest::newRow("straight, 0.1 + 0.2 + 0.3") << "AAAA" << false << "AAAA"
                                                   << "0.6000000000000001"
                                                   << "0.6。偏高";
        QTest::newRow("back once, single-precision band") << "AB<CBA" << false << "ACBA"
                                                          << "0.30000000000000004"
                                                          << "0.3。中";
        QTest::newRow("back once by keys") << "AB<CBA" << true << "ACBA"
                                           << "0.30000000000000004"
                                           << "0.3。中";
        QTest::newRow("back to the first") << "ABC<<<BBCA" << false << "BBCA"
                                           << "0.7"
                                           << "0.7。偏高";
        QTest::newRow("back to the first by keys, and once more there")
            << "ABC<<<<BBCA" << true << "BBCA"
            << "0.7"
            << "0.7。偏高";
        QTest::newRow("an answer changed twice") << "AB<C<ACA" << false << "AACA"
                                                 << "0.5"
                                                 << "0.5。中";
        QTest::newRow("back on the first question does nothing") << "<A<BCAB" << true << "BCAB"
                                                                 << "1.3"
                                                                 << "1.3。高";
        QTest::newRow("back at the last question, then forth") << "ABC<C<A<BA" << false << "ABBA"
                                                               << "0.5"
                                                               << "0.5。中";
    }

    // On a test that allows it, any path ends with the total and result text of a
    // straight run with the same final answers, and the history keeps only those.
    void pathsGiveTheStraightRunsResult()
    {
        QFETCH(QString, path);
        QFETCH(bool, byKeys);
        QFETCH(QString, finals);
        QFETCH(QString, total);
        QFETCH(QString, result);
        TestFolder folder;
        addPathTest(folder);
        QVERIFY(!TestSettings::allowGoingBack(folder.bank(), pathTest, true));
        MainWindowFixture main;

        frmTest *runner = openRunner(pathTest);
        QVERIFY(!runner->Label15->isVisible()); // not on the first question
        QCOMPARE(walk(runner, path, byKeys), finals);
        QCOMPARE(runner->Text7->text(), total);
        QCOMPARE(resultText(), QStringLiteral("    你的得分是") + result);
        QVERIFY(!runner->Label15->isVisible());
        runner->Unload();
        settle();

        QCOMPARE(straightRun(finals), total);
        const QList<Results::Record> records = history(folder);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(1).resultText, records.at(0).resultText);
        QCOMPARE(records.at(1).total, records.at(0).total);
        QCOMPARE(answerTexts(records.at(1)), answerTexts(records.at(0)));
        QCOMPARE(records.at(1).answers.size(), 4);
        QVERIFY(messages->texts().isEmpty());
    }

    // Off by default: no 上一题, and Backspace changes nothing. The question editor's box
    // turns it on; the setting follows a renamed test and goes with a deleted one.
    void goingBackIsTheAuthorsSetting()
    {
        TestFolder folder;
        addPathTest(folder);
        MainWindowFixture main;
        frmTest *runner = openRunner(pathTest);
        walk(runner, QStringLiteral("AB"), false);
        QVERIFY(!runner->Label15->isVisible());
        QTest::keyClick(runner, Qt::Key_Backspace);
        QCOMPARE(question(runner), 3);
        QCOMPARE(runner->Text7->text(), QStringLiteral("0.4"));
        runner->Unload();
        settle();
        messages->answer(MsgAnswer::No); // the run left unfinished is not continued

        QVERIFY(HandOff::writeTestName(pathTest));
        frmEdittest *editor = Forms::load<frmEdittest>();
        editor->Show();
        QCOMPARE(editor->chkBack->text(), QStringLiteral("允许返回上一题"));
        QVERIFY(!editor->chkBack->isChecked());
        userinput::press(editor, u"允许返回上一题");
        QVERIFY(TestSettings::goingBackAllowed(folder.bank(), pathTest));
        editor->Unload();
        settle();

        runner = openRunner(pathTest);
        QCOMPARE(messages->last(), unfinished);
        walk(runner, QStringLiteral("A"), false);
        QVERIFY(runner->Label15->isVisible());
        QAccessibleInterface *back = QAccessible::queryAccessibleInterface(runner->Label15);
        QCOMPARE(back->role(), QAccessible::Button);
        QCOMPARE(back->text(QAccessible::Name), QStringLiteral("上一题"));
        QVERIFY(back->actionInterface());
        back->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(question(runner), 1);
        runner->Unload();
        settle();

        const QString renamed = QStringLiteral("来回二");
        QVERIFY(!Catalogue::renameTest(folder.bank(), pathTest, renamed, QStringLiteral("情商")));
        QVERIFY(TestSettings::goingBackAllowed(folder.bank(), renamed));
        QVERIFY(!TestSettings::goingBackAllowed(folder.bank(), pathTest));
        QVERIFY(!Catalogue::deleteTest(folder.bank(), renamed, QStringLiteral("情商")));
        QVERIFY(!TestSettings::goingBackAllowed(folder.bank(), renamed));
        // The settings' table is none a test could have.
        QVERIFY(Catalogue::checkNewName(folder.bank(), TestSettings::table()));
        QVERIFY(!folder.tables().contains(pathTest));
    }

    void continuesWhereItStopped_data()
    {
        QTest::addColumn<bool>("allowBack");
        QTest::newRow("plain test") << false;
        QTest::newRow("going back allowed") << true;
    }

    // A run left after two answers is offered on the next opening; continuing shows the
    // third question and ends as the straight run does. Starting again forgets it.
    void continuesWhereItStopped()
    {
        QFETCH(bool, allowBack);
        TestFolder folder;
        addPathTest(folder);
        QVERIFY(!TestSettings::allowGoingBack(folder.bank(), pathTest, allowBack));
        MainWindowFixture main;
        const QString straight = straightRun(QStringLiteral("CBAB"));
        const QString straightResult = resultText();

        frmTest *runner = openRunner(pathTest);
        walk(runner, QStringLiteral("CB"), false);
        runner->Unload();
        settle();

        messages->answer(MsgAnswer::Yes);
        runner = openRunner(pathTest);
        QCOMPARE(messages->shown().size(), 1);
        QCOMPARE(messages->last(), unfinished);
        QCOMPARE(messages->shown().at(0).style, MsgStyle::Question);
        QCOMPARE(question(runner), 3);
        QCOMPARE(runner->Label1->text(), QStringLiteral("第三题"));
        QCOMPARE(runner->Label15->isVisible(), allowBack);
        QCOMPARE(markedOption(runner), -1);
        if (allowBack) {
            QTest::keyClick(runner, Qt::Key_Backspace);
            QCOMPARE(markedOption(runner), 1); // B, given before the break
            QTest::keyClick(runner, Qt::Key_B);
        }
        walk(runner, QStringLiteral("AB"), false);
        QCOMPARE(runner->Text7->text(), straight);
        QCOMPARE(resultText(), straightResult);
        runner->Unload();
        settle();
        QCOMPARE(answerTexts(history(folder).at(0)), answerTexts(history(folder).at(1)));

        // Finished: nothing is offered any more.
        messages->clear();
        runner = openRunner(pathTest);
        QVERIFY(messages->texts().isEmpty());
        walk(runner, QStringLiteral("A"), false);
        runner->Unload();
        settle();

        // Starting again begins at the first question with nothing kept.
        messages->answer(MsgAnswer::No);
        runner = openRunner(pathTest);
        QCOMPARE(messages->texts(), QStringList { unfinished });
        QCOMPARE(question(runner), 1);
        QCOMPARE(runner->Text7->text(), QStringLiteral("0"));
        runner->Unload();
        settle();
        runner = openRunner(pathTest);
        QCOMPARE(messages->texts().size(), 1);
    }

    void changedTestStartsAfresh_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("a question's text") << 0 << BankNames::questionField() << "第一题？";
        QTest::newRow("an option's text") << 1 << BankNames::optionField(2) << "选项三";
        QTest::newRow("a score") << 0 << BankNames::scoreField(0) << "0.15";
        QTest::newRow("an option shown") << 3 << BankNames::optionField(2) << "选项C";
        QTest::newRow("a question more") << -1 << QString() << QString();
    }

    // A test changed since the run was left is not continued: the runner says so and
    // starts at the first question; the kept run is gone.
    void changedTestStartsAfresh()
    {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(QString, text);
        TestFolder folder;
        addPathTest(folder);
        MainWindowFixture main;
        frmTest *runner = openRunner(pathTest);
        walk(runner, QStringLiteral("AB"), false);
        runner->Unload();
        settle();

        if (row < 0)
            folder.addRows(pathTest, { { QStringLiteral("第五题"), QStringLiteral("是") } });
        else
            changeField(folder, row, field, text);
        messages->answer(MsgAnswer::Yes);
        runner = openRunner(pathTest);
        QCOMPARE(messages->shown().size(), 1);
        QCOMPARE(messages->shown().at(0).style, MsgStyle::Information);
        QVERIFY(messages->last().contains(QStringLiteral("改过了")));
        QCOMPARE(question(runner), 1);
        QCOMPARE(runner->Text7->text(), QStringLiteral("0"));
        runner->Unload();
        settle();
        openRunner(pathTest);
        QCOMPARE(messages->shown().size(), 1);
    }
};

QTEST_MAIN(tst_takingPaths)
#include "tst_takingPaths.moc"
