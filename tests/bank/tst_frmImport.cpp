// Import and export through the windows: the sample test goes out to a file and
// comes back into an emptied bank; clashes are shown and renamed or left out; a
// damaged file is told once and changes nothing.
#include "app/controls.h"
#include "app/forms.h"
#include "bank/frmExport.h"
#include "bank/frmImport.h"
#include "bank/store/catalogue.h"
#include "platform/filedialog.h"
#include "support/userinput.h"
#include "support/windowtest.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
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
        press(w->Command1);
        return w;
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
        press(w->Command1);
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
        QVERIFY(!Catalogue::deleteTest(folder->bank(), kSample, kCategory));
        QVERIFY(!Catalogue::deleteCategory(folder->bank(), kCategory));
        QCOMPARE(folder->tables(), QStringList { u"分类列表"_s });

        ScriptedFileDialog files;
        frmImport *w = openImport(files, file);
        QCOMPARE(w->Caption(), u"Qelvi——导入测试"_s);
        QCOMPARE(w->Text1->text(), file);
        QCOMPARE(w->Combo1->currentText(), u"按文件中的分类"_s);
        QCOMPARE(w->Grid1->rowCount(), 1);
        QCOMPARE(w->Grid1->item(0, frmImport::ColName)->text(), kSample);
        QCOMPARE(w->Grid1->item(0, frmImport::ColQuestions)->text(), QString::number(rows.size()));
        QCOMPARE(states(w), QStringList { u"可以导入"_s });
        QCOMPARE(folder->tables(), QStringList { u"分类列表"_s }); // nothing written yet
        press(w->Command2);
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
        press(w->Command2);
        QVERIFY(messages->last().contains(u"请改名"_s));
        QCOMPARE(bytesOf(folder->bank()), before);

        // Left out: nothing to import.
        w->Grid1->setFocus();
        w->Grid1->setCurrentCell(0, frmImport::ColImport);
        QTest::keyClick(w->Grid1, Qt::Key_Space);
        QCOMPARE(w->Grid1->item(0, frmImport::ColImport)->checkState(), Qt::Unchecked);
        QCOMPARE(states(w), QStringList { u"不导入"_s });
        press(w->Command2);
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
        press(w->Command2);
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
        press(w->Command4);
        QCOMPARE(w->Grid1->item(0, frmImport::ColBands)->text(), u"2"_s);
        press(w->Command2);
        QCOMPARE(messages->last(), u"已经导入 1 个测试。"_s);
        QCOMPARE(folder->rows(u"人际评分"_s),
            (QList<QStringList> {
                { u"0"_s, u"1"_s, u"要多关心别人"_s }, { u"1.5"_s, u"2"_s, u"很好"_s } }));
        QCOMPARE(folder->rows(kCategory), (QList<QStringList> { { kSample }, { u"人际"_s } }));
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
            press(w->Command4);
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
