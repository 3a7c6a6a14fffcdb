// How long a name of a category or a test may be: a new or changed name up to the
// limit is stored whole; a longer one, typed or pasted, is refused with a message
// that states the limit and the bank stays as it was. Long names a bank already holds
// are shown and used as they are.
#include "support/bankwindows.h"
#include "support/windowtest.h"

#include "authoring/frmEdittest.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmFL.h"
#include "binding/Data.h"
#include "forms/handoff.h"
#include "store/catalogue.h"

#include <QGuiApplication>

using namespace bankwindows;

namespace {

const QString kCategory = QStringLiteral("情商");
const QString kTest = QStringLiteral("测试一");

} // namespace

class tst_namelimit : public WindowTest
{
    Q_OBJECT

private slots:
    void newAndChangedNames_data();
    void newAndChangedNames();
    void longNamesAlreadyThereStayUsable();
};

void tst_namelimit::newAndChangedNames_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("length");
    for (const char *action : { "new category", "renamed category", "new test", "renamed test" }) {
        for (const int length : { 255, 256, 40000 })
            QTest::addRow("%s, %d characters", action, length)
                << QString::fromUtf8(action) << length;
    }
}

void tst_namelimit::newAndChangedNames()
{
    QFETCH(QString, action);
    QFETCH(int, length);

    folder->addTest(kCategory, kTest);
    const QStringList before = folder->tables();
    // A character outside the basic plane counts as one.
    const QString name = QString(length - 1, u'名') + QString::fromUcs4(U"\U0001F600", 1);

    if (action.endsWith(QLatin1String("category"))) {
        (*main)->mnuFL_Click();
        auto *w = Forms::find<frmFL>();
        QVERIFY(w);
        if (action.startsWith(QLatin1String("new"))) {
            press(w, u"新建");
        } else {
            QVERIFY(clickEntry(w->DBList1, kCategory));
            press(w, u"改名");
        }
        paste(w, u"请输入名称:", name);
        press(w, u"名称确定");
    } else if (action == QLatin1String("new test")) {
        (*main)->mnuCreatTest_Click();
        auto *w = Forms::find<frmAddTest>();
        QVERIFY(w);
        QVERIFY(pick(w, u"添加到的测试类：", kCategory));
        paste(w, u"测试名称：", name);
        press(w, u"确定");
    } else {
        (*main)->mnuDelTest_Click();
        auto *w = Forms::find<frmBFEdit>();
        QVERIFY(w);
        QVERIFY(pick(w, u"测试项目分类：", kCategory));
        QVERIFY(clickEntry(w->DBList1, kTest));
        press(w, u"更名");
        paste(w, u"输入新名称：", name);
        press(w, u"确定更名");
    }
    settle();

    const QStringList tables = folder->tables();
    if (length <= Catalogue::kNameLimit) {
        QVERIFY(tables.contains(name));
        QVERIFY(!messages->texts().join(u'\n').contains(QStringLiteral("不能超过")));
        return;
    }
    QCOMPARE(tables, before);
    QVERIFY(!messages->texts().isEmpty());
    // The whole name reaches the check: a paste is not cut by the box first.
    QVERIFY2(messages->texts().first().contains(QStringLiteral("不能超过 255 个字符"))
            && messages->texts().first().contains(QStringLiteral("有 %1 个字符").arg(length)),
        qPrintable(messages->texts().first().left(200)));
}

// A category and a test of 300 characters, stored by an older program: listed whole,
// renamed to their own name and to a short one, a test opened in the editor.
void tst_namelimit::longNamesAlreadyThereStayUsable()
{
    const QString category = QString(300, u'类');
    const QString test = QString(300, u'测');
    QVERIFY(!Catalogue::createTable(folder->bank(), BankNames::categoryTable(category)));
    QVERIFY(!Catalogue::createTable(folder->bank(), BankNames::questionTable(test)));
    QVERIFY(!Catalogue::createTable(folder->bank(), BankNames::scoringTableDef(test)));
    folder->addRows(BankNames::categoryList(), { { category } });
    folder->addRows(category, { { test } });

    (*main)->mnuFL_Click();
    auto *fl = Forms::find<frmFL>();
    QVERIFY(fl);
    QVERIFY(entries(fl->DBList1).contains(category));
    QVERIFY(clickEntry(fl->DBList1, category));
    press(fl, u"改名");
    QCOMPARE(fl->Text1->text(), category);
    press(fl, u"名称确定"); // its own name again
    fl->Unload();
    settle();
    QVERIFY(messages->texts().isEmpty());
    QVERIFY(folder->tables().contains(category));

    QVERIFY(HandOff::writeTestName(test));
    auto *editor = Forms::show<frmEdittest>();
    QVERIFY(editor);
    settle();
    QCOMPARE(editor->Label6->text(), test);
    QVERIFY(editor->Data1->recordset().isOpen());
    editor->Unload();
    settle();

    (*main)->mnuDelTest_Click();
    auto *w = Forms::find<frmBFEdit>();
    QVERIFY(w);
    QVERIFY(pick(w, u"测试项目分类：", category));
    QCOMPARE(entries(w->DBList1), QStringList { test });
    QVERIFY(clickEntry(w->DBList1, test));
    press(w, u"更名");
    type(w, u"输入新名称：", QStringLiteral("短名"));
    press(w, u"确定更名");
    settle();
    QVERIFY(messages->texts().isEmpty());
    QCOMPARE(column(*folder, category), QStringList { QStringLiteral("短名") });
    QVERIFY(folder->tables().contains(QStringLiteral("短名评分")));
}

QTEST_MAIN(tst_namelimit)
#include "tst_namelimit.moc"
