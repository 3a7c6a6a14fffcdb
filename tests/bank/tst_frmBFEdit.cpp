// The test chooser in its three modes: choosing a test for the editor or the runner,
// and renaming and deleting tests, checked on screen and in the bank.
#include "support/bankwindows.h"
#include "support/serverbanks.h"

#include "authoring/frmEdittest.h"
#include "bank/frmBFEdit.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "runner/frmTest.h"
#include "store/catalogue.h"
#include "support/windowtest.h"

#include <QLabel>
#include <QTest>

using namespace bankwindows;

namespace {
const QString kTaken = QStringLiteral("测试名称已经存在！");
const QString kChooseExisting = QStringLiteral("请选择已经有测试项目！");
} // namespace

class tst_frmBFEdit : public WindowTest
{
    Q_OBJECT

    // Opens the chooser through the main window's command for the mode.
    frmBFEdit *open(int mode)
    {
        switch (mode) {
        case HandOff::EditMode:
            (*main)->mnuOpenTest_Click();
            break;
        case HandOff::TakeMode:
            (*main)->mnuTesting_Click();
            break;
        case HandOff::ManageMode:
            (*main)->mnuDelTest_Click();
            break;
        }
        QCoreApplication::processEvents();
        return Forms::find<frmBFEdit>();
    }

    // Category 情商 with 测试一 and 测试二, category 性格 with 测试三.
    void fill()
    {
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试一"));
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试二"));
        folder->addTest(QStringLiteral("性格"), QStringLiteral("测试三"));
    }

