// Import and export through the windows: the sample test goes out to a file and
// comes back into an emptied bank; clashes are shown and renamed or left out; a
// damaged file is told once and changes nothing.
#include "bank/frmExport.h"
#include "bank/frmImport.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "platform/filedialog.h"
#include "store/catalogue.h"
#include "support/serverbanks.h"
#include "support/userinput.h"
#include "support/windowtest.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace userinput;

namespace {
const QString kSample = u"日常情商自测"_s;
const QString kCategory = u"情商测试"_s;

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList states(const frmImport *w)
{
    QStringList out;
    for (int r = 0; r < w->Grid1->rowCount(); ++r)
        out << w->Grid1->item(r, frmImport::ColState)->text();
    return out;
}
} // namespace

class tst_frmImport : public WindowTest
{
    Q_OBJECT

public:
    tst_frmImport()
        : WindowTest(TestFolder::SampleBank)
    { }

private:
    frmImport *openImport(ScriptedFileDialog &files, const QString &path)
    {
        (*main)->mnuImport_Click();
        auto *w = Forms::find<frmImport>();
        files.choose(path);
        press(w, u"选择文件");
        return w;
    }

    // Leaves the bank with no category at all.
    void emptyTheBank()
    {
        QVERIFY(!Catalogue::deleteTest(folder->bank(), kSample, kCategory));
        QVERIFY(!Catalogue::deleteCategory(folder->bank(), kCategory));
        QCOMPARE(folder->tables(), QStringList { u"分类列表"_s });
    }

    void exportSample(const QString &path)
    {
        ScriptedFileDialog files;
        files.choose(path);
        (*main)->mnuExport_Click();
        auto *w = Forms::find<frmExport>();
        QVERIFY(w);
        QCOMPARE(w->Combo1->currentText(), kCategory);
        QCOMPARE(w->Combo2->currentText(), kSample);
        press(w, u"导出");
        QCOMPARE(files.shown().size(), 1);
        QVERIFY(files.shown()[0].save);
        QCOMPARE(files.shown()[0].fileName, kSample + u".txt"_s);
        QCOMPARE(messages->last(), u"已经导出到文件“exported.txt”。"_s);
    }

private slots:
    // The new user's round: the sample test exported, the bank emptied, the file
    // imported, and the bank is the shipped one again.
    void exportedTestComesBack()
    {
        const QString file = folder->file(u"exported.txt"_s);
        exportSample(file);
        settle();
        QVERIFY(!Forms::find<frmExport>());
        const QList<QStringList> rows = folder->rows(kSample);
        const QList<QStringList> bands = folder->rows(kSample + u"评分"_s);
        emptyTheBank();

        ScriptedFileDialog files;
        frmImport *w = openImport(files, file);
        QCOMPARE(w->Caption(), u"Qelvi——导入测试"_s);
        QCOMPARE(w->Text1->text(), file);
        QCOMPARE(w->Combo1->currentText(), u"按文件中的分类"_s);
        QCOMPARE(w->Grid1->rowCount(), 1);
        QCOMPARE(w->Grid1->item(0, frmImport::ColName)->text(), kSample);
        QCOMPARE(w->Grid1->item(0, frmImport::ColQuestions)->text(), QString::number(rows.size()));
        QCOMPARE(states(w), QStringList { u"可以导入"_s });
        QVERIFY(w->Text2->toPlainText().startsWith(
            kSample + u"：%1 道题，%2 个分数档\n1. "_s.arg(rows.size()).arg(bands.size())));
        QCOMPARE(folder->tables(), QStringList { u"分类列表"_s }); // nothing written yet
        press(w, u"导入");
        QCOMPARE(messages->last(), u"已经导入 1 个测试。"_s);
        QCOMPARE(folder->rows(kSample), rows);
        QCOMPARE(folder->rows(u"分类列表"_s), QList<QStringList> { { kCategory } });
        QCOMPARE(folder->rows(kCategory), QList<QStringList> { { kSample } });
        QCOMPARE(folder->rows(kSample + u"评分"_s), bands);
    }

