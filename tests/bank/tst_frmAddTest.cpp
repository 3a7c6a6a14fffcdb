// The new-test dialog: its checks, the test it creates (two tables and a row), the
// question that follows and the question editor it opens.
#include "support/bankwindows.h"

#include "authoring/frmEdittest.h"
#include "bank/frmAddTest.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "platform/twips.h"
#include "store/catalogue.h"
#include "support/windowtest.h"

#include <QTest>

using namespace bankwindows;

namespace {
const QString kCategoryList = QStringLiteral("分类列表");
const QString kEditNow
    = QStringLiteral("新的测试项目已经建立，但还需要您编辑具体测试题目。您想立即编辑测试题目吗?");
} // namespace

class tst_frmAddTest : public WindowTest
{
    Q_OBJECT

    // Opens the dialog as the main window's new-test command does.
    frmAddTest *open()
    {
        (*main)->mnuCreatTest_Click();
        QCoreApplication::processEvents();
        return Forms::find<frmAddTest>();
    }

    // Picks the category, types the name and confirms.
    void create(frmAddTest *w, const QString &category, const QString &test)
    {
        if (!category.isEmpty())
            QVERIFY(pick(w, u"添加到的测试类：", category));
        type(w, u"测试名称：", test);
        press(w, u"确定");
    }

private slots:
    void opensOnTheNameBox()
    {
        folder->addCategory(QStringLiteral("性格"));
        folder->addCategory(QStringLiteral("情商"));
        frmAddTest *w = open();
        QVERIFY(w);
        QCOMPARE(w->Caption(), QStringLiteral("Qelvi——添加测试项目"));
        QCOMPARE(
            entries(w->DBCombo1), (QStringList { QStringLiteral("性格"), QStringLiteral("情商") }));
        QCOMPARE(w->DBCombo1->Text(), QString());
        QCOMPARE(QApplication::focusWidget(), w->Text1);

        // Tab order: name, 确定, 取消, category box.
        QList<QWidget *> order;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget();
        }
        QCOMPARE(order, (QList<QWidget *> { w->Command1, w->Command2, w->DBCombo1, w->Text1 }));

        // Picking a category sends the user on to the name.
        QVERIFY(pick(w, u"添加到的测试类：", QStringLiteral("情商")));
        QCOMPARE(w->DBCombo1->Text(), QStringLiteral("情商"));
        QCOMPARE(QApplication::focusWidget(), w->Text1);

