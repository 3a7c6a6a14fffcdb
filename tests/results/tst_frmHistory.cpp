// The results history through the windows: tests taken in the runner are kept with
// their answers, the history window lists, filters, charts, exports and deletes them,
// and the result window prints and saves its page. The bank is never written.
#include "bank/frmBFEdit.h"
#include "formats/result/resultdocument.h"
#include "forms/forms.h"
#include "platform/filedialog.h"
#include "platform/inputbox.h"
#include "platform/msgbox.h"
#include "platform/printdialog.h"
#include "results/frmHistory.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "runner/taker.h"
#include "store/catalogue.h"
#include "store/results/history.h"
#include "support/bankwindows.h"
#include "support/userinput.h"
#include "support/windowtest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>

using userinput::press;

using namespace Qt::StringLiterals;

namespace {

const QString category = QStringLiteral("情商测试");
const QString sample = QStringLiteral("日常情商自测");

// 进行测试项目, the sample test chosen, every question answered with `option`.
bool takeSample(mdiMain *main, int option, int questions)
{
    main->mnuTesting_Click();
    QCoreApplication::processEvents();
    if (!bankwindows::chooseTest(category, sample))
        return false;
    settle();
    frmTest *runner = Forms::find<frmTest>();
    if (!runner)
        return false;
    for (int q = 0; q < questions; ++q)
        QTest::mouseClick(runner->optionLabels()[option], Qt::LeftButton);
    return Forms::find<frmResult>() != nullptr;
}

// The text of one cell of the history list.
QString cell(const frmHistory *history, int row, int column)
{
    return history->List1->model()->index(row, column).data().toString();
}

QString shownResult()
{
    frmResult *result = Forms::find<frmResult>();
    return result ? result->Text1->toPlainText() : QString();
}

// The text of a PDF file as pdftotext reads it, without any blanks or line breaks
// (the page wraps long lines where the window wraps them differently).
QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
        { QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-") });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>")
            .arg(QString::fromUtf8(p.readAllStandardError()));
    QString text = QString::fromUtf8(p.readAllStandardOutput());
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

QString squeezed(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

QList<Results::Record> stored(const TestFolder *folder)
{
    return Results::History(folder->file(QStringLiteral("results.db"))).records();
}

} // namespace

class tst_frmHistory : public WindowTest
{
    Q_OBJECT

public:
    tst_frmHistory()
        : WindowTest(TestFolder::SampleBank, true)
    { }

private slots:
    // The sample taken twice: two records with the exact result texts and answers, the
    // bank untouched; the window lists them newest first, filters, charts both totals,
    // exports the shown ones as CSV, saves and prints the selected one as PDF.
    void takenTwiceListedChartedExported()
    {
        const QByteArray bank = folder->read(QStringLiteral("test.mdb"));
        const QList<QStringList> questions = folder->rows(sample);
        QVERIFY(takeSample(main->main, 0, int(questions.size())));
        const QString first = shownResult();
        QVERIFY(takeSample(main->main, 2, int(questions.size())));
        const QString second = shownResult();
        QVERIFY(first != second);
        QVERIFY2(messages->texts().isEmpty(), qPrintable(messages->texts().join(u'\n')));
        QCOMPARE(folder->read(QStringLiteral("test.mdb")), bank);

        const QList<Results::Record> records = stored(folder);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(0).resultText, second);
        QCOMPARE(records.at(1).resultText, first);
        QCOMPARE(records.at(0).total, QStringLiteral("42"));
        QCOMPARE(records.at(1).total, QStringLiteral("13"));
        for (const Results::Record &r : records) {
            QCOMPARE(r.test, sample);
            QCOMPARE(r.category, category);
            QCOMPARE(r.answers.size(), questions.size());
        }
        // Question text, option text and score as the bank holds them (fields: 题目,
        // then 选项X and 选项X分数 for A to F).
        for (int q = 0; q < questions.size(); ++q) {
            const Results::Answer &c = records.at(0).answers.at(q);
            QCOMPARE(c.question, q + 1);
            QCOMPARE(c.questionText, questions[q][0]);
            QCOMPARE(c.option, QStringLiteral("C"));
            QCOMPARE(c.optionText, questions[q][5]);
            QCOMPARE(c.score, questions[q][6]);
            QCOMPARE(records.at(1).answers.at(q).option, QStringLiteral("A"));
        }

