// Names the bank cannot carry, and a bank changed by another window, in the category
// editor, the new-test dialog and the chooser: every confirmed action ends with the
// bank changed or a message saying why not, and never on the wrong test.
#include "support/bankwindows.h"
#include "support/serverbanks.h"

#include "authoring/frmEdittest.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmFL.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "store/bankfile.h"
#include "support/windowtest.h"

#include <QLabel>
#include <QSqlQuery>
#include <QTest>

using namespace bankwindows;

namespace {

const QString kControl = QStringLiteral("名称里不能有换行符、制表符或其他控制字符，请重新输入。");
const QString kCategoryGone = QStringLiteral("这个测试类已经不存在，可能已被改名或删除。");

// Runs statements on the bank as an older copy of the program could have left it.
void onBank(const TestFolder &folder, const QStringList &statements)
{
    StoreError error;
    QSqlDatabase db = BankFile::connection(folder.bank(), &error);
    QVERIFY(!error);
    for (const QString &sql : statements) {
        QSqlQuery q(db);
        QVERIFY2(q.exec(sql), qPrintable(sql));
        q.finish();
    }
}

} // namespace

class tst_bankedits : public WindowTest
{
    Q_OBJECT

    // The rename in the category editor, as a user does it.
    void renameCategory(const QString &from, const QString &to)
    {
        (*main)->mnuFL_Click();
        frmFL *fl = Forms::find<frmFL>();
        QVERIFY(fl);
        QVERIFY(clickEntry(fl->DBList1, from));
        press(fl, u"改名");
        type(fl, u"请输入名称:", to);
        press(fl, u"名称确定");
        QCOMPARE(fl->Label3->text(), QString());
    }

