// The score-band editor, opened from the question editor on a real bank: its band
// label, the messages at either end, what 添加, 删除 and the moves leave stored, Enter
// in the bound boxes, the evaluation placeholder, and bounds that are no number.
#include "support/editorsteps.h"
#include "support/windowtest.h"

#include "authoring/frmBandCheck.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "info/frmHelp.h"
#include "platform/msgbox.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QTextEdit>
#include <functional>

using namespace editorsteps;

namespace {
const QString kTest = QStringLiteral("情商自测");
const QString kScoring = QStringLiteral("情商自测评分");
const QString kFirst = QStringLiteral("已经是第一档了！");
const QString kLast = QStringLiteral("已经是最后一档了！");
const QString kDelete = QStringLiteral("您确定删除当前分数档吗？");
} // namespace

class tst_frmScore : public WindowTest
{
    Q_OBJECT

    // A test with `count` stored bands, its score-band editor open from the question
    // editor's 评分 button.
    frmScore *openWith(int count)
    {
        folder->addTest(QStringLiteral("情商"), kTest);
        folder->addRows(kScoring, bands(count));
        frmEdittest *editor = openEditor(*main, kTest);
        if (!editor)
            return nullptr;
        press(editor, u"评分");
        frmScore *w = Forms::find<frmScore>();
        if (w)
            w->Text1->setFocus();
        return w;
    }
    QStringList stored() const { return firsts(folder->rows(kScoring)); }

private slots:
    // In a test without bands the moves find none; whatever they do, a band typed
    // afterwards is stored by whatever comes next.
    void emptyTableWalkStoresWhatIsTyped_data()
    {
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("leave");
        QTest::newRow("首档, 完成") << "首档"
                                    << "完成";
        QTest::newRow("末档, close box") << "末档"
                                         << "close box";
        QTest::newRow("bar first, 添加") << "首记录"
                                         << "添加";
        QTest::newRow("bar last, 下一档") << "末记录"
                                          << "下一档";
    }
    void emptyTableWalkStoresWhatIsTyped()
    {
        QFETCH(QString, move);
        QFETCH(QString, leave);
        frmScore *w = openWith(0);
        QVERIFY(w);
        press(w, move);
        QVERIFY(!w->Text1->isReadOnly());
        type(w->Text1, QStringLiteral("0"));
        type(w->Text2, QStringLiteral("100000"));
        type(w->Text3, QStringLiteral("空表里写的档"));
        if (leave == QLatin1String("close box"))
            w->subWindow()->close();
        else
            press(w, leave);
        settle();
        QCOMPARE(folder->rows(kScoring), QList<QStringList>({ { "0", "100000", "空表里写的档" } }));
    }

