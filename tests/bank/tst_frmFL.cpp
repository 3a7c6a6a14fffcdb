// The category editor: its states, and what create, rename and delete leave in the
// bank, driven through the window's own list, box and buttons.
#include "support/bankwindows.h"
#include "support/serverbanks.h"

#include "bank/frmFL.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "store/catalogue.h"
#include "support/windowtest.h"

#include <QLabel>
#include <QTest>

using namespace bankwindows;

namespace {
const QString kNameExists = QStringLiteral("该名称已经存在，可能是分类，也可能是测试！");
const QString kCategoryList = QStringLiteral("分类列表");
} // namespace

class tst_frmFL : public WindowTest
{
    Q_OBJECT

    // Opens the editor as the main window's category command does.
    frmFL *open()
    {
        (*main)->mnuFL_Click();
        frmFL *w = Forms::find<frmFL>();
        if (w)
            QCoreApplication::processEvents();
        return w;
    }

    // Enabled states of 名称确定 + name box, 新建, 改名 as "1"/"0".
    static QString states(frmFL *w)
    {
        QString s;
        for (QWidget *c : { control(w, u"名称确定"), control(w, u"请输入名称:", Kind::Editable),
                 control(w, u"新建"), control(w, u"改名") })
            s += c && c->isEnabled() ? u'1' : u'0';
        return s;
    }

private slots:
    void emptyBankAsksToChooseFirst()
    {
        frmFL *w = open();
        QVERIFY(w);
        QCOMPARE(w->Caption(), QStringLiteral("Qelvi——测试分类编辑器"));
        QCOMPARE(w->DBList1->count(), 0);
        QCOMPARE(states(w), QStringLiteral("0011"));

        press(w, u"改名");
        press(w, u"删除");
        QCOMPARE(messages->texts(),
            QStringList({ QStringLiteral("请选择要改名的测试类！"),
                QStringLiteral("请选择要删除的测试类！") }));
        QCOMPARE(states(w), QStringLiteral("0011"));
        QCOMPARE(folder->tables(), QStringList { kCategoryList });
    }