        // A record of another test, so that the filter has something to leave out.
        Results::Record other;
        other.takenAt = QDateTime::currentDateTime().addDays(-1);
        other.test = QStringLiteral("别的测试");
        other.total = QStringLiteral("7");
        other.resultText = QStringLiteral("    你的得分是7。");
        QVERIFY(!Results::History(folder->file(QStringLiteral("results.db"))).append(&other));

        (*main)->mnuHistory->trigger();
        frmHistory *history = Forms::find<frmHistory>();
        QVERIFY(history);
        QVERIFY(history->Visible());
        QCOMPARE(history->List1->model()->rowCount(), 3);
        QCOMPARE(cell(history, 0, 2), QStringLiteral("42"));
        QCOMPARE(cell(history, 1, 2), QStringLiteral("13"));
        QCOMPARE(cell(history, 2, 1), other.test);
        // The newest is selected: its page, and the chart of both totals, oldest first.
        QVERIFY(history->Text1->toPlainText().contains(second));
        QVERIFY(history->Text1->toPlainText().contains(questions[0][0]));
        QLineSeries *series = history->totalsSeries();
        QVERIFY(series);
        QCOMPARE(series->count(), 2);
        QCOMPARE(series->at(0).y(), 13.0);
        QCOMPARE(series->at(1).y(), 42.0);

        // A test taken once has no chart.
        history->List1->setCurrentIndex(history->List1->model()->index(2, 0));
        QVERIFY(!history->totalsSeries());
        QVERIFY(history->Label2->isVisible());
        QVERIFY(history->Label2->text().contains(other.test));

        // Filtered to one test, and back.
        history->Combo1->setCurrentIndex(history->Combo1->findText(sample));
        QCOMPARE(history->List1->model()->rowCount(), 2);
        QCOMPARE(history->shownCount(), 2);
        QVERIFY(history->totalsSeries());

        // CSV of the shown records (the filtered two).
        ScriptedFileDialog dialogs;
        const QString csv = folder->file(QStringLiteral("导出.csv"));
        dialogs.choose(csv);
        press(history, u"导出CSV");
        QCOMPARE(dialogs.shown().size(), 1);
        QVERIFY(dialogs.shown().constFirst().save);
        const QByteArray bytes = folder->read(QStringLiteral("导出.csv"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString table = QString::fromUtf8(bytes.mid(3));
        QCOMPARE(table.count(QStringLiteral("\r\n")), 3);
        QVERIFY(table.contains(sample));
        QVERIFY(table.contains(records.at(0).evaluation));
        QVERIFY(!table.contains(other.test));

        // The selected record (the newest) as PDF, saved and printed.
        const QString pdf = folder->file(QStringLiteral("记录.pdf"));
        dialogs.choose(pdf);
        press(history, u"存为PDF");
        ScriptedPrintDialog printer;
        const QString printed = folder->file(QStringLiteral("打印.pdf"));
        printer.printTo(printed);
        press(history, u"打印");
        QCOMPARE(printer.shown(), 1);
        for (const QString &file : { pdf, printed }) {
            const QString text = pdfText(file);
            QVERIFY2(text.contains(squeezed(second)), qPrintable(text));
            QVERIFY(text.contains(squeezed(sample)));
            QVERIFY(text.contains(squeezed(ResultDocument::dateText(records.at(0).takenAt))));
            QVERIFY(text.contains(squeezed(questions[0][0])));
        }
        QVERIFY2(messages->texts().isEmpty(), qPrintable(messages->texts().join(u'\n')));
    }

    // A test finished while the window is open joins its list when the list shows that
    // test; the selected record stays selected, and the chart counts the new total.
    void finishedTestJoinsAnOpenWindow_data()
    {
        QTest::addColumn<QString>("filter"); // empty: 全部测试
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after"); // totals of the list, top down
        QTest::addColumn<int>("charted"); // points in the chart afterwards, 0 for none
        QTest::newRow("all tests") << QString() << QStringList { u"7"_s, u"5"_s }
                                   << QStringList { u"13"_s, u"7"_s, u"5"_s } << 0;
        QTest::newRow("the test taken")
            << sample << QStringList { u"5"_s } << QStringList { u"13"_s, u"5"_s } << 2;
        QTest::newRow("another test")
            << u"别的测试"_s << QStringList { u"7"_s } << QStringList { u"7"_s } << 0;
    }

    void finishedTestJoinsAnOpenWindow()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, charted);
        const Results::History file(folder->file(QStringLiteral("results.db")));
        for (const auto &[test, total, days] :
            { std::tuple { sample, u"5"_s, -2 }, std::tuple { u"别的测试"_s, u"7"_s, -1 } }) {
            Results::Record r;
            r.takenAt = QDateTime::currentDateTime().addDays(days);
            r.test = test;
            r.total = total;
            QVERIFY(!file.append(&r));
        }
        (*main)->mnuHistory_Click();
        frmHistory *history = Forms::find<frmHistory>();
        QVERIFY(history);
        if (!filter.isEmpty())
            history->Combo1->setCurrentIndex(history->Combo1->findText(filter));
        const auto totals = [history] {
            QStringList out;
            for (int row = 0; row < history->List1->model()->rowCount(); ++row)
                out << cell(history, row, 2);
            return out;
        };
        QCOMPARE(totals(), before);
        const qint64 selected = history->selectedRecord()->id;