    void bandLabels_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("label");
        QTest::newRow("1") << 1 << "第 1 档";
        QTest::newRow("0") << 0 << "第 0 档";
        QTest::newRow("10") << 10 << "第 10 档";
        QTest::newRow("123") << 123 << "第 123 档";
        QTest::newRow("-1") << -1 << "第-1 档";
    }
    void bandLabels()
    {
        QFETCH(int, n);
        QFETCH(QString, label);
        QCOMPARE(frmScore::bandLabel(n), label);
    }

    void opening()
    {
        // No bands: an empty new band labelled 第 1 档; 末档 on it shows 第 0 档; left
        // untouched, nothing is stored.
        frmScore *w = openWith(0);
        QVERIFY(w);
        QCOMPARE(w->Label2->text(), kTest);
        QCOMPARE(w->Label3->text(), QStringLiteral("第 1 档"));
        QVERIFY(w->Text1->text().isEmpty());
        press(w, u"末档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 0 档"));
        press(w, u"完成");
        settle();
        QVERIFY(!Forms::find<frmScore>());
        QVERIFY(Forms::find<frmEdittest>());
        QCOMPARE(folder->rows(kScoring).size(), 0);
        QVERIFY(messages->texts().isEmpty());

        // Without a question editor there is no test to take: told, and closed again.
        Forms::unload<frmEdittest>();
        settle();
        frmScore *orphan = Forms::load<frmScore>();
        orphan->Show();
        QCOMPARE(messages->texts().size(), 1);
        QTRY_VERIFY(!Forms::find<frmScore>());
    }

    void movesAndTheirEnds()
    {
        frmScore *w = openWith(4);
        QCOMPARE(w->Text1->text(), QStringLiteral("10"));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("评价1"));
        press(w, u"上一档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 1 档"));
        QCOMPARE(w->Text1->text(), QStringLiteral("10"));
        QCOMPARE(messages->texts(), QStringList { kFirst });

        press(w, u"末档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 4 档"));
        press(w, u"下一档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 4 档"));
        QCOMPARE(w->Text1->text(), QStringLiteral("40"));
        QCOMPARE(messages->texts(), QStringList({ kFirst, kLast }));

        press(w, u"首档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 1 档"));
        press(w, u"下一档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 2 档"));
        QCOMPARE(w->Text2->text(), QStringLiteral("29"));

        // A change is stored by the move that leaves it.
        type(w->Text3, QStringLiteral("改过"));
        press(w, u"上一档");
        QCOMPARE(folder->rows(kScoring).at(1).at(2), QStringLiteral("改过"));
    }

    void movesInAnEmptyTable()
    {
        // The message comes first, then the new band labelled 第 1 档; typed, it is stored.
        frmScore *w = openWith(0);
        press(w, u"下一档");
        QCOMPARE(messages->texts(), QStringList { kLast });
        QCOMPARE(w->Label3->text(), QStringLiteral("第 1 档"));
        type(w->Text1, QStringLiteral("0"));
        type(w->Text2, QStringLiteral("50"));
        press(w, u"上一档");
        QCOMPARE(messages->texts(), QStringList({ kLast, kFirst }));
        QCOMPARE(w->Label3->text(), QStringLiteral("第 1 档"));
        QCOMPARE(w->Text2->text(), QStringLiteral("50"));
        QCOMPARE(folder->rows(kScoring), QList<QStringList>({ { "0", "50", "" } }));
    }

    void addAndLongTables()
    {
        frmScore *w = openWith(3);
        press(w, u"添加");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 4 档"));
        QVERIFY(w->Text1->text().isEmpty());
        QVERIFY(w->Text3->toPlainText().isEmpty());
        QCOMPARE(focused(), w->Text1);
        keys(QStringLiteral("-5.5"));
        key(Qt::Key_Return);
        keys(QStringLiteral("2.5"));
        key(Qt::Key_Return);
        keys(QStringLiteral("还行"));
        press(w, u"添加");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 5 档"));
        QCOMPARE(folder->rows(kScoring).last(), QStringList({ "-5.5", "2.5", "还行" }));

        // 添加 right away again drops the untouched band; numbers go past 9 in full.
        for (int i = 0; i < 8; ++i) {
            type(w->Text1, QString::number(100 + i));
            press(w, u"添加");
        }
        QCOMPARE(w->Label3->text(), QStringLiteral("第 13 档"));
        press(w, u"添加");
        QCOMPARE(folder->rows(kScoring).size(), 12);
        press(w, u"末档");
        QCOMPARE(w->Label3->text(), QStringLiteral("第 12 档"));
        QCOMPARE(w->Text1->text(), QStringLiteral("107"));
    }

    void remove_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("second of three") << 3 << 2 << "第 1 档"
                                         << "10" << QStringList { "10", "30" };
        QTest::newRow("first of three") << 3 << 1 << "第 1 档"
                                        << "" << QStringList { "20", "30" };
        QTest::newRow("the only one") << 1 << 1 << "第 1 档"
                                      << "" << QStringList();
    }
    void remove()
    {
        QFETCH(int, count);
        QFETCH(int, at);
        QFETCH(QString, label);
        QFETCH(QString, lower);
        QFETCH(QStringList, left);
        frmScore *w = openWith(count);
        for (int i = 1; i < at; ++i)
            press(w, u"下一档");
        press(w, u"删除");
        QCOMPARE(messages->texts(), QStringList { kDelete });
        QCOMPARE(stored().size(), count);
        messages->answer(MsgAnswer::Yes);
        press(w, u"删除");
        QCOMPARE(w->Label3->text(), label);
        QCOMPARE(w->Text1->text(), lower);
        QCOMPARE(stored(), left);
    }

    void evaluationPlaceholderAndEnter()
    {
        frmScore *w = openWith(0);
        // Enter goes from the lower bound to the upper bound to the evaluation, where
        // it starts a new line.
        keys(QStringLiteral("1"));
        key(Qt::Key_Return);
        QCOMPARE(focused(), w->Text2);
        keys(QStringLiteral("9"));
        key(Qt::Key_Return);
        QCOMPARE(focused(), w->Text3);
        QCOMPARE(w->Text2->text(), QStringLiteral("9"));
        key(Qt::Key_Return);
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("\n"));
        key(Qt::Key_Backspace);
        // Left empty, the evaluation is stored as one space. Tab goes on to 上一档.
        key(Qt::Key_Tab);
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral(" "));
        QCOMPARE(focused(), w->Command1);
        press(w, u"添加");
        QCOMPARE(folder->rows(kScoring), QList<QStringList>({ { "1", "9", " " } }));
        // One space shows empty while the box has the focus.
        press(w, u"首档");
        QTest::mouseClick(w->Text3->viewport(), Qt::LeftButton);
        QCOMPARE(focused(), w->Text3);
        QCOMPARE(w->Text3->toPlainText(), QString());
        // The bounds have no placeholder but the numeric filter.
        w->Text1->setFocus();
        w->Text1->clear();
        keys(QStringLiteral("a-b1,5"));
        QCOMPARE(w->Text1->text(), QStringLiteral("-15"));
        type(w->Text2, QString());
        w->Text1->setFocus();
        QCOMPARE(w->Text2->text(), QString());
        press(w, u"下一档");
        QCOMPARE(folder->rows(kScoring), QList<QStringList>({ { "-15", "", " " } }));
    }

    void boundThatIsNoNumber_data()
    {
        QTest::addColumn<bool>("upper");
        QTest::addColumn<QString>("text");
        QTest::newRow("lower 1.2.3") << false << "1.2.3";
        QTest::newRow("lower -") << false << "-";
        QTest::newRow("upper .") << true << ".";
        QTest::newRow("upper 1-2") << true << "1-2";
    }
    void boundThatIsNoNumber()
    {
        QFETCH(bool, upper);
        QFETCH(QString, text);
        frmScore *w = openWith(2);
        QLineEdit *box = upper ? w->Text2 : w->Text1;
        type(w->Text3, QStringLiteral("新评价"));
        type(box, text);
        const QList<QStringList> before = folder->rows(kScoring);
        const auto refused = [&](const char *what) {
            QCOMPARE(messages->texts().size(), 1);
            QVERIFY2(messages->last().contains(
                         upper ? QStringLiteral("分数上限") : QStringLiteral("分数下限")),
                what);
            QVERIFY2(messages->last().contains(text), what);
            QCOMPARE(w->Label3->text(), QStringLiteral("第 1 档"));
            QCOMPARE(box->text(), text);
            QCOMPARE(w->Text3->toPlainText(), QStringLiteral("新评价"));
            QCOMPARE(focused(), box);
            QCOMPARE(folder->rows(kScoring), before);
            messages->clear();
        };
        const std::pair<const char *, std::function<void()>> ways[] = {
            { "下一档", [&] { press(w, u"下一档"); } },
            { "上一档", [&] { press(w, u"上一档"); } },
            { "添加", [&] { press(w, u"添加"); } },
            { "末档", [&] { press(w, u"末档"); } },
            { "完成", [&] { press(w, u"完成"); } },
            { "close box", [&] { w->subWindow()->close(); } },
        };
        for (const auto &[what, action] : ways) {
            action();
            refused(what);
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY(Forms::find<frmScore>());

        type(box, QStringLiteral("15"));
        press(w, u"完成");
        settle();
        QVERIFY(!Forms::find<frmScore>());
        QCOMPARE(folder->rows(kScoring).first().at(upper ? 1 : 0), QStringLiteral("15"));
        QCOMPARE(folder->rows(kScoring).first().at(2), QStringLiteral("新评价"));
    }

    void leavingCommitsAndHelp()
    {
        frmScore *w = openWith(1);
        type(w->Text3, QStringLiteral("关窗前改的"));
        w->subWindow()->close();
        settle();
        QCOMPARE(folder->rows(kScoring).first().at(2), QStringLiteral("关窗前改的"));

        press(Forms::find<frmEdittest>(), u"评分");
        w = Forms::find<frmScore>();
        press(w, u"添加");
        type(w->Text1, QStringLiteral("60"));
        (*main)->subUnload();
        settle();
        QVERIFY(!Forms::find<frmScore>());
        QCOMPARE(stored(), QStringList({ "10", "60" }));

        // Help shows the score-band page: mode code 2 is written first.
        press(openEditor(*main, kTest), u"评分");
        w = Forms::find<frmScore>();
        press(w, u"求助");
        QCOMPARE(folder->read(QStringLiteral("temp1.txt")), QByteArray(" 2 \r\n"));
        QVERIFY(Forms::find<frmHelp>());
    }

    // The band check beside the bounds follows every stored change of a band, and a
    // click shows it in full, kept up to date, without a message box.
    void bandCheckFollowsTheBands()
    {
        folder->addTest(QStringLiteral("情商"), kTest);
        folder->addRows(kTest, questions(3)); // each question 1 or 2: totals 3 to 6
        folder->addRows(kScoring, { { "3", "4", "低" } });
        frmEdittest *editor = openEditor(*main, kTest);
        QVERIFY(editor);
        press(editor, u"评分");
        frmScore *w = Forms::find<frmScore>();
        QVERIFY(w);
        QTRY_COMPARE(w->Label5->text(), QStringLiteral("1 处缺口"));
        QVERIFY(w->Label5->toolTip().contains(QStringLiteral("5 到 6（2 个）")));
        // A screen reader reads the state as it is shown.
        QCOMPARE(w->Label5->accessibleName(), QStringLiteral("1 处缺口"));

        // The check runs off the window's thread and says so until it ends.
        w->updateCheck();
        QCOMPARE(w->Label5->text(), QStringLiteral("检查中…"));
        QCOMPARE(w->Label5->accessibleName(), QStringLiteral("检查中…"));
        QVERIFY(w->checking());
        QTRY_COMPARE(w->Label5->text(), QStringLiteral("1 处缺口"));
        QTRY_VERIFY(!w->checking()); // the worker lets go just after it reports

        type(w->Text2, QStringLiteral("6"));
        press(w, u"首档"); // stores the band
        QTRY_COMPARE(w->Label5->text(), QStringLiteral("覆盖完整"));

        press(w, u"添加");
        type(w->Text1, QStringLiteral("6"));
        type(w->Text2, QStringLiteral("9"));
        press(w, u"首档");
        QTRY_COMPARE(w->Label5->text(), QStringLiteral("1 处重叠"));
        // Moving from band to band stores nothing and checks nothing again.
        press(w, u"下一档");
        QVERIFY(!w->checking());
        press(w, u"上一档");
        QVERIFY(!w->checking());
        QCOMPARE(w->Label5->text(), QStringLiteral("1 处重叠"));

        press(w, u"1 处重叠");
        frmBandCheck *check = Forms::find<frmBandCheck>();
        QVERIFY(check);
        QCOMPARE(check->Label1->text(), kTest);
        QVERIFY(check->Text1->toPlainText().contains(
            QStringLiteral("6（1 个）：第 1、2 档，给出第 2 档")));
        // Beside the editor, not over it (the main window here is too small to keep
        // clear of it altogether).
        const QRect covered = check->frame()->geometry().intersected(w->frame()->geometry());
        QVERIFY(covered.width() < w->frame()->width() / 2);

        press(w, u"下一档");
        type(w->Text1, QStringLiteral("7"));
        press(w, u"首档");
        QTRY_COMPARE(check->Label2->text(), QStringLiteral("覆盖完整"));
        QCOMPARE(w->Label5->text(), QStringLiteral("覆盖完整"));
        QCOMPARE(stored(), QStringList({ "3", "7" }));
        QVERIFY(messages->texts().isEmpty());

        // Esc closes it, as its button does; the editor stays.
        QTest::mouseClick(check->Text1->viewport(), Qt::LeftButton);
        QCOMPARE(focused(), check->Text1);
        key(Qt::Key_Escape);
        settle();
        QVERIFY(!Forms::find<frmBandCheck>());
        QVERIFY(Forms::find<frmScore>());
        // Leaving the check may start the editor's own over again: it is pressed once it
        // shows its finding, as a user presses what he sees.
        QTRY_COMPARE(w->Label5->text(), QStringLiteral("覆盖完整"));
        press(w, u"覆盖完整");
        QVERIFY(Forms::find<frmBandCheck>());

        // The check goes with the editor.
        press(w, u"完成");
        settle();
        QVERIFY(!Forms::find<frmScore>());
        QVERIFY(!Forms::find<frmBandCheck>());
    }
};

QTEST_MAIN(tst_frmScore)
#include "tst_frmScore.moc"
