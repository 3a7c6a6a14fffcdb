// The question editor on a real bank: the number it shows, the messages at either
// end, what 添加, 删除 and the moves leave stored, its keys, its placeholder, and
// what it does with a score that is no number.
#include "support/editorsteps.h"
#include "support/windowtest.h"

#include "bank/frmBFEdit.h"
#include "binding/Data.h"
#include "info/frmHelp.h"
#include "music/frmMusic.h"
#include "platform/msgbox.h"
#include "support/testpieces.h"

#include <QFile>
#include <QLabel>
#include <QMdiSubWindow>
#include <functional>

using namespace editorsteps;

namespace {
const QString kTest = QStringLiteral("情商自测");
const QString kFirst = QStringLiteral("已经是第一题了！");
const QString kLast = QStringLiteral("已经是最后一题了！");
const QString kDelete = QStringLiteral("您确定删除当前题目吗？");
} // namespace

class tst_frmEdittest : public WindowTest
{
    Q_OBJECT

    // A test with `count` stored questions, open in the editor.
    frmEdittest *openWith(int count)
    {
        folder->addTest(QStringLiteral("情商"), kTest);
        folder->addRows(kTest, questions(count));
        return openEditor(*main, kTest);
    }
    QStringList stored() const { return firsts(folder->rows(kTest)); }

private slots:
    void opening()
    {
        // An empty table opens on an empty new question numbered 1; 末题 on it shows
        // 0, and leaving it untouched stores nothing.
        frmEdittest *w = openWith(0);
        QVERIFY(w);
        QCOMPARE(w->Label6->text(), kTest);
        QCOMPARE(w->Label4->text(), QStringLiteral("1"));
        QVERIFY(w->Text1->toPlainText().isEmpty());
        press(w, u"末题");
        QCOMPARE(w->Label4->text(), QStringLiteral("0"));
        press(w, u"完成");
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QCOMPARE(folder->rows(kTest).size(), 0);
        QVERIFY(messages->texts().isEmpty());

        // A stored first question is shown as it is.
        folder->addRows(kTest, questions(2));
        w = openEditor(*main, kTest);
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1"));
        QCOMPARE(w->Text2->text(), QStringLiteral("题1A"));
        QCOMPARE(w->Text9->text(), QStringLiteral("2"));
        QCOMPARE(w->Text13->text(), QString());
    }

    void openingNamesAndMissingTables()
    {
        // Blanks, commas and quotes in a name reach the title unchanged.
        const QString odd = QStringLiteral(" 测试, \"甲\" ");
        folder->addTest(QStringLiteral("情商"), odd);
        frmEdittest *w = openEditor(*main, odd);
        QCOMPARE(w->Label6->text(), odd);
        QCOMPARE(w->Label4->text(), QStringLiteral("1"));
        w->Unload();
        settle();

        // A test whose table is gone is reported, and the window does not stay.
        w = openEditor(*main, QStringLiteral("没有这个测试"));
        QVERIFY(w);
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY(messages->last().contains(QStringLiteral("没有这个测试")));
        QTRY_VERIFY(!Forms::find<frmEdittest>());

        // So is a missing temp.txt.
        QVERIFY(QFile::remove(folder->file(QStringLiteral("temp.txt"))));
        Forms::load<frmEdittest>()->Show();
        QCOMPARE(messages->texts().size(), 2);
        QVERIFY(messages->last().contains(QStringLiteral("temp.txt")));
        QTRY_VERIFY(!Forms::find<frmEdittest>());
    }