        QVERIFY(takeSample(main->main, 0, int(folder->rows(sample).size())));
        QVERIFY(Forms::find<frmHistory>() == history);
        QCOMPARE(totals(), after);
        QCOMPARE(history->shownCount(), after.size());
        QVERIFY(history->selectedRecord());
        QCOMPARE(history->selectedRecord()->id, selected);
        QCOMPARE(history->Combo1->currentText(), filter.isEmpty() ? u"全部测试"_s : filter);
        QVERIFY(history->Combo1->findText(sample) > 0);
        QLineSeries *series = history->totalsSeries();
        QCOMPARE(series ? series->count() : 0, charted);
        QCOMPARE(stored(folder).size(), 3);
        QVERIFY2(messages->texts().isEmpty(), qPrintable(messages->texts().join(u'\n')));
    }

    // Who took it: not asked until switched on; then asked before the first question,
    // kept, listed, filtered and exported; a cancel starts no test.
    void takerAskedWhenSwitchedOn()
    {
        const int questions = int(folder->rows(sample).size());
        ScriptedInputs inputs;
        QVERIFY(takeSample(main->main, 0, questions));
        QVERIFY(inputs.prompts().isEmpty());
        QVERIFY(!main->main->mnuAskTaker->isChecked());

        main->main->mnuAskTaker->trigger();
        QVERIFY(Taker::asking());
        inputs.answer(QStringLiteral("  小王 "));
        QVERIFY(takeSample(main->main, 1, questions));
        QCOMPARE(inputs.prompts().size(), 1);
        QVERIFY(inputs.prompts().constFirst().contains(sample));
        inputs.answer(QStringLiteral("=A1"));
        QVERIFY(takeSample(main->main, 2, questions));
        inputs.cancel();
        QVERIFY(!takeSample(main->main, 2, questions));
        settle();
        QVERIFY(!Forms::find<frmTest>());

        const QList<Results::Record> records = stored(folder);
        QCOMPARE(records.size(), 3);
        QCOMPARE(records.at(0).taker, QStringLiteral("=A1"));
        QCOMPARE(records.at(1).taker, QStringLiteral("小王"));
        QCOMPARE(records.at(2).taker, QString());
        // All three scored on the same version of the sample, with their band.
        QVERIFY(!records.at(0).version.isEmpty());
        QCOMPARE(records.at(2).version, records.at(0).version);
        QVERIFY(records.at(0).band > 0);
        QCOMPARE(QFileInfo(records.at(0).bank), QFileInfo(folder->bank()));

        (*main)->mnuHistory_Click();
        frmHistory *history = Forms::find<frmHistory>();
        QVERIFY(history);
        QCOMPARE(cell(history, 1, 4), QStringLiteral("小王"));
        history->Combo2->setCurrentIndex(history->Combo2->findText(QStringLiteral("小王")));
        QCOMPARE(history->shownCount(), 1);
        QVERIFY(history->Text1->toPlainText().contains(QStringLiteral("测试者：小王")));
        ScriptedFileDialog dialogs;
        dialogs.choose(folder->file(QStringLiteral("小王.csv")));
        press(history, u"导出CSV");
        const QString table = QString::fromUtf8(folder->read(QStringLiteral("小王.csv")));
        QCOMPARE(table.count(QStringLiteral("\r\n")), 2);
        QVERIFY(table.contains(QStringLiteral(",小王,")));
        // 全部删除 under the filter names whose records go (and keeps them on 否).
        press(history, u"全部删除");
        QCOMPARE(messages->texts(),
            QStringList {
                QStringLiteral("确实要删除测试者“小王”的1条测试记录吗？删除后不能恢复。") });
        messages->clear();
        QCOMPARE(stored(folder).size(), 3);

        // The chart pools versions only when asked: a record of another version is
        // left out of it until then.
        history->Combo2->setCurrentIndex(0);
        Results::Record older = records.at(2);
        older.version = QStringLiteral("0123456789abcdef");
        older.takenAt = older.takenAt.addDays(-1);
        QVERIFY(!Results::History(folder->file(QStringLiteral("results.db"))).append(&older));
        history->Refresh();
        history->List1->setCurrentIndex(history->List1->model()->index(0, 0));
        QCOMPARE(history->totalsSeries()->count(), 3);
        history->Check1->setChecked(true);
        QCOMPARE(history->totalsSeries()->count(), 4);

        main->main->mnuAskTaker->trigger();
        QVERIFY(!Taker::asking());
        QVERIFY2(messages->texts().isEmpty(), qPrintable(messages->texts().join(u'\n')));
    }