    frmBFEdit *manage(const QString &category, const QString &test)
    {
        (*main)->mnuDelTest_Click();
        frmBFEdit *w = Forms::find<frmBFEdit>();
        if (!w || !pick(w, u"测试项目分类：", category) || !clickEntry(w->DBList1, test))
            return nullptr;
        return w;
    }

private slots:
    // A pasted line break, another control character or a reserved name, in each of
    // the four boxes that name a table: refused with what is wrong, the focus back in
    // the box, the bank as it was.
    void refusedNamesAreExplained_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString boxes[] = { "new category", "category rename", "new test", "test rename" };
        for (const QString &box : boxes) {
            QTest::addRow("%s, line feed", qPrintable(box))
                << box << QStringLiteral("Line1\nLine2") << kControl;
            QTest::addRow("%s, CR LF", qPrintable(box))
                << box << QStringLiteral("Line1\r\nLine2") << kControl;
            QTest::addRow("%s, tab", qPrintable(box))
                << box << QStringLiteral("甲\t乙") << kControl;
            QTest::addRow("%s, DEL", qPrintable(box))
                << box << QStringLiteral("甲\u007f") << kControl;
            QTest::addRow("%s, reserved", qPrintable(box))
                << box << QStringLiteral("sqlite_x") << QStringLiteral("“sqlite_x”是保留的名称。");
        }
    }
    void refusedNamesAreExplained()
    {
        QFETCH(QString, box);
        QFETCH(QString, name);
        QFETCH(QString, message);
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试一"));
        const QStringList tables = folder->tables();

        QWidget *window = nullptr;
        QString nameCaption, confirm;
        if (box.contains(QLatin1String("category"))) {
            (*main)->mnuFL_Click();
            frmFL *w = Forms::find<frmFL>();
            if (box == QLatin1String("new category")) {
                press(w, u"新建");
            } else {
                QVERIFY(clickEntry(w->DBList1, QStringLiteral("情商")));
                press(w, u"改名");
            }
            window = w;
            nameCaption = QStringLiteral("请输入名称:");
            confirm = QStringLiteral("名称确定");
        } else if (box == QLatin1String("new test")) {
            (*main)->mnuCreatTest_Click();
            frmAddTest *w = Forms::find<frmAddTest>();
            QVERIFY(pick(w, u"添加到的测试类：", QStringLiteral("情商")));
            window = w;
            nameCaption = QStringLiteral("测试名称：");
            confirm = QStringLiteral("确定");
        } else {
            frmBFEdit *w = manage(QStringLiteral("情商"), QStringLiteral("测试一"));
            QVERIFY(w);
            press(w, u"更名");
            window = w;
            nameCaption = QStringLiteral("输入新名称：");
            confirm = QStringLiteral("确定更名");
        }
        auto *nameBox = qobject_cast<QLineEdit *>(control(window, nameCaption, Kind::Editable));
        QVERIFY(nameBox);
        paste(nameBox, name);
        QCOMPARE(nameBox->text(), name);
        press(window, confirm);
        QCOMPARE(messages->texts(), QStringList { message });
        QCOMPARE(focused(), nameBox);
        QCOMPARE(folder->tables(), tables);
        QCOMPARE(column(*folder, QStringLiteral("分类列表")), QStringList { "情商" });
        QCOMPARE(column(*folder, QStringLiteral("情商")), QStringList { "测试一" });
    }

    // A test that an older copy named with a line feed, beside a test named like its
    // first line: choosing it never opens the other one, and it can be renamed.
    void nameWithALineFeedNeverOpensAnother()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        folder->addTest(QStringLiteral("情商"), QStringLiteral("旧名"));
        folder->addTest(QStringLiteral("情商"), QStringLiteral("Line1"));
        folder->addRows(QStringLiteral("Line1"), { { QStringLiteral("Line1的题") } });
        onBank(*folder,
            { QStringLiteral("ALTER TABLE \"旧名\" RENAME TO \"Line1\nLine2\""),
                QStringLiteral("ALTER TABLE \"旧名评分\" RENAME TO \"Line1\nLine2评分\""),
                QStringLiteral("UPDATE \"情商\" SET \"测试\" = 'Line1\nLine2' WHERE \"测试\" = "
                               "'旧名'") });
        const QString odd = QStringLiteral("Line1\nLine2");

        (*main)->mnuOpenTest_Click();
        frmBFEdit *w = Forms::find<frmBFEdit>();
        QVERIFY(pick(w, u"测试项目分类：", QStringLiteral("情商")));
        QVERIFY(doubleClickEntry(w->DBList1, odd));
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY(messages->last().contains(QStringLiteral("换行符")));
        QVERIFY(!QFile::exists(folder->file(QStringLiteral("temp.txt"))));

        // Written by an older copy, temp.txt with the line feed opens nothing either.
        folder->write(QStringLiteral("temp.txt"), odd.toUtf8() + "\r\n");
        messages->clear();
        w->Unload();
        Forms::show<frmEdittest>();
        settle();
        settle();
        QVERIFY(!Forms::find<frmEdittest>());
        QCOMPARE(messages->texts().size(), 1);
        QCOMPARE(folder->rows(QStringLiteral("Line1")).size(), 1);

        // The way out: a name without the line feed.
        w = manage(QStringLiteral("情商"), odd);
        QVERIFY(w);
        press(w, u"更名");
        type(w, u"输入新名称：", QStringLiteral("Line3"));
        press(w, u"确定更名");
        QCOMPARE(entries(w->DBList1), (QStringList { "Line3", "Line1" }));
        QVERIFY(folder->tables().contains(QStringLiteral("Line3评分")));
    }

    // The category editor renames the category that the chooser or the new-test
    // dialog shows; their confirmed action then says so and shows the bank as it is.
    void actionOnARenamedCategorySaysWhy_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("chooser's 删除") << "delete";
        QTest::newRow("chooser's 确定更名") << "rename";
        QTest::newRow("new-test dialog's 确定") << "new test";
    }
    void actionOnARenamedCategorySaysWhy()
    {
        QFETCH(QString, action);
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试一"));
        folder->addTest(QStringLiteral("性格"), QStringLiteral("测试三"));
        QComboBox *box = nullptr;
        if (action == QLatin1String("new test")) {
            (*main)->mnuCreatTest_Click();
            frmAddTest *w = Forms::find<frmAddTest>();
            QVERIFY(pick(w, u"添加到的测试类：", QStringLiteral("情商")));
            renameCategory(QStringLiteral("情商"), QStringLiteral("情商二"));
            type(w, u"测试名称：", QStringLiteral("新测试"));
            press(w, u"确定");
            box = w->DBCombo1;
        } else {
            frmBFEdit *w = manage(QStringLiteral("情商"), QStringLiteral("测试一"));
            QVERIFY(w);
            if (action == QLatin1String("rename")) {
                press(w, u"更名");
                type(w, u"输入新名称：", QStringLiteral("测试二"));
            }
            renameCategory(QStringLiteral("情商"), QStringLiteral("情商二"));
            if (action == QLatin1String("delete")) {
                messages->answer(MsgAnswer::Yes);
                press(w, u"删除");
            } else {
                press(w, u"确定更名");
            }
            QCOMPARE(w->DBList1->count(), 0);
            QCOMPARE(w->Label1->text(), QString());
            QVERIFY(!w->Text1->isVisible());
            box = w->DBCombo1;
        }
        QCOMPARE(messages->last(), kCategoryGone);
        QCOMPARE(entries(box), (QStringList { "情商二", "性格" }));
        QCOMPARE(box->currentIndex(), -1);
        QCOMPARE(folder->tables(),
            (QStringList {
                "分类列表", "情商二", "测试一", "测试一评分", "性格", "测试三", "测试三评分" }));
        QCOMPARE(column(*folder, QStringLiteral("情商二")), QStringList { "测试一" });
    }

    // After a delete nothing is chosen: 更名 asks for a test instead of opening the name
    // box on the deleted one, also when the box was open on it.
    void nothingChosenAfterADelete()
    {
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试一"));
        folder->addTest(QStringLiteral("情商"), QStringLiteral("测试二"));
        frmBFEdit *w = manage(QStringLiteral("情商"), QStringLiteral("测试一"));
        QVERIFY(w);
        press(w, u"更名");
        QVERIFY(w->Text1->isVisible());
        messages->answer(MsgAnswer::Yes);
        press(w, u"删除");
        QCOMPARE(messages->last(), QStringLiteral("该项测试已经删除！"));
        QCOMPARE(entries(w->DBList1), QStringList { "测试二" });
        QCOMPARE(w->Label1->text(), QString());
        QVERIFY(!w->Text1->isVisible());
        QVERIFY(w->Command5->isEnabled());
        QVERIFY(!w->Command6->isEnabled());
        press(w, u"更名");
        QCOMPARE(messages->last(), QStringLiteral("请选择要更名的测试项目！"));
        QVERIFY(!w->Text1->isVisible());
    }
};

QTEST_MAIN(tst_bankedits)
#include "tst_bankedits.moc"