    void movesAndTheirEnds()
    {
        frmEdittest *w = openWith(5);
        // 上一题 on the first question stays there, shows 1, then says so.
        press(w, u"上一题");
        QCOMPARE(w->Label4->text(), QStringLiteral("1"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1"));
        QCOMPARE(messages->texts(), QStringList { kFirst });

        press(w, u"下一题");
        press(w, u"下一题");
        QCOMPARE(w->Label4->text(), QStringLiteral("3"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题3"));

        // 末题, then 下一题 on the last question: it stays, shows the count, says so.
        press(w, u"末题");
        QCOMPARE(w->Label4->text(), QStringLiteral("5"));
        press(w, u"下一题");
        QCOMPARE(w->Label4->text(), QStringLiteral("5"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题5"));
        QCOMPARE(messages->texts(), QStringList({ kFirst, kLast }));

        press(w, u"首题");
        QCOMPARE(w->Label4->text(), QStringLiteral("1"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1"));

        // A change is stored by the move that leaves it.
        type(w->Text1, QStringLiteral("改过的题1"));
        press(w, u"下一题");
        QCOMPARE(stored().first(), QStringLiteral("改过的题1"));
    }

    void add()
    {
        frmEdittest *w = openWith(5);
        press(w, u"添加");
        QCOMPARE(w->Label4->text(), QStringLiteral("6"));
        QVERIFY(w->Text1->toPlainText().isEmpty());
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(focused(), w->Text1);

        // 上一题 right after 添加 stores no empty question.
        press(w, u"上一题");
        QCOMPARE(stored().size(), 5);
        QCOMPARE(messages->texts(), QStringList());

        // Typed and left with 下一题, the new question is the sixth, shown as 6.
        press(w, u"添加");
        type(w->Text1, QStringLiteral("题6"));
        type(w->Text2, QStringLiteral("是"));
        press(w, u"下一题");
        QCOMPARE(w->Label4->text(), QStringLiteral("6"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题6"));
        QCOMPARE(stored(), firsts(questions(6)));
        QCOMPARE(folder->rows(kTest).last().at(1), QStringLiteral("是"));

        // Into an empty table: the stored question stays the one shown.
        folder->addTest(QStringLiteral("情商"), QStringLiteral("空测试"));
        w->Unload();
        settle();
        w = openEditor(*main, QStringLiteral("空测试"));
        type(w->Text1, QStringLiteral("第一道"));
        press(w, u"下一题");
        QCOMPARE(w->Label4->text(), QStringLiteral("1"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("第一道"));
        QCOMPARE(messages->last(), kLast);
        QCOMPARE(firsts(folder->rows(QStringLiteral("空测试"))),
            QStringList { QStringLiteral("第一道") });
    }

    void remove_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("at"); // 1-based question deleted
        QTest::addColumn<QString>("shown"); // number shown after
        QTest::addColumn<QString>("text"); // question shown after
        QTest::addColumn<QStringList>("left");
        QTest::newRow("third of five") << 5 << 3 << "2"
                                       << "题2" << QStringList { "题1", "题2", "题4", "题5" };
        QTest::newRow("first of five") << 5 << 1 << "1"
                                       << "" << QStringList { "题2", "题3", "题4", "题5" };
        QTest::newRow("last of five") << 5 << 5 << "4"
                                      << "题4" << QStringList { "题1", "题2", "题3", "题4" };
        QTest::newRow("the only one") << 1 << 1 << "1"
                                      << "" << QStringList();
    }
    void remove()
    {
        QFETCH(int, count);
        QFETCH(int, at);
        QFETCH(QString, shown);
        QFETCH(QString, text);
        QFETCH(QStringList, left);
        frmEdittest *w = openWith(count);
        for (int i = 1; i < at; ++i)
            press(w, u"下一题");

        // No keeps everything.
        press(w, u"删除");
        QCOMPARE(messages->texts(), QStringList { kDelete });
        QCOMPARE(messages->shown().last().style, MsgStyle::Question);
        QCOMPARE(stored().size(), count);

        messages->answer(MsgAnswer::Yes);
        press(w, u"删除");
        QCOMPARE(w->Label4->text(), shown);
        QCOMPARE(w->Text1->toPlainText(), text);
        QCOMPARE(stored(), left);

        // The empty new question after deleting the first is stored only when typed.
        press(w, u"完成");
        settle();
        QCOMPARE(stored(), left);
    }

    void removeWhileAdding()
    {
        // Deleting a new question that is still pending leaves the stored ones alone.
        frmEdittest *w = openWith(3);
        press(w, u"添加");
        type(w->Text1, QStringLiteral("不要了"));
        messages->answer(MsgAnswer::Yes);
        press(w, u"删除");
        QCOMPARE(stored(), firsts(questions(3)));
        QCOMPARE(w->Label4->text(), QStringLiteral("3"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题3"));
    }

    void optionPlaceholder()
    {
        frmEdittest *w = openWith(2);
        // Tabbing through an empty option sets one space there.
        w->Text4->setFocus();
        QTest::keyClick(w->Text4, Qt::Key_Tab);
        QCOMPARE(w->Text4->text(), QStringLiteral(" "));
        QCOMPARE(focused(), w->Text5);
        // A box holding one space is empty while it has the focus.
        QTest::mouseClick(w->Text4, Qt::LeftButton);
        QCOMPARE(focused(), w->Text4);
        QCOMPARE(w->Text4->text(), QString());
        keys(QStringLiteral("x"));
        // Stored with the move: typed, left empty, never visited.
        press(w, u"下一题");
        QStringList first = folder->rows(kTest).first();
        QCOMPARE(first.at(5), QStringLiteral("x"));
        QCOMPARE(first.at(7), QStringLiteral(" "));
        QCOMPARE(first.at(9), QString());

        // The question box and the score boxes have no placeholder.
        press(w, u"首题");
        type(w->Text1, QString());
        type(w->Text13, QString());
        QTest::mouseClick(w->Text7, Qt::LeftButton);
        QCOMPARE(w->Text1->toPlainText(), QString());
        QCOMPARE(w->Text13->text(), QString());
        press(w, u"下一题");
        first = folder->rows(kTest).first();
        QCOMPARE(first.at(0), QString());
        QCOMPARE(first.at(11), QStringLiteral(" "));
        QCOMPARE(first.at(12), QString());
    }

    void keysOfTheTextBoxes()
    {
        frmEdittest *w = openWith(3);
        // Enter goes down the options to the first score, then down the scores; in the
        // last score it does nothing. In the question box it starts a new line.
        w->Text1->setFocus();
        w->Text1->moveCursor(QTextCursor::End);
        key(Qt::Key_Return);
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1\n"));
        w->Text2->setFocus();
        for (QLineEdit *next : { w->Text3, w->Text4, w->Text5, w->Text6, w->Text7, w->Text8,
                 w->Text9, w->Text10, w->Text11, w->Text12, w->Text13 }) {
            key(Qt::Key_Return);
            QCOMPARE(focused(), next);
        }
        key(Qt::Key_Return);
        QCOMPARE(focused(), w->Text13);

        // Ctrl+] moves on and Esc back, the focus in the question box.
        w->Text3->setFocus();
        key(Qt::Key_BracketRight, Qt::ControlModifier);
        QCOMPARE(w->Label4->text(), QStringLiteral("2"));
        QCOMPARE(focused(), w->Text1);
        key(Qt::Key_Escape);
        QCOMPARE(w->Label4->text(), QStringLiteral("1"));
        QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1\n"));
        QCOMPARE(focused(), w->Text1);
        QCOMPARE(stored().first(), QStringLiteral("题1\n"));

        // Ctrl+N in an option adds a question, the focus in the question box.
        w->Text6->setFocus();
        key(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(w->Label4->text(), QStringLiteral("4"));
        QVERIFY(w->Text1->toPlainText().isEmpty());
        QCOMPARE(focused(), w->Text1);
        QVERIFY(messages->texts().isEmpty());
    }

    void plusInScoreBoxes_data()
    {
        QTest::addColumn<int>("box"); // option index 0..5
        for (int i = 0; i < 6; ++i)
            QTest::newRow(qPrintable(QStringLiteral("score %1").arg(QChar(u'A' + i)))) << i;
    }
    void plusInScoreBoxes()
    {
        QFETCH(int, box);
        frmEdittest *w = openWith(3);
        QLineEdit *score = w->scoreBoxes()[box];
        score->setFocus();
        score->selectAll();
        keys(QStringLiteral("7+"));
        QCOMPARE(w->Label4->text(), QStringLiteral("2"));
        QCOMPARE(focused(), w->Text8);
        QCOMPARE(folder->rows(kTest).first().at(2 + 2 * box), QStringLiteral("7"));
        QVERIFY(!w->Text8->text().contains(u'+'));
    }

    void numericKeyFilterInScoreBoxes()
    {
        frmEdittest *w = openWith(1);
        w->Text10->setFocus();
        w->Text10->clear();
        keys(QStringLiteral("a1b2,. c-3x9=分"));
        QCOMPARE(w->Text10->text(), QStringLiteral("12.-39"));
        // Control keys still edit the box.
        key(Qt::Key_Backspace);
        key(Qt::Key_Backspace);
        QCOMPARE(w->Text10->text(), QStringLiteral("12.-"));
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(w->Text10->text(), QString());
        key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w->Text10->text(), QStringLiteral("12.-"));
        // Options take any text.
        type(w->Text2, QStringLiteral("a+b=分"));
        QCOMPARE(w->Text2->text(), QStringLiteral("a+b=分"));
    }

    void scoresStoredAsNumbers()
    {
        frmEdittest *w = openWith(2);
        type(w->Text8, QStringLiteral("2.5"));
        type(w->Text9, QStringLiteral("-3"));
        type(w->Text10, QStringLiteral("0.1"));
        type(w->Text11, QStringLiteral("007"));
        press(w, u"下一题");
        const QStringList row = folder->rows(kTest).first();
        QCOMPARE(row.mid(2, 7), QStringList({ "2.5", "题1B", "-3", "", "0.1", "", "7" }));
        press(w, u"上一题");
        QCOMPARE(w->Text8->text(), QStringLiteral("2.5"));
        QCOMPARE(w->Text9->text(), QStringLiteral("-3"));
        QCOMPARE(w->Text10->text(), QStringLiteral("0.1"));
        // An emptied score is stored empty.
        type(w->Text8, QString());
        press(w, u"下一题");
        QCOMPARE(folder->rows(kTest).first().at(2), QString());
    }

    void scoreThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("two points") << "1.2.3";
        QTest::newRow("lone minus") << "-";
        QTest::newRow("minus after digits") << "1-2";
        QTest::newRow("lone point") << ".";
        QTest::newRow("too large") << QString(40, u'9');
    }
    void scoreThatIsNoNumber()
    {
        QFETCH(QString, text);
        frmEdittest *w = openWith(3);
        press(w, u"下一题");
        type(w->Text1, QStringLiteral("改过"));
        type(w->Text9, text);
        const QList<QStringList> before = folder->rows(kTest);

        // Every way on is refused with one message naming the box and its text; the
        // question stays as typed and nothing of it is stored.
        const auto refused = [&](const char *what) {
            QCOMPARE(messages->texts().size(), 1);
            QVERIFY2(messages->last().contains(QStringLiteral("选项B的得分")), what);
            QVERIFY2(messages->last().contains(text), what);
            QCOMPARE(w->Label4->text(), QStringLiteral("2"));
            QCOMPARE(w->Text1->toPlainText(), QStringLiteral("改过"));
            QCOMPARE(w->Text9->text(), text);
            QCOMPARE(focused(), w->Text9);
            QCOMPARE(folder->rows(kTest), before);
            messages->clear();
        };
        const std::pair<const char *, std::function<void()>> ways[] = {
            { "下一题", [&] { press(w, u"下一题"); } },
            { "上一题", [&] { press(w, u"上一题"); } },
            { "添加", [&] { press(w, u"添加"); } },
            { "完成", [&] { press(w, u"完成"); } },
            { "close box", [&] { w->subWindow()->close(); } },
            { "+", [&] { QTest::keyClick(w->Text9, Qt::Key_Plus); } },
        };
        for (const auto &[what, action] : ways) {
            action();
            refused(what);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(Forms::find<frmEdittest>());
        }

        // Put right, it is stored with the next move.
        type(w->Text9, QStringLiteral("4"));
        press(w, u"下一题");
        QCOMPARE(folder->rows(kTest).at(1).at(0), QStringLiteral("改过"));
        QCOMPARE(folder->rows(kTest).at(1).at(4), QStringLiteral("4"));
        QCOMPARE(w->Label4->text(), QStringLiteral("3"));
    }

    // In an empty test the moves find no question; whatever they do, a question typed
    // afterwards is stored by whatever comes next.
    void emptyTableWalkStoresWhatIsTyped_data()
    {
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("leave");
        QTest::newRow("首题, 完成") << "首题"
                                    << "完成";
        QTest::newRow("末题, close box") << "末题"
                                         << "close box";
        QTest::newRow("bar first, 添加") << "首记录"
                                         << "添加";
        QTest::newRow("bar last, 下一题") << "末记录"
                                          << "下一题";
        QTest::newRow("首题 then 末题, 上一题") << "首题 末题"
                                                << "上一题";
    }
    void emptyTableWalkStoresWhatIsTyped()
    {
        QFETCH(QString, move);
        QFETCH(QString, leave);
        frmEdittest *w = openWith(0);
        QVERIFY(w);
        for (const QString &step : move.split(u' '))
            press(w, step);
        QVERIFY(!w->Text1->isReadOnly());
        type(w->Text1, QStringLiteral("空表里写的题"));
        type(w->Text2, QStringLiteral("是"));
        type(w->Text8, QStringLiteral("3"));
        if (leave == QLatin1String("close box"))
            w->subWindow()->close();
        else
            press(w, leave);
        settle();
        const QList<QStringList> rows = folder->rows(kTest);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().mid(0, 3), QStringList({ "空表里写的题", "是", "3" }));
    }

    // Ctrl+Q, the toolbar's exit, the main close box and 进行测试, refused by a score
    // that is no number: every other window, the music among them, stays as it was.
    // With a bound that is no number in the score-band editor too, leaving one editor
    // without its change and keeping the other keeps both as they were: nothing is let
    // go until every window agreed. Asked again, the user may leave without them.
    void refusedExitLeavesTheProgramWhole_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("bandToo");
        QTest::newRow("Ctrl+Q") << "Ctrl+Q" << false;
        QTest::newRow("toolbar") << "tbrExit" << false;
        QTest::newRow("main close box") << "close box" << false;
        QTest::newRow("Ctrl+Q, both editors, yes then no") << "Ctrl+Q" << true;
        QTest::newRow("进行测试, both editors, yes then no") << "进行测试" << true;
    }
    void refusedExitLeavesTheProgramWhole()
    {
        QFETCH(QString, way);
        QFETCH(bool, bandToo);
        QVERIFY(QFile::copy(TestPieces::shipped(QStringLiteral("music.ini")),
            folder->file(QStringLiteral("music.ini"))));
        QVERIFY(QFile::copy(TestPieces::shipped(QStringLiteral("gaoshanls.mp3")),
            folder->file(QStringLiteral("gaoshanls.mp3"))));
        (*main)->Form_Load();
        frmMusic *music = Forms::find<frmMusic>();
        QVERIFY(music);
        QCOMPARE(music->MMControl1->Mode(), int(MediaDevice::ModePlay));
        (*main)->mnuFL_Click();
        frmEdittest *w = openWith(1);
        const QString scoring = kTest + QStringLiteral("评分");
        const QList<QStringList> bands { { "0", "1", "差" }, { "2", "3", "好" } };
        folder->addRows(scoring, bands);
        press(w, u"评分");
        frmScore *score = Forms::find<frmScore>();
        QVERIFY(score);
        if (bandToo)
            type(score->Text1, QStringLiteral("-"));
        w->activateWindow();
        type(w->Text1, QStringLiteral("改过的题"));
        type(w->Text8, QStringLiteral("-"));
        const QStringList before = [] {
            QStringList names;
            for (Form *f : Forms::openForms())
                names << QString::fromLatin1(f->metaObject()->className());
            names.sort();
            return names;
        }();
        const auto leave = [&] {
            if (way == QLatin1String("Ctrl+Q"))
                QTest::keyClick(w->Text1, Qt::Key_Q, Qt::ControlModifier);
            else if (way == QLatin1String("tbrExit"))
                (*main)->Toolbar1_ButtonClick(way);
            else if (way == QStringLiteral("进行测试"))
                (*main)->mnuTesting_Click();
            else
                return (*main)->close();
            return true;
        };

        if (bandToo)
            messages->answer(MsgAnswer::Yes); // the first asked leaves, the second stays
        leave();
        settle();
        QCOMPARE(messages->texts().size(), bandToo ? 2 : 1);
        QVERIFY(messages->texts().join(u'|').contains(QStringLiteral("选项A的得分")));
        if (bandToo)
            QVERIFY(messages->texts().join(u'|').contains(QStringLiteral("分数下限")));
        QStringList after;
        for (Form *f : Forms::openForms())
            after << QString::fromLatin1(f->metaObject()->className());
        after.sort();
        QCOMPARE(after, before);
        QCOMPARE(music->MMControl1->Mode(), int(MediaDevice::ModePlay));
        QCOMPARE(w->Text8->text(), QStringLiteral("-"));
        if (!bandToo)
            QCOMPARE(focused(), w->Text8);
        QVERIFY(QFile::exists(folder->file(QStringLiteral("temp.txt"))));
        // Both still work on their tables: what they show is what they hold.
        QVERIFY(w->Data1->recordset().isOpen());
        QVERIFY(score->Data1->recordset().isOpen());
        QCOMPARE(score->Data1->recordset().RecordCount(), 2);
        QCOMPARE(score->Text1->text(), bandToo ? QStringLiteral("-") : QStringLiteral("0"));
        QCOMPARE(score->Text3->toPlainText(), QStringLiteral("差"));
        QCOMPARE(score->Label3->text(), QStringLiteral("第 1 档"));
        if (bandToo) {
            // What is typed afterwards is stored as usual.
            type(score->Text1, QStringLiteral("0.5"));
            press(score, u"下一档");
            QCOMPARE(folder->rows(scoring).value(0).value(0), QStringLiteral("0.5"));
            QCOMPARE(score->Label3->text(), QStringLiteral("第 2 档"));
            type(score->Text1, QStringLiteral("-"));
        }
        messages->clear();

        // Leaving without the question: everything closes, the question is not stored.
        messages->answer(MsgAnswer::Yes);
        messages->answer(MsgAnswer::Yes);
        QVERIFY(leave());
        settle();
        QCOMPARE(messages->texts().size(), bandToo ? 2 : 1);
        QVERIFY(!Forms::find<frmEdittest>() && !Forms::find<frmScore>());
        if (way == QStringLiteral("进行测试"))
            QVERIFY(Forms::find<frmBFEdit>());
        else
            QVERIFY(Forms::openForms().isEmpty());
        QCOMPARE(stored(), QStringList { "题1" });
        QCOMPARE(folder->rows(scoring).value(1), bands.value(1));
        QCOMPARE(QFile::exists(folder->file(QStringLiteral("temp.txt"))),
            way == QLatin1String("close box") || way == QStringLiteral("进行测试"));
    }

    // Scores come back as plain decimals, however large or small they were typed.
    void scoresShowAsPlainDecimals_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("100000") << "100000"
                                << "100000";
        QTest::newRow("a million") << "1000000"
                                   << "1000000";
        QTest::newRow("0.0001") << "0.0001"
                                << "0.0001";
        QTest::newRow("1234567") << "1234567"
                                 << "1234567";
        QTest::newRow("12.5") << "12.5"
                              << "12.5";
        QTest::newRow("-3") << "-3"
                            << "-3";
        QTest::newRow("-0.75") << "-0.75"
                               << "-0.75";
        // Single precision keeps 123456792 of 123456789.
        QTest::newRow("past single precision") << "123456789"
                                               << "123456792";
    }
    void scoresShowAsPlainDecimals()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        frmEdittest *w = openWith(2);
        type(w->Text8, typed);
        press(w, u"下一题");
        press(w, u"上一题");
        QCOMPARE(w->Text8->text(), shown);
        QCOMPARE(folder->rows(kTest).first().at(2), shown);
    }

    void refusedQuestionKeepsTheProgramOpen()
    {
        frmEdittest *w = openWith(1);
        type(w->Text8, QStringLiteral("1.2.3"));
        // The chooser command stops at its close-all step, the exit command and the
        // close box of the main window stop too: the question stays as typed.
        (*main)->mnuOpenTest_Click();
        QVERIFY(!Forms::find<frmBFEdit>());
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("temp1.txt"))));
        (*main)->mnuExit_Click();
        QVERIFY(QFile::exists(folder->file(QStringLiteral("temp.txt"))));
        QVERIFY(!(*main)->close());
        QCOMPARE(messages->texts().size(), 3);
        QVERIFY(Forms::find<frmEdittest>());
        QCOMPARE(w->Text8->text(), QStringLiteral("1.2.3"));

        type(w->Text8, QStringLiteral("1.2"));
        (*main)->mnuOpenTest_Click();
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QVERIFY(Forms::find<frmBFEdit>());
        QCOMPARE(folder->rows(kTest).first().at(2), QStringLiteral("1.2"));
    }

    void leavingCommits()
    {
        frmEdittest *w = openWith(2);
        type(w->Text1, QStringLiteral("完成前改的"));
        press(w, u"完成");
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QCOMPARE(stored().first(), QStringLiteral("完成前改的"));

        w = openEditor(*main, kTest);
        type(w->Text2, QStringLiteral("关窗前改的"));
        w->subWindow()->close();
        settle();
        QCOMPARE(folder->rows(kTest).first().at(1), QStringLiteral("关窗前改的"));

        // The main window's close-all step, before a chooser command.
        w = openEditor(*main, kTest);
        press(w, u"添加");
        type(w->Text1, QStringLiteral("新的一题"));
        (*main)->subUnload();
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QCOMPARE(stored().last(), QStringLiteral("新的一题"));
    }

    void scoringAndHelp()
    {
        frmEdittest *w = openWith(1);
        type(w->Text1, QStringLiteral("未提交"));
        press(w, u"评分");
        frmScore *score = Forms::find<frmScore>();
        QVERIFY(score);
        QCOMPARE(score->Label2->text(), kTest);
        // Its design client area, in a frame within a few pixels of the asked size.
        QCOMPARE(score->size(), score->designClient());
        QVERIFY(qAbs(score->Width() - 5964) <= 8 * 15);
        QVERIFY(qAbs(score->Height() - 4116) <= 8 * 15);
        // The question shown is not committed by opening the scoring editor.
        QCOMPARE(stored().first(), QStringLiteral("题1"));
        QVERIFY(Forms::find<frmEdittest>());

        press(w, u"求助");
        QCOMPARE(folder->read(QStringLiteral("temp1.txt")), QByteArray(" 1 \r\n"));
        frmHelp *help = Forms::find<frmHelp>();
        QVERIFY(help);
        QVERIFY(qAbs(help->Width() - 5196) <= 8 * 15);
        QVERIFY(qAbs(help->Height() - 4860) <= 8 * 15);
    }

    void writingATestFromTheKeyboard()
    {
        // Twelve questions typed with keys only, then 完成 reached with Tab and Enter;
        // reopened, every text and score is there as typed, in order.
        folder->addTest(QStringLiteral("情商"), kTest);
        frmEdittest *w = openEditor(*main, kTest);
        QList<QStringList> expected;
        w->Text1->setFocus();
        for (int q = 1; q <= 12; ++q) {
            if (q > 1)
                key(Qt::Key_N, Qt::ControlModifier);
            QCOMPARE(w->Label4->text(), QString::number(q));
            QStringList row { QStringLiteral("第%1题：你会怎么做？").arg(q) };
            keys(row[0]);
            key(Qt::Key_Tab);
            const int options = 2 + q % 5; // two to six options
            for (int i = 0; i < 6; ++i) {
                const QString option = i < options
                    ? QStringLiteral("做法%1%2").arg(q).arg(QChar(u'A' + i))
                    : QStringLiteral(" ");
                if (i < options)
                    keys(option);
                key(Qt::Key_Return);
                row << option << QString();
            }
            for (int i = 0; i < 6; ++i) {
                if (i < options) {
                    const QString score = QString::number((q + i) % 4 - 1.5 * (i % 2));
                    keys(score);
                    row[2 + 2 * i] = score;
                }
                if (i < 5)
                    key(Qt::Key_Return);
            }
            expected << row;
            key(Qt::Key_Tab); // from the last score round to the question box
            QCOMPARE(focused(), w->Text1);
        }
        for (int i = 0; i < 9; ++i)
            key(Qt::Key_Tab);
        QCOMPARE(focused(), w->Command3);
        key(Qt::Key_Return);
        QTRY_VERIFY(!Forms::find<frmEdittest>());
        QCOMPARE(folder->rows(kTest), expected);

        w = openEditor(*main, kTest);
        for (int q = 0; q < 12; ++q) {
            QCOMPARE(w->Text1->toPlainText(), expected[q][0]);
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(w->optionBoxes()[i]->text(), expected[q][1 + 2 * i]);
                QCOMPARE(w->scoreBoxes()[i]->text(), expected[q][2 + 2 * i]);
            }
            press(w, u"下一题");
        }
        QCOMPARE(messages->texts(), QStringList { kLast });
    }
};

QTEST_MAIN(tst_frmEdittest)
#include "tst_frmEdittest.moc"