    // Deleting asks first: No keeps the record, Yes removes it from the file and the
    // list; 全部删除 removes the shown ones only.
    void deletesAfterAQuestion()
    {
        const Results::History file(folder->file(QStringLiteral("results.db")));
        const QStringList tests { QStringLiteral("甲"), QStringLiteral("乙"),
            QStringLiteral("甲") };
        for (int i = 0; i < tests.size(); ++i) {
            Results::Record r;
            r.takenAt = QDateTime::currentDateTime().addSecs(i);
            r.test = tests[i];
            r.total = QString::number(i);
            QVERIFY(!file.append(&r));
        }
        (*main)->mnuHistory_Click();
        frmHistory *history = Forms::find<frmHistory>();
        QVERIFY(history);
        QCOMPARE(history->List1->model()->rowCount(), 3);

        messages->answer(MsgAnswer::No);
        press(history, u"删除");
        QCOMPARE(messages->shown().size(), 1);
        QCOMPARE(messages->shown().constFirst().style, MsgStyle::Question);
        QCOMPARE(file.records().size(), 3);

        // The newest (甲, total 2) is selected.
        messages->answer(MsgAnswer::Yes);
        press(history, u"删除");
        QList<Results::Record> left = file.records();
        QCOMPARE(left.size(), 2);
        QCOMPARE(left.at(0).total, QStringLiteral("1"));
        QCOMPARE(history->List1->model()->rowCount(), 2);

        history->Combo1->setCurrentIndex(history->Combo1->findText(QStringLiteral("乙")));
        messages->answer(MsgAnswer::Yes);
        press(history, u"全部删除");
        QVERIFY(messages->last().contains(QStringLiteral("乙")));
        left = file.records();
        QCOMPARE(left.size(), 1);
        QCOMPARE(left.at(0).test, QStringLiteral("甲"));
        // 乙 is gone from the chooser too; all tests are shown again.
        QCOMPARE(history->Combo1->findText(QStringLiteral("乙")), -1);
        QCOMPARE(history->List1->model()->rowCount(), 1);
        QVERIFY(!history->Command4->isEnabled() || history->List1->currentIndex().isValid());

        // Esc leaves the window.
        history->List1->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        settle();
        QVERIFY(!Forms::find<frmHistory>());
    }