    // A name that is taken is shown; importing then writes nothing until the user
    // gives another name or leaves the test out.
    void clashIsRenamedOrLeftOut()
    {
        const QString file = folder->file(u"exported.txt"_s);
        exportSample(file);
        settle();
        const QByteArray before = bytesOf(folder->bank());
        ScriptedFileDialog files;
        frmImport *w = openImport(files, file);
        QVERIFY(states(w).value(0).contains(u"已经存在"_s));
        press(w, u"导入");
        QVERIFY(messages->last().contains(u"请改名"_s));
        QCOMPARE(bytesOf(folder->bank()), before);

        // Left out: nothing to import.
        w->Grid1->setFocus();
        w->Grid1->setCurrentCell(0, frmImport::ColImport);
        QTest::keyClick(w->Grid1, Qt::Key_Space);
        QCOMPARE(w->Grid1->item(0, frmImport::ColImport)->checkState(), Qt::Unchecked);
        QCOMPARE(states(w), QStringList { u"不导入"_s });
        press(w, u"导入");
        QCOMPARE(messages->last(), u"请选择要导入的测试！"_s);
        QTest::keyClick(w->Grid1, Qt::Key_Space);
        QCOMPARE(w->Grid1->item(0, frmImport::ColImport)->checkState(), Qt::Checked);

        // Another name, typed into the list.
        w->Grid1->editItem(w->Grid1->item(0, frmImport::ColName));
        auto *editor = w->Grid1->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_End);
        typeKeys(editor, u"（二）"_s);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the list takes the typed name after the key
        QCOMPARE(w->Grid1->item(0, frmImport::ColName)->text(), kSample + u"（二）"_s);
        QCOMPARE(states(w), QStringList { u"可以导入"_s });
        QCOMPARE(bytesOf(folder->bank()), before);
        press(w, u"导入");
        QCOMPARE(messages->last(), u"已经导入 1 个测试。"_s);
        QCOMPARE(folder->rows(kCategory),
            (QList<QStringList> { { kSample }, { kSample + u"（二）"_s } }));
        QCOMPARE(folder->rows(kSample + u"（二）"_s), folder->rows(kSample));
    }

    // A spreadsheet's test with its bands from a second file goes into the chosen
    // category and can be taken at once.
    void spreadsheetWithBandFile()
    {
        folder->write(u"人际.csv"_s, "题目,A,分数,B,分数\n你愿意帮助别人吗？,愿意,2,不愿意,0\n");
        folder->write(u"人际评分.csv"_s, "0,1,要多关心别人\n1.5,2,很好\n");
        ScriptedFileDialog files;
        frmImport *w = openImport(files, folder->file(u"人际.csv"_s));
        QCOMPARE(w->Grid1->item(0, frmImport::ColName)->text(), u"人际"_s);
        QVERIFY(w->Command4->isEnabled());
        QCOMPARE(w->Combo1->currentText(), kCategory); // the file names no category
        files.choose(folder->file(u"人际评分.csv"_s));
        press(w, u"评分表");
        QCOMPARE(w->Grid1->item(0, frmImport::ColBands)->text(), u"2"_s);
        press(w, u"导入");
        QCOMPARE(messages->last(), u"已经导入 1 个测试。"_s);
        QCOMPARE(folder->rows(u"人际评分"_s),
            (QList<QStringList> {
                { u"0"_s, u"1"_s, u"要多关心别人"_s }, { u"1.5"_s, u"2"_s, u"很好"_s } }));
        QCOMPARE(folder->rows(kCategory), (QList<QStringList> { { kSample }, { u"人际"_s } }));
    }

    // Categories without tests come in with the rest: each has a row, is made when
    // missing, and is kept as itself also when the tests go into another category.
    void emptyCategoriesAreKept_data()
    {
        QTest::addColumn<QString>("source"); // a test file, or another bank
        QTest::addColumn<QString>("into"); // typed into the category box; empty: as in file
        QTest::addColumn<QStringList>("emptyStates"); // of the rows of 空类一, 情商测试
        QTest::addColumn<QStringList>("categories"); // 分类列表 afterwards
        QTest::addColumn<QString>("testIn"); // the category that holds 新测
        const QStringList made { u"新建空的测试类"_s, u"测试类已经存在"_s };
        const QStringList all { kCategory, u"空类一"_s, u"有题的类"_s };
        QTest::newRow("test file, as in file")
            << u"txt"_s << QString() << made << all << u"有题的类"_s;
        QTest::newRow("another bank, as in file")
            << u"mdb"_s << QString() << made << all << u"有题的类"_s;
        QTest::newRow("test file, into the sample's category")
            << u"txt"_s << kCategory << made << QStringList { kCategory, u"空类一"_s } << kCategory;
        QTest::newRow("another bank, into a new category")
            << u"mdb"_s << u"输入的新类"_s << made
            << QStringList { kCategory, u"空类一"_s, u"输入的新类"_s } << u"输入的新类"_s;
    }
    void emptyCategoriesAreKept()
    {
        if (ServerBanks::enabled())
            QSKIP("a bank only a file can be");
        QFETCH(QString, source);
        QFETCH(QString, into);
        QFETCH(QStringList, emptyStates);
        QFETCH(QStringList, categories);
        QFETCH(QString, testIn);
        QString file;
        if (source == u"txt"_s) {
            file = folder->file(u"类.txt"_s);
            folder->write(u"类.txt"_s,
                u"分类: 空类一\n\n分类: 有题的类\n测试: 新测\n\n题目: 好吗\nA 1: 好\n\n分类: 情商测试\n"_s
                    .toUtf8());
        } else {
            file = folder->file(u"别的题库.mdb"_s);
            TestFolder other; // the program's folder until it goes
            other.addCategory(u"空类一"_s);
            other.addTest(u"有题的类"_s, u"新测"_s);
            other.addRows(u"新测"_s, { { u"好吗"_s, u"好"_s, u"1"_s } });
            other.addCategory(kCategory);
            QVERIFY(QFile::copy(other.bank(), file));
        }
        ScriptedFileDialog files;
        frmImport *w = openImport(files, file);
        QCOMPARE(w->Grid1->rowCount(), 3);
        QCOMPARE(w->Grid1->item(0, frmImport::ColCategory)->text(), u"空类一"_s);
        QCOMPARE(w->Grid1->item(0, frmImport::ColName)->text(), QString());
        QCOMPARE(w->Grid1->item(2, frmImport::ColCategory)->text(), kCategory);
        if (!into.isEmpty()) {
            type(w, u"导入到的测试类：", into);
        }
        QCOMPARE(
            w->Label4->text(), into.isEmpty() || into == kCategory ? QString() : u"新建测试类"_s);
        QCOMPARE(QStringList({ states(w)[0], states(w)[2] }), emptyStates);
        QCOMPARE(states(w)[1], u"可以导入"_s);
        QVERIFY(w->Text2->toPlainText().contains(u"没有测试"_s));
        press(w, u"导入");
        QCOMPARE(messages->last(), u"已经导入 1 个测试。另外新建了 1 个空的测试类。"_s);
        QStringList list;
        for (const QStringList &row : folder->rows(u"分类列表"_s))
            list << row.value(0);
        QCOMPARE(list, categories);
        QVERIFY(folder->tables().contains(u"空类一"_s));
        QCOMPARE(folder->rows(testIn).last(), QStringList { u"新测"_s });
        QCOMPARE(folder->rows(u"新测"_s).value(0).mid(0, 3),
            (QStringList { u"好吗"_s, u"好"_s, u"1"_s }));
    }

    // A file of empty categories only can be imported; unticked, nothing is made.
    void onlyEmptyCategories()
    {
        folder->write(u"空.txt"_s, "分类: 空类一\n分类: 空类二\n");
        ScriptedFileDialog files;
        frmImport *w = openImport(files, folder->file(u"空.txt"_s));
        QCOMPARE(states(w), (QStringList { u"新建空的测试类"_s, u"新建空的测试类"_s }));
        w->Grid1->item(1, frmImport::ColImport)->setCheckState(Qt::Unchecked);
        QCOMPARE(states(w), (QStringList { u"新建空的测试类"_s, u"不导入"_s }));
        press(w, u"导入");
        QCOMPARE(messages->last(), u"已经导入 0 个测试。另外新建了 1 个空的测试类。"_s);
        QCOMPARE(
            folder->rows(u"分类列表"_s), (QList<QStringList> { { kCategory }, { u"空类一"_s } }));
    }

    // A bank without categories takes a spreadsheet's test into a category typed in
    // the window; the preview shows what is read before anything is written.
    void newCategoryIsTyped_data()
    {
        QTest::addColumn<bool>("emptyBank");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("state"); // of the test's row once typed
        QTest::newRow("bank without categories") << true << u"我的类"_s << u"可以导入"_s;
        QTest::newRow("a new one beside the sample's") << false << u"我的类"_s << u"可以导入"_s;
        QTest::newRow("the name of a test") << false << kSample << u"已经存在"_s;
    }
    void newCategoryIsTyped()
    {
        QFETCH(bool, emptyBank);
        QFETCH(QString, typed);
        QFETCH(QString, state);
        if (emptyBank)
            emptyTheBank();
        folder->write(u"人际.csv"_s,
            "题目,A,分数,B,分数\n你愿意帮助别人吗？,愿意,2.5,不愿意,-1\n评分\n-1,0,要多关心别人\n"
            "2,2.5,很好\n");
        ScriptedFileDialog files;
        frmImport *w = openImport(files, folder->file(u"人际.csv"_s));
        QCOMPARE(w->Combo1->currentText(), emptyBank ? QString() : kCategory);
        QCOMPARE(w->Text2->toPlainText(),
            u"人际：1 道题，2 个分数档\n1. 你愿意帮助别人吗？\n    A. 愿意（2.5 分）\n"
            "    B. 不愿意（-1 分）\n评分：\n    -1 ～ 0：要多关心别人\n    2 ～ 2.5：很好"_s);
        if (emptyBank) {
            QCOMPARE(states(w), QStringList { u"没有指定分类。"_s });
            press(w, u"导入");
            QCOMPARE(messages->last(), u"请选择要添加到的测试类！"_s);
        }
        type(w, u"导入到的测试类：", typed);
        QCOMPARE(w->Combo1->currentText(), typed);
        QVERIFY2(states(w).value(0).contains(state), qPrintable(states(w).value(0)));
        const QByteArray before = bytesOf(folder->bank());
        press(w, u"导入");
        if (state != u"可以导入"_s) {
            QVERIFY(messages->last().contains(u"请改名"_s));
            QCOMPARE(bytesOf(folder->bank()), before);
            return;
        }
        QCOMPARE(messages->last(), u"已经导入 1 个测试。"_s);
        QCOMPARE(folder->rows(u"分类列表"_s).last(), QStringList { typed });
        QCOMPARE(folder->rows(typed), QList<QStringList> { { u"人际"_s } });
        QCOMPARE(folder->rows(u"人际评分"_s).size(), 2);
    }

    // A damaged file: one message naming it and the line, nothing shown, nothing written.
    void damagedFileIsToldOnce()
    {
        folder->write(u"坏.csv"_s, "问题,是,1\n\"没有结束,否,0\n");
        const QByteArray before = bytesOf(folder->bank());
        ScriptedFileDialog files;
        frmImport *w = openImport(files, folder->file(u"坏.csv"_s));
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY(messages->last().contains(u"坏.csv"_s) && messages->last().contains(u"第 2 行"_s));
        QCOMPARE(w->Grid1->rowCount(), 0);
        QVERIFY(!w->Command2->isEnabled());
        QCOMPARE(bytesOf(folder->bank()), before);
        key(Qt::Key_Escape);
        settle();
        QVERIFY(!Forms::find<frmImport>());
    }

    // What is no plain file, picked as the file to import or as the band sheet: one
    // message at once with the true reason, nothing read, the bank as it was.
    void noPlainFileIsRefusedAtOnce_data()
    {
        QTest::addColumn<bool>("bandSheet");
        QTest::addColumn<bool>("fifo"); // else a link to /dev/zero
        for (const bool bandSheet : { false, true })
            for (const bool fifo : { true, false })
                QTest::addRow("%s, %s", bandSheet ? "band sheet" : "import file",
                    fifo ? "a FIFO" : "a link to /dev/zero")
                    << bandSheet << fifo;
    }
    void noPlainFileIsRefusedAtOnce()
    {
        QFETCH(bool, bandSheet);
        QFETCH(bool, fifo);
        const QString hostile = folder->file(u"怪.csv"_s);
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(hostile).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(u"/dev/zero"_s, hostile));
        folder->write(u"人际.csv"_s, "题目,A,分数\n你愿意帮助别人吗？,愿意,2\n");
        const QByteArray before = bytesOf(folder->bank());
        ScriptedFileDialog files;
        frmImport *w = openImport(files, bandSheet ? folder->file(u"人际.csv"_s) : hostile);
        if (bandSheet) {
            files.choose(hostile);
            press(w, u"评分表");
            QCOMPARE(w->Grid1->item(0, frmImport::ColBands)->text(), u"0"_s);
        }
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY2(
            messages->last().contains(u"怪.csv"_s) && messages->last().contains(u"不是普通文件"_s),
            qPrintable(messages->last()));
        QCOMPARE(bytesOf(folder->bank()), before);
    }
};

QTEST_MAIN(tst_frmImport)
#include "tst_frmImport.moc"
