// Runs beside an installed qelvi (same bin/ folder), as the installed program would:
//   prog_installcheck create   creates a category and a test through the windows and
//                              opens the chooser, leaving the hand-off files
//   prog_installcheck verify   finds that category and test again
// Prints the program folder it used; exits non-zero on any failure.
#include "app/mdiMain.h"
#include "app/mdlQelvi.h"
#include "bank/bankui.h"
#include "bank/frmAddTest.h"
#include "bank/frmFL.h"
#include "base/programfolder.h"
#include "binding/DBCombo.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "store/catalogue.h"
#include "support/bankwindows.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

using namespace bankwindows;

namespace {

const QString kCategory = QStringLiteral("安装后的分类");
const QString kTest = QStringLiteral("安装后的测试");

int fail(const char *what)
{
    std::fprintf(stderr, "install check failed: %s\n", what);
    return 1;
}

int create(mdiMain &main)
{
    ScriptedMessages messages;
    main.mnuFL_Click();
    frmFL *fl = Forms::find<frmFL>();
    if (!fl)
        return fail("no category editor");
    press(fl->Command2);
    type(fl->Text1, kCategory);
    press(fl->Command1);

    main.mnuCreatTest_Click();
    frmAddTest *add = Forms::find<frmAddTest>();
    if (!add)
        return fail("no new-test dialog");
    if (!pickEntry(add->DBCombo1, kCategory))
        return fail("the new category is not offered");
    type(add->Text1, kTest);
    messages.answer(MsgAnswer::Yes); // edit the questions now: writes temp.txt
    press(add->Command1);

    main.mnuTesting_Click(); // writes temp1.txt
    if (!messages.texts().filter(QStringLiteral("无法")).isEmpty())
        return fail(qPrintable(messages.texts().join(u'\n')));
    return 0;
}

int verify()
{
    const QStringList tables = Catalogue::tables(programFile(QStringLiteral("test.mdb")));
    for (const QString &t : { kCategory, kTest, BankNames::scoringTable(kTest) })
        if (!tables.contains(t))
            return fail(qPrintable(QStringLiteral("table missing: ") + t));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    mdlQelvi::prepare(app);
    const QString step = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::printf("%s\n", qPrintable(programFolder()));

    mdiMain main;
    main.resize(1024, 768);
    main.show();
    const int result = step == u"create" ? create(main) : verify();
    Forms::unloadAll();
    return result;
}