        // Return on the focused button presses it.
        QTest::keyClick(w->Text1, Qt::Key_Tab);
        QTest::keyClick(w->Command1, Qt::Key_Return);
        QCOMPARE(messages->texts(), QStringList { QStringLiteral("请输入测试名称！") });
    }

    void asksForCategoryThenName_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("no category") << ""
                                     << "测试一"
                                     << "请选择要添加到的测试类！";
        QTest::newRow("nothing at all") << ""
                                        << ""
                                        << "请选择要添加到的测试类！";
        QTest::newRow("no name") << "性格"
                                 << ""
                                 << "请输入测试名称！";
    }
    void asksForCategoryThenName()
    {
        QFETCH(QString, category);
        QFETCH(QString, name);
        QFETCH(QString, message);
        folder->addCategory(QStringLiteral("性格"));
        frmAddTest *w = open();
        create(w, category, name);
        QCOMPARE(messages->texts(), QStringList { message });
        QCOMPARE(folder->tables(), (QStringList { kCategoryList, QStringLiteral("性格") }));
        QVERIFY(Forms::find<frmAddTest>());
    }

    // Answering No: the dialog closes and the new test stays, empty, listed last.
    void createdTestIsListedLastWithEmptyTables()
    {
        folder->addTest(QStringLiteral("性格"), QStringLiteral("测试一"));
        frmAddTest *w = open();
        const QString name = QStringLiteral(" 新 'A', \"B\" ");
        messages->answer(MsgAnswer::No);
        create(w, QStringLiteral("性格"), name);

        QCOMPARE(messages->texts(), QStringList { kEditNow });
        QCOMPARE(messages->shown().first().style, MsgStyle::Question);
        settle();
        QVERIFY(!Forms::find<frmAddTest>());
        QVERIFY(!Forms::find<frmEdittest>());
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("temp.txt"))));

        QCOMPARE(column(*folder, QStringLiteral("性格")),
            (QStringList { QStringLiteral("测试一"), name }));
        const QList<FieldDef> questions = Catalogue::fields(folder->bank(), name);
        QCOMPARE(questions.size(), 13);
        QCOMPARE(questions.at(0).name, QStringLiteral("题目"));
        QCOMPARE(questions.at(12).name, QStringLiteral("选项F分数"));
        const QList<FieldDef> bands
            = Catalogue::fields(folder->bank(), name + QStringLiteral("评分"));
        QCOMPARE(bands.size(), 3);
        QCOMPARE(bands.at(2).name, QStringLiteral("评价"));
        QVERIFY(folder->rows(name).isEmpty());
        QVERIFY(folder->rows(name + QStringLiteral("评分")).isEmpty());
    }

    // Answering Yes: temp.txt holds the name and the question editor opens, 7740 x
    // 5892, centred across the main window and up by two thirds of its height.
    void yesOpensTheQuestionEditor()
    {
        folder->addCategory(QStringLiteral("性格"));
        frmAddTest *w = open();
        messages->answer(MsgAnswer::Yes);
        create(w, QStringLiteral("性格"), QStringLiteral("测试, 一"));
        settle();

        QVERIFY(!Forms::find<frmAddTest>());
        QCOMPARE(folder->read(QStringLiteral("temp.txt")), QByteArray("测试, 一\r\n"));
        frmEdittest *editor = Forms::find<frmEdittest>();
        QVERIFY(editor);
        QVERIFY(editor->Visible());
        QCOMPARE(frameOf(editor), placedFrame(frameOf(editor).size(), 7740, 5892, 1.5));
        QCOMPARE(
            column(*folder, QStringLiteral("性格")), QStringList { QStringLiteral("测试, 一") });
    }

    // Any name already held by a table is refused, and nothing is added.
    void takenNamesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("category") << "情商";
        QTest::newRow("other test") << "测试一";
        QTest::newRow("other test's scoring table") << "测试一评分";
        QTest::newRow("scoring table of the new name taken") << "测试";
        QTest::newRow("category list") << "分类列表";
    }
    void takenNamesAreRefused()
    {
        QFETCH(QString, name);
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试一"));
        // Holds 测试评分 without a test 测试: the second table of a new test 测试 clashes.
        folder->addCategory(QStringLiteral("测试评分"));
        const QStringList tablesBefore = folder->tables();
        frmAddTest *w = open();
        create(w, QStringLiteral("情商"), name);

        QCOMPARE(messages->texts(), QStringList { QStringLiteral("测试名称已经存在！") });
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        QCOMPARE(w->Text1->text(), name);
        QCOMPARE(w->DBCombo1->Text(), QStringLiteral("情商"));
        QCOMPARE(folder->tables(), tablesBefore);
        QCOMPARE(column(*folder, QStringLiteral("情商")), QStringList { QStringLiteral("测试一") });

        // The dialog stays for another try.
        messages->answer(MsgAnswer::No);
        type(w, u"测试名称：", QStringLiteral("测试二"));
        press(w, u"确定");
        QCOMPARE(column(*folder, QStringLiteral("情商")),
            (QStringList { QStringLiteral("测试一"), QStringLiteral("测试二") }));
    }

    void cancelWritesNothing()
    {
        folder->addCategory(QStringLiteral("性格"));
        frmAddTest *w = open();
        QVERIFY(pick(w, u"添加到的测试类：", QStringLiteral("性格")));
        type(w, u"测试名称：", QStringLiteral("测试一"));
        press(w, u"取消");
        settle();
        QVERIFY(!Forms::find<frmAddTest>());
        QCOMPARE(folder->tables(), (QStringList { kCategoryList, QStringLiteral("性格") }));
        QVERIFY(messages->texts().isEmpty());
    }
};

QTEST_MAIN(tst_frmAddTest)
#include "tst_frmAddTest.moc"