    // The state table: which buttons a sequence of presses leaves enabled, and the
    // pending operation. "A" clicks category A in the list.
    void stateTable_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("enabled"); // 名称确定, name box, 新建, 改名
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QString>("nameBox");
        QTest::newRow("new") << "N"
                             << "1101"
                             << "new"
                             << "";
        QTest::newRow("rename") << "AR"
                                << "1110"
                                << "change"
                                << "A";
        QTest::newRow("new then rename") << "NAR"
                                         << "1100"
                                         << "change"
                                         << "A";
        QTest::newRow("rename then new") << "ARN"
                                         << "1100"
                                         << "new"
                                         << "A";
        QTest::newRow("rename without a choice") << "R"
                                                 << "0011"
                                                 << "Label3"
                                                 << "";
        QTest::newRow("new, empty name refused") << "NC"
                                                 << "1101"
                                                 << "new"
                                                 << "";
    }
    void stateTable()
    {
        QFETCH(QString, steps);
        QFETCH(QString, enabled);
        QFETCH(QString, pending);
        QFETCH(QString, nameBox);
        folder->addCategory(QStringLiteral("A"));
        frmFL *w = open();
        for (const QChar step : steps) {
            switch (step.unicode()) {
            case 'N':
                press(w, u"新建");
                break;
            case 'R':
                press(w, u"改名");
                break;
            case 'C':
                press(w, u"名称确定");
                break;
            case 'A':
                QVERIFY(clickEntry(w->DBList1, QStringLiteral("A")));
                break;
            }
        }
        QCOMPARE(states(w), enabled);
        QCOMPARE(w->Label3->text(), pending);
        QCOMPARE(w->Text1->text(), nameBox);
        if (w->Text1->isEnabled() && !steps.endsWith(u'C'))
            QCOMPARE(QApplication::focusWidget(), w->Text1);
        // Only the missing choice speaks; an empty name is refused silently.
        QCOMPARE(messages->texts().size(), steps == QLatin1String("R") ? 1 : 0);
        QCOMPARE(folder->tables(), (QStringList { kCategoryList, QStringLiteral("A") }));
    }

    void createdCategoryIsListedLast()
    {
        folder->addCategory(QStringLiteral("性格"));
        frmFL *w = open();
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("性格")));
        press(w, u"新建");
        type(w, u"请输入名称:", QStringLiteral(" 情商 'EQ', \"新\" "));
        press(w, u"名称确定");

        const QString name = QStringLiteral(" 情商 'EQ', \"新\" ");
        QVERIFY(messages->texts().isEmpty());
        QCOMPARE(entries(w->DBList1), (QStringList { QStringLiteral("性格"), name }));
        QCOMPARE(column(*folder, kCategoryList), (QStringList { QStringLiteral("性格"), name }));
        QVERIFY(folder->tables().contains(name));
        QCOMPARE(Catalogue::fields(folder->bank(), name).size(), 1);
        QCOMPARE(Catalogue::fields(folder->bank(), name).first().name, QStringLiteral("测试"));
        // Back to idle with the box emptied and no category chosen.
        QCOMPARE(states(w), QStringLiteral("0011"));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Text3->text(), QString());
        QCOMPARE(w->Label3->text(), QString());
    }

    // A name held by any table of the bank is refused, whatever kind of table it is.
    void takenNamesAreRefused_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QString>("name");
        for (const bool rename : { false, true }) {
            const char *how = rename ? "rename to " : "create ";
            QTest::addRow("%scategory", how) << rename << QStringLiteral("性格");
            QTest::addRow("%stest", how) << rename << QStringLiteral("测试一");
            QTest::addRow("%sscoring table", how) << rename << QStringLiteral("测试一评分");
            QTest::addRow("%scategory list", how) << rename << kCategoryList;
            QTest::addRow("%sother letter case", how) << rename << QStringLiteral("eq");
        }
    }
    void takenNamesAreRefused()
    {
        QFETCH(bool, rename);
        QFETCH(QString, name);
        folder->addCategory(QStringLiteral("性格"));
        folder->addTest(QStringLiteral("EQ"), QStringLiteral("测试一"));
        folder->addCategory(QStringLiteral("情绪"));
        const QStringList tablesBefore = folder->tables();
        const QList<QStringList> rowsBefore = folder->rows(kCategoryList);

        frmFL *w = open();
        if (rename) {
            QVERIFY(clickEntry(w->DBList1, QStringLiteral("情绪")));
            press(w, u"改名");
        } else {
            press(w, u"新建");
        }
        type(w, u"请输入名称:", name);
        press(w, u"名称确定");

        QCOMPARE(messages->texts(), QStringList { kNameExists });
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        QCOMPARE(w->Label3->text(), rename ? QStringLiteral("change") : QStringLiteral("new"));
        QVERIFY(w->Command1->isEnabled());
        QCOMPARE(w->Text1->text(), name);
        QCOMPARE(folder->tables(), tablesBefore);
        QCOMPARE(folder->rows(kCategoryList), rowsBefore);
        QCOMPARE(column(*folder, QStringLiteral("EQ")), QStringList { QStringLiteral("测试一") });
        if (rename) // a following 删除 still works on the chosen category
            QCOMPARE(w->Text3->text(), QStringLiteral("情绪"));
    }

    // 改名 on A, then B chosen, then 名称确定: B is renamed, and keeps its tests.
    void renameActsOnCategoryChosenAtConfirm()
    {
        folder->addCategory(QStringLiteral("A"));
        folder->addTest(QStringLiteral("B"), QStringLiteral("测试一"));
        folder->addTest(QStringLiteral("B"), QStringLiteral("测试二"));
        folder->addCategory(QStringLiteral("C's"));
        frmFL *w = open();
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("A")));
        press(w, u"改名");
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("B")));
        QCOMPARE(w->Text4->text(), QStringLiteral("2"));
        type(w, u"请输入名称:", QStringLiteral("B'新"));
        press(w, u"名称确定");

        QVERIFY(messages->texts().isEmpty());
        const QStringList listed { QStringLiteral("A"), QStringLiteral("B'新"),
            QStringLiteral("C's") };
        QCOMPARE(entries(w->DBList1), listed);
        QCOMPARE(column(*folder, kCategoryList), listed);
        QVERIFY(!folder->tables().contains(QStringLiteral("B")));
        QCOMPARE(column(*folder, QStringLiteral("B'新")),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试二") }));
        QCOMPARE(states(w), QStringLiteral("0011"));
        QCOMPARE(w->Text3->text(), QString());

        // A name with a quote is found by its exact text.
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("C's")));
        press(w, u"改名");
        type(w, u"请输入名称:", QStringLiteral("D"));
        press(w, u"名称确定");
        QCOMPARE(column(*folder, kCategoryList),
            (QStringList { QStringLiteral("A"), QStringLiteral("B'新"), QStringLiteral("D") }));
    }

    // What the list draws selected is the chosen category at every moment, whatever
    // the mouse and the keys did: 改名 acts on it, or asks for one when none is drawn.
    // Steps: "tab" gives the list the focus as the Tab key does, a key name presses
    // it, "click X" clicks entry X, "empty" clicks below the entries, "drag X Y"
    // presses on X and lets go on Y.
    void shownIsChosen_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("chosen");
        const auto row = [](const char *name, const char *steps, const char *chosen) {
            QTest::newRow(name) << QString::fromUtf8(steps).split(u',')
                                << QString::fromUtf8(chosen);
        };
        row("first Down from a fresh focus", "tab,Down", "A");
        row("Down, Down, Up", "tab,Down,Down,Up", "A");
        row("Space on a fresh focus chooses nothing", "tab,Space", "");
        row("Space keeps the entry moved to", "tab,Down,Down,Space", "B");
        row("End", "tab,Down,End", "C");
        row("Ctrl+Space takes the choice back", "click B,ctrl+Space", "");
        row("a click on the empty area", "click B,empty", "");
        row("a click after the empty area", "click B,empty,click C", "C");
        row("Down after the empty area", "click B,empty,Down", "A");
        row("a drag ends on its last entry", "drag A C", "C");
    }
    void shownIsChosen()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, chosen);
        for (const char *name : { "A", "B", "C" })
            folder->addCategory(QString::fromLatin1(name));
        frmFL *w = open();
        QWidget *viewport = w->DBList1->viewport();
        for (const QString &step : steps) {
            const QStringList words = step.split(u' ');
            if (step == u"tab")
                w->DBList1->setFocus(Qt::TabFocusReason);
            else if (words[0] == u"click")
                QVERIFY(clickEntry(w->DBList1, words[1]));
            else if (step == u"empty")
                QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
            else if (words[0] == u"drag") {
                QTest::mousePress(viewport, Qt::LeftButton, {}, entryCentre(w->DBList1, words[1]));
                QTest::mouseMove(viewport, entryCentre(w->DBList1, words[2]));
                QTest::mouseRelease(
                    viewport, Qt::LeftButton, {}, entryCentre(w->DBList1, words[2]));
            } else {
                const QKeySequence seq(step);
                QTest::keyClick(w->DBList1, Qt::Key(seq[0].key()), seq[0].keyboardModifiers());
            }
        }
        QCOMPARE(w->Text3->text(), chosen);
        QStringList drawn;
        for (const QListWidgetItem *item : w->DBList1->selectedItems())
            drawn << item->text();
        QCOMPARE(drawn, chosen.isEmpty() ? QStringList() : QStringList { chosen });
        QListWidgetItem *current = w->DBList1->currentItem();
        QCOMPARE(current ? current->text() : QString(), chosen);

        press(w, u"改名");
        if (chosen.isEmpty())
            QCOMPARE(messages->texts(), QStringList { QStringLiteral("请选择要改名的测试类！") });
        else
            QCOMPARE(w->Text1->text(), chosen);
    }

    void deleteOnlyEmptyCategories()
    {
        folder->addTest(QStringLiteral("满"), QStringLiteral("测试一"));
        folder->addCategory(QStringLiteral("空 'x'"));
        folder->addCategory(QStringLiteral("末"));
        frmFL *w = open();

        QVERIFY(clickEntry(w->DBList1, QStringLiteral("满")));
        QCOMPARE(w->Text4->text(), QStringLiteral("1"));
        press(w, u"删除");
        QCOMPARE(
            messages->texts(), QStringList { QStringLiteral("该测试类里有测试内容，不能删除！") });
        QCOMPARE(entries(w->DBList1).size(), 3);
        QVERIFY(folder->tables().contains(QStringLiteral("满")));

        messages->clear();
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("空 'x'")));
        QCOMPARE(w->Text4->text(), QStringLiteral("0"));
        press(w, u"删除");
        QCOMPARE(messages->shown().size(), 1); // no question first
        QCOMPARE(messages->last(), QStringLiteral("该测试类已经删除！"));
        QCOMPARE(entries(w->DBList1), (QStringList { QStringLiteral("满"), QStringLiteral("末") }));
        QCOMPARE(column(*folder, kCategoryList),
            (QStringList { QStringLiteral("满"), QStringLiteral("末") }));
        QVERIFY(!folder->tables().contains(QStringLiteral("空 'x'")));
        QCOMPARE(w->Text3->text(), QString());

        // The name is free again.
        press(w, u"新建");
        type(w, u"请输入名称:", QStringLiteral("空 'x'"));
        press(w, u"名称确定");
        QCOMPARE(entries(w->DBList1).last(), QStringLiteral("空 'x'"));
    }

    // A count shown before another window added a test does not let 删除 through,
    // and a row whose table has gone can still be removed.
    void deleteKeepsTheBankWhole()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        folder->addCategory(QStringLiteral("甲"));
        folder->addCategory(QStringLiteral("乙"));
        frmFL *w = open();
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("甲")));
        QCOMPARE(w->Text4->text(), QStringLiteral("0"));
        folder->addTest(QStringLiteral("甲"), QStringLiteral("测试一"));
        press(w, u"删除");
        QCOMPARE(messages->last(), QStringLiteral("该测试类里有测试内容，不能删除！"));
        QCOMPARE(column(*folder, QStringLiteral("甲")), QStringList { QStringLiteral("测试一") });

        QVERIFY(Catalogue::dropTable(folder->bank(), QStringLiteral("乙")).ok());
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("乙")));
        QCOMPARE(w->Text4->text(), QStringLiteral("0"));
        press(w, u"删除");
        QCOMPARE(messages->last(), QStringLiteral("该测试类已经删除！"));
        QCOMPARE(column(*folder, kCategoryList), QStringList { QStringLiteral("甲") });
    }

    void exitDropsPendingOperation()
    {
        frmFL *w = open();
        press(w, u"新建");
        type(w, u"请输入名称:", QStringLiteral("未保存"));
        press(w, u"退出");
        settle();
        QVERIFY(!Forms::find<frmFL>());
        QCOMPARE(folder->tables(), QStringList { kCategoryList });
        QVERIFY(messages->texts().isEmpty());
    }
};

QTEST_MAIN(tst_frmFL)
#include "tst_frmFL.moc"