    static QString shown(const frmBFEdit *w)
    {
        QString s;
        for (const QWidget *c : std::initializer_list<const QWidget *> { w->Command1, w->Command2,
                 w->Command3, w->Command4, w->Command5, w->Command6, w->Text1, w->Label3 })
            s += c->isVisible() ? (c->isEnabled() ? u'1' : u'd') : u'-';
        return s;
    }

private slots:
    // Buttons shown per mode: 确定, 取消, 删除, 退出, 更名, 确定更名, name box, its label
    // ("1" shown, "d" shown disabled, "-" hidden).
    void layoutOfEachMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("caption");
        const QString choose = QStringLiteral("Qelvi——选择测试项目");
        QTest::newRow("edit") << 1 << "11------" << choose;
        QTest::newRow("take") << 2 << "11------" << choose;
        QTest::newRow("manage") << 3 << "--111d--" << QStringLiteral("Qelvi——测试项目编辑器");
    }
    void layoutOfEachMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, buttons);
        QFETCH(QString, caption);
        fill();
        frmBFEdit *w = open(mode);
        QVERIFY(w);
        QCOMPARE(shown(w), buttons);
        QCOMPARE(w->Caption(), caption);
        QCOMPARE(
            entries(w->DBCombo1), (QStringList { QStringLiteral("情商"), QStringLiteral("性格") }));
        QCOMPARE(w->DBList1->count(), 0);
        QCOMPARE(QApplication::focusWidget(), w->DBList1);

        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QCOMPARE(entries(w->DBList1),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试二") }));
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("性格")));
        QCOMPARE(entries(w->DBList1), QStringList { QStringLiteral("测试三") });
    }

    // With nothing chosen every command asks for a test and changes nothing.
    void nothingChosenAsksForATest()
    {
        fill();
        frmBFEdit *w = open(HandOff::EditMode);
        press(w, u"确定");
        // A double click on the empty list chooses nothing and opens nothing.
        QWidget *viewport = w->DBList1->viewport();
        const QPoint empty(5, viewport->height() - 5);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, empty);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, empty);
        QCOMPARE(messages->texts(), QStringList { kChooseExisting });
        QVERIFY(Forms::find<frmBFEdit>());
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("temp.txt"))));
        w->Unload();
        settle();

        messages->clear();
        w = open(HandOff::ManageMode);
        press(w, u"删除");
        press(w, u"更名");
        QCOMPARE(messages->texts(),
            (QStringList { QStringLiteral("请选择要删除的测试项目！"),
                QStringLiteral("请选择要更名的测试项目！") }));
        QCOMPARE(shown(w), QStringLiteral("--111d--"));
        QCOMPARE(folder->tables().size(), 9);
    }

    // Confirming opens the mode's window at its size and place with temp.txt holding
    // the test, and closes the chooser; by 确定 or by a double click.
    void confirmOpensTheModesWindow_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("edit, 确定") << 1 << false;
        QTest::newRow("edit, double click") << 1 << true;
        QTest::newRow("take, 确定") << 2 << false;
        QTest::newRow("take, double click") << 2 << true;
    }
    void confirmOpensTheModesWindow()
    {
        QFETCH(int, mode);
        QFETCH(bool, doubleClick);
        fill();
        folder->addRows(QStringLiteral("测试二"),
            { { QStringLiteral("题目一"), QStringLiteral("是"), QStringLiteral("1") } });
        frmBFEdit *w = open(mode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        if (doubleClick) {
            QVERIFY(doubleClickEntry(w->DBList1, QStringLiteral("测试二")));
        } else {
            QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试二")));
            press(w, u"确定");
        }
        settle();

        QVERIFY(messages->texts().isEmpty());
        QVERIFY(!Forms::find<frmBFEdit>());
        QCOMPARE(folder->read(QStringLiteral("temp.txt")), QByteArray("测试二\r\n"));
        Form *opened = mode == 1 ? static_cast<Form *>(Forms::find<frmEdittest>())
                                 : static_cast<Form *>(Forms::find<frmTest>());
        QVERIFY(opened);
        QVERIFY(opened->Visible());
        QVERIFY(!(mode == 1 ? static_cast<Form *>(Forms::find<frmTest>())
                            : static_cast<Form *>(Forms::find<frmEdittest>())));
        if (mode == 1)
            QCOMPARE(frameOf(opened), placedFrame(frameOf(opened).size(), 7740, 5892, 1.5));
        else
            QCOMPARE(frameOf(opened), placedFrame(frameOf(opened).size(), 8532, 7440, 1.7));
    }

    // The mode is read again on confirming: a code other than 1 and 2 hands the name
    // over and opens nothing; a missing file opens nothing either.
    void confirmWithAnotherCodeOpensNothing()
    {
        fill();
        frmBFEdit *w = open(HandOff::TakeMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("性格")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试三")));
        folder->write(QStringLiteral("temp1.txt"), " 7 \r\n");
        press(w, u"确定");
        settle();
        QCOMPARE(folder->read(QStringLiteral("temp.txt")), QByteArray("测试三\r\n"));
        QVERIFY(Forms::find<frmBFEdit>());
        QVERIFY(!Forms::find<frmTest>());

        QVERIFY(QFile::remove(folder->file(QStringLiteral("temp1.txt"))));
        QVERIFY(doubleClickEntry(w->DBList1, QStringLiteral("测试三")));
        settle();
        QVERIFY(Forms::find<frmBFEdit>());
        QVERIFY(!Forms::find<frmTest>() && !Forms::find<frmEdittest>());
        QVERIFY(messages->texts().isEmpty());
    }

    // In manage mode a double click only chooses the entry.
    void doubleClickInManageModeOnlyChooses()
    {
        fill();
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(doubleClickEntry(w->DBList1, QStringLiteral("测试一")));
        settle();
        QCOMPARE(w->Label1->text(), QStringLiteral("测试一"));
        QCOMPARE(w->Text1->text(), QStringLiteral("测试一"));
        QVERIFY(Forms::find<frmBFEdit>());
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("temp.txt"))));
        QVERIFY(messages->texts().isEmpty());
        QCOMPARE(shown(w), QStringLiteral("--111d--"));
    }

    // Deleting drops both tables and the row, re-reads the list, and frees the name.
    void deleteThenReuseTheName()
    {
        fill();
        const QString name = QStringLiteral("It's \"一\", 二");
        folder->addTest(QStringLiteral("情商"), name);
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));

        QVERIFY(clickEntry(w->DBList1, name));
        press(w, u"删除"); // answered No
        QCOMPARE(messages->texts(), QStringList { QStringLiteral("真的要删除这项测试吗？") });
        QCOMPARE(messages->shown().first().style, MsgStyle::Question);
        QVERIFY(folder->tables().contains(name));

        messages->clear();
        messages->answer(MsgAnswer::Yes);
        QVERIFY(clickEntry(w->DBList1, name));
        press(w, u"删除");
        QCOMPARE(messages->last(), QStringLiteral("该项测试已经删除！"));
        QCOMPARE(entries(w->DBList1),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试二") }));
        QCOMPARE(column(*folder, QStringLiteral("情商")), entries(w->DBList1));
        QVERIFY(!folder->tables().contains(name));
        QVERIFY(!folder->tables().contains(name + QStringLiteral("评分")));
        QCOMPARE(column(*folder, QStringLiteral("性格")), QStringList { QStringLiteral("测试三") });

        QVERIFY(Catalogue::createTest(folder->bank(), name, QStringLiteral("性格")).ok());
    }

    // A test whose scoring table has gone is still deleted whole.
    void deleteWithAMissingTable()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        fill();
        QVERIFY(Catalogue::dropTable(folder->bank(), QStringLiteral("测试一评分")).ok());
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试一")));
        messages->answer(MsgAnswer::Yes);
        press(w, u"删除");
        QCOMPARE(messages->last(), QStringLiteral("该项测试已经删除！"));
        QCOMPARE(column(*folder, QStringLiteral("情商")), QStringList { QStringLiteral("测试二") });
        QVERIFY(!folder->tables().contains(QStringLiteral("测试一")));
    }

    // Refused names leave the bank and the list as they were and the window renaming.
    void renameRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("category") << "性格";
        QTest::newRow("other test") << "测试三";
        QTest::newRow("other test's scoring table") << "测试三评分";
        QTest::newRow("category list") << "分类列表";
    }
    void renameRefused()
    {
        QFETCH(QString, name);
        fill();
        const QStringList tablesBefore = folder->tables();
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试二")));
        press(w, u"更名");
        QCOMPARE(shown(w), QStringLiteral("--11d111"));
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        type(w, u"输入新名称：", name);
        press(w, u"确定更名");

        QCOMPARE(messages->texts(), QStringList { kTaken });
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        QCOMPARE(shown(w), QStringLiteral("--11d111"));
        QCOMPARE(folder->tables(), tablesBefore);
        QCOMPARE(entries(w->DBList1),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试二") }));
        QCOMPARE(column(*folder, QStringLiteral("情商")), entries(w->DBList1));
    }

    // Renaming with the name box emptied: a press on another entry or on a button
    // brings the message and nothing else. The list keeps drawing the test the window
    // holds, the button is not left down, and the rename names the test shown.
    void emptyNameMessageTakesThePress_data()
    {
        QTest::addColumn<bool>("onButton");
        QTest::newRow("another entry") << false;
        QTest::newRow("删除") << true;
    }
    void emptyNameMessageTakesThePress()
    {
        QFETCH(bool, onButton);
        fill();
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试一")));
        press(w, u"更名");
        type(w, u"输入新名称：", QString());

        QWidget *target = onButton ? control(w, u"删除") : w->DBList1->viewport();
        QVERIFY(target);
        const QPoint at = onButton ? target->rect().center()
                                   : entryCentre(w->DBList1, QStringLiteral("测试二"));
        QTest::mousePress(target, Qt::LeftButton, {}, at);
        QCOMPARE(messages->texts(), QStringList { QStringLiteral("请输入新的测试名称！") });
        QCOMPARE(focused(), w->Text1);
        QVERIFY(!w->Command3->isDown());
        QCOMPARE(w->Label1->text(), QStringLiteral("测试一"));
        QCOMPARE(w->DBList1->Text(), QStringLiteral("测试一"));
        QCOMPARE(w->DBList1->selectedItems().size(), 1);
        QTest::mouseRelease(target, Qt::LeftButton, {}, at);
        QCOMPARE(messages->texts().size(), 1); // no delete question
        QCOMPARE(w->DBList1->Text(), QStringLiteral("测试一"));

        typeKeys(w->Text1, QStringLiteral("新名"));
        press(w, u"确定更名");
        QCOMPARE(entries(w->DBList1),
            (QStringList { QStringLiteral("新名"), QStringLiteral("测试二") }));
        QVERIFY(folder->tables().contains(QStringLiteral("测试二")));
    }

    void renameAccepted()
    {
        fill();
        folder->addRows(QStringLiteral("测试二"), { { QStringLiteral("题目一") } });
        folder->addRows(
            QStringLiteral("测试二评分"), { { QStringLiteral("0"), QStringLiteral("9") } });
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试二")));
        press(w, u"更名");
        const QString name = QStringLiteral("O'Neil \"二\"");
        type(w, u"输入新名称：", name);
        press(w, u"确定更名");

        QVERIFY(messages->texts().isEmpty());
        QCOMPARE(shown(w), QStringLiteral("--111d--"));
        QCOMPARE(entries(w->DBList1), (QStringList { QStringLiteral("测试一"), name }));
        QCOMPARE(column(*folder, QStringLiteral("情商")), entries(w->DBList1));
        QVERIFY(!folder->tables().contains(QStringLiteral("测试二")));
        QCOMPARE(column(*folder, name), QStringList { QStringLiteral("题目一") });
        QCOMPARE(folder->rows(name + QStringLiteral("评分")).size(), 1);

        // The renamed test is renamed again from its new name, then deleted.
        press(w, u"更名");
        type(w, u"输入新名称：", QStringLiteral("测试四"));
        press(w, u"确定更名");
        QCOMPARE(column(*folder, QStringLiteral("情商")),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试四") }));
        QVERIFY(folder->tables().contains(QStringLiteral("测试四评分")));
    }

    // A rename confirmed after another category was picked changes the row of the
    // category that listed the clicked test, never a row of the category shown.
    void renameAfterSwitchingCategories()
    {
        fill();
        folder->addTest(QStringLiteral("性格"), QStringLiteral("测试一 "));
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试一")));
        press(w, u"更名");
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("性格")));
        QCOMPARE(w->Label1->text(), QStringLiteral("测试一"));
        QCOMPARE(w->Text1->text(), QStringLiteral("测试一"));
        type(w, u"输入新名称：", QStringLiteral("测试五"));
        press(w, u"确定更名");

        QVERIFY(messages->texts().isEmpty());
        QCOMPARE(column(*folder, QStringLiteral("情商")),
            (QStringList { QStringLiteral("测试五"), QStringLiteral("测试二") }));
        QCOMPARE(column(*folder, QStringLiteral("性格")),
            (QStringList { QStringLiteral("测试三"), QStringLiteral("测试一 ") }));
        QCOMPARE(entries(w->DBList1), column(*folder, QStringLiteral("性格")));
        QVERIFY(folder->tables().contains(QStringLiteral("测试五评分")));
    }

    // Leaving the new-name box empty asks for a name and returns to the box.
    void emptyNewNameIsAskedFor()
    {
        fill();
        frmBFEdit *w = open(HandOff::ManageMode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试一")));
        press(w, u"更名");
        type(w, u"输入新名称：", QString());
        QTest::mouseClick(w->DBList1->viewport(), Qt::LeftButton);
        QCOMPARE(messages->texts(), QStringList { QStringLiteral("请输入新的测试名称！") });
        QCOMPARE(QApplication::focusWidget(), w->Text1);

        type(w, u"输入新名称：", QStringLiteral("测试六"));
        QTest::mouseClick(w->DBList1->viewport(), Qt::LeftButton);
        QCOMPARE(messages->texts().size(), 1);

        // Closing the window by its close box with the box empty asks nothing.
        type(w, u"输入新名称：", QString());
        w->frame()->close();
        settle();
        QVERIFY(!Forms::find<frmBFEdit>());
        QCOMPARE(messages->texts().size(), 1);
        QCOMPARE(folder->tables().size(), 9);
    }

    void cancelAndLeaveWriteNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("取消") << 2;
        QTest::newRow("退出") << 3;
    }
    void cancelAndLeaveWriteNothing()
    {
        QFETCH(int, mode);
        fill();
        frmBFEdit *w = open(mode);
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(clickEntry(w->DBList1, QStringLiteral("测试一")));
        press(w, mode == 2 ? u"取消" : u"退出");
        settle();
        QVERIFY(!Forms::find<frmBFEdit>());
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("temp.txt"))));
        QCOMPARE(column(*folder, QStringLiteral("情商")),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试二") }));
    }
};

QTEST_MAIN(tst_frmBFEdit)
#include "tst_frmBFEdit.moc"