    // A history that cannot be written: the result window shows as always, then one
    // message; the bank untouched. A damaged history is set aside (kept whole under
    // results.db.damaged, said once) and the result kept in a new one.
    void unwritableHistoryStillShowsTheResult_data()
    {
        QTest::addColumn<bool>("folderInPlace");
        QTest::newRow("damaged file") << false;
        QTest::newRow("a folder in its place") << true;
    }

    void unwritableHistoryStillShowsTheResult()
    {
        QFETCH(bool, folderInPlace);
        const QByteArray garbage(2048, '#');
        if (folderInPlace)
            QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("results.db")));
        else
            folder->write(QStringLiteral("results.db"), garbage);
        const QByteArray bank = folder->read(QStringLiteral("test.mdb"));

        QVERIFY(takeSample(main->main, 1, int(folder->rows(sample).size())));
        QCOMPARE(shownResult(),
            QStringLiteral("    你的得分是23。")
                + folder->rows(BankNames::scoringTable(sample)).at(0).at(2));
        QVERIFY(Forms::find<frmResult>()->Visible());
        settle();
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY(messages->last().contains(QStringLiteral("results.db")));
        if (folderInPlace) {
            QVERIFY(messages->last().contains(QStringLiteral("没能保存到测试记录")));
        } else {
            QVERIFY2(messages->last().contains(QStringLiteral("results.db.damaged")),
                qPrintable(messages->last()));
            QCOMPARE(folder->read(QStringLiteral("results.db.damaged")), garbage);
            QCOMPARE(stored(folder).size(), 1);
        }
        QCOMPARE(folder->read(QStringLiteral("test.mdb")), bank);
    }

    // The result window's page, by its keys and by the text's context menu: the test,
    // the date, the result text as shown and the answers.
    void resultWindowPrintsAndSaves_data()
    {
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Ctrl+S") << false << false;
        QTest::newRow("Ctrl+P") << true << false;
        QTest::newRow("menu 存为PDF") << false << true;
        QTest::newRow("menu 打印") << true << true;
    }

    void resultWindowPrintsAndSaves()
    {
        QFETCH(bool, print);
        QFETCH(bool, byMenu);
        const QList<QStringList> questions = folder->rows(sample);
        QVERIFY(takeSample(main->main, 3, int(questions.size())));
        frmResult *result = Forms::find<frmResult>();
        const QString text = result->Text1->toPlainText();
        QVERIFY(result->isAncestorOf(QApplication::focusWidget()));

        const QString pdf = folder->file(QStringLiteral("结果.pdf"));
        ScriptedFileDialog dialogs;
        ScriptedPrintDialog printer;
        print ? printer.printTo(pdf) : dialogs.choose(pdf);
        if (byMenu) {
            std::unique_ptr<QMenu> menu(result->textMenu());
            QVERIFY(menu->actions().contains(result->mnuPrint));
            QVERIFY(menu->actions().contains(result->mnuSavePdf));
            (print ? result->mnuPrint : result->mnuSavePdf)->trigger();
        } else {
            QTest::keyClick(
                QApplication::focusWidget(), print ? Qt::Key_P : Qt::Key_S, Qt::ControlModifier);
        }
        QCOMPARE(printer.shown(), print ? 1 : 0);
        QCOMPARE(dialogs.shown().size(), print ? 0 : 1);

        const QString page = pdfText(pdf);
        QVERIFY2(page.contains(squeezed(text)), qPrintable(page));
        QVERIFY(page.contains(sample));
        QVERIFY(page.contains(squeezed(ResultDocument::dateText(result->record().takenAt))));
        QVERIFY(page.contains(squeezed(questions.last()[0])));
        QVERIFY(page.contains(squeezed(questions.last()[7])));
        QVERIFY(messages->texts().isEmpty());
    }
};

QTEST_MAIN(tst_frmHistory)
#include "tst_frmHistory.moc"
