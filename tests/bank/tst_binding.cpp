// Data binding with real widgets: bound boxes and their changed flags, a refused
// score, the navigation bar, the bound list and combo, unloading, and the shipped
// sample bank as the windows will read it.

#include "binding/DBCombo.h"
#include "binding/DBList.h"
#include "binding/Data.h"
#include "platform/msgbox.h"
#include "store/catalogue.h"
#include "support/testfolder.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// A window with a Data over a scoring table and three boxes bound to it.
struct BandWindow
{
    QWidget window;
    QLineEdit *lower = new QLineEdit(&window);
    QLineEdit *upper = new QLineEdit(&window);
    QTextEdit *text = new QTextEdit(&window);
    QLabel *label = new QLabel(&window);
    Data *data = new Data(&window);

    explicit BandWindow(const TestFolder &folder, const QString &table)
    {
        lower->setObjectName(u"Text1"_s);
        data->bind(lower, u"分数下限"_s);
        data->bind(upper, u"分数上限"_s);
        data->bind(text, u"评价"_s);
        data->bind(label, u"评价"_s);
        data->setDatabaseName(folder.bank());
        data->setRecordSource(table);
        window.resize(400, 300);
        lower->setGeometry(0, 0, 100, 24);
        data->setGeometry(0, 250, 300, 30);
        window.show();
    }
    Recordset &rs() { return data->recordset(); }
};

QList<QToolButton *> barButtons(Data *data)
{
    return data->findChildren<QToolButton *>();
}

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class tst_binding : public QObject
{
    Q_OBJECT

private slots:
    void boxesShowTheRecordAndFlagRealChanges();
    void refusedScoreStaysAsTyped();
    void navigationBarStopsAtTheEnds();
    void unboundAndBrokenBanks();
    void listShowsEveryRowAndReportsPicks();
    void comboKeepsItsChoiceAcrossReloads();
    void unloadingCommitsEveryData();
    void sampleBankIsAWholeTest();
};

void tst_binding::boxesShowTheRecordAndFlagRealChanges()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"0"_s, u"59.5"_s, u"差"_s }, { u"60"_s, QString(), u"好"_s } });
    BandWindow w(folder, u"T评分"_s);
    QVERIFY(!w.data->Refresh());

    QCOMPARE(w.upper->text(), u"59.5"_s);
    QCOMPARE(w.text->toPlainText(), u"差"_s);
    QCOMPARE(w.label->text(), u"差"_s);
    for (QWidget *box :
        { (QWidget *)w.lower, (QWidget *)w.upper, (QWidget *)w.text, (QWidget *)w.label })
        QVERIFY(!w.data->DataChanged(box));

    // Typing, the window's own setText, and a label's new text are changes.
    w.lower->setFocus();
    QTest::keyClicks(w.lower, u"5"_s); // at the start: the box shows a record from its start
    QVERIFY(w.data->DataChanged(w.lower));
    w.upper->setText(u"59.5"_s); // the text it holds: no change
    QVERIFY(!w.data->DataChanged(w.upper));
    w.text->setPlainText(u"很差"_s);
    QVERIFY(w.data->DataChanged(w.text));

    // Landing on the next record shows it and clears the flags; empty shows empty.
    QVERIFY(!w.rs().MoveNext());
    QCOMPARE(w.upper->text(), QString());
    QCOMPARE(w.text->toPlainText(), u"好"_s);
    QVERIFY(!w.data->DataChanged(w.lower));
    QVERIFY(!w.data->DataChanged(w.text));
    // The label bound to the same field did not change, so only the box is written.
    QCOMPARE(folder.rows(u"T评分"_s).first(), (QStringList { u"50"_s, u"59.5"_s, u"很差"_s }));

    // Add-new empties every box; leaving the record set before the first shows nothing.
    QVERIFY(!w.rs().AddNew());
    QCOMPARE(w.lower->text(), QString());
    QCOMPARE(w.label->text(), QString());
    QVERIFY(!w.rs().MoveFirst());
    QVERIFY(!w.rs().MovePrevious());
    QCOMPARE(w.text->toPlainText(), QString());
    QCOMPARE(folder.rows(u"T评分"_s).size(), 2);

    // A label set by the window counts as changed.
    QVERIFY(!w.rs().MoveNext());
    w.label->setText(u"标签写的"_s);
    QVERIFY(w.data->DataChanged(w.label));
    QVERIFY(!w.rs().Update());
    QCOMPARE(folder.rows(u"T评分"_s).first().at(2), u"标签写的"_s);
    QCOMPARE(w.text->toPlainText(), u"标签写的"_s);
}

void tst_binding::refusedScoreStaysAsTyped()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"0"_s, u"10"_s, u"一"_s }, { u"11"_s, u"20"_s, u"二"_s } });
    BandWindow w(folder, u"T评分"_s);
    QVERIFY(!w.data->Refresh());

    w.lower->setFocus();
    w.lower->selectAll();
    QTest::keyClicks(w.lower, u"1.2.3"_s);
    w.text->setPlainText(u"改了"_s);
    const StoreError e = w.rs().MoveNext();
    QCOMPARE(e.number(), int(StoreError::NotANumber));
    QCOMPARE(w.data->boundControl(e.field()), w.lower);
    QCOMPARE(w.data->boundControl(e.field())->objectName(), u"Text1"_s);
    QVERIFY(e.message().contains(u"1.2.3"_s));
    // Still on the record, every box as typed, nothing written.
    QCOMPARE(w.rs().AbsolutePosition(), 0);
    QCOMPARE(w.lower->text(), u"1.2.3"_s);
    QCOMPARE(w.text->toPlainText(), u"改了"_s);
    QVERIFY(w.data->DataChanged(w.lower));
    QCOMPARE(folder.rows(u"T评分"_s).first(), (QStringList { u"0"_s, u"10"_s, u"一"_s }));

    // Mended with the keys, the move goes through with both changes.
    QTest::keyClick(w.lower, Qt::Key_End);
    QTest::keyClick(w.lower, Qt::Key_Backspace);
    QTest::keyClick(w.lower, Qt::Key_Backspace);
    QVERIFY(!w.rs().MoveNext());
    QCOMPARE(folder.rows(u"T评分"_s).first(), (QStringList { u"1.2"_s, u"10"_s, u"改了"_s }));
}

void tst_binding::navigationBarStopsAtTheEnds()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"1"_s }, { u"2"_s }, { u"3"_s } });
    BandWindow w(folder, u"T评分"_s);
    QVERIFY(!w.data->Refresh());
    const QList<QToolButton *> bar = barButtons(w.data);
    QCOMPARE(bar.size(), 4); // first, previous, next, last
    QSignalSpy moved(w.data, &Data::Reposition);

    QTest::mouseClick(bar[1], Qt::LeftButton);
    QCOMPARE(w.rs().AbsolutePosition(), 0);
    QTest::mouseClick(bar[3], Qt::LeftButton);
    QCOMPARE(w.lower->text(), u"3"_s);
    QTest::mouseClick(bar[2], Qt::LeftButton);
    QCOMPARE(w.rs().AbsolutePosition(), 2);
    QTest::mouseClick(bar[0], Qt::LeftButton);
    QTest::mouseClick(bar[2], Qt::LeftButton);
    QCOMPARE(w.lower->text(), u"2"_s);
    QVERIFY(moved.count() >= 5);

    // A refused score from the bar: one message naming the field and the text.
    ScriptedMessages messages;
    QSignalSpy failed(w.data, &Data::navigationFailed);
    w.lower->setText(u"abc"_s);
    QTest::mouseClick(bar[2], Qt::LeftButton);
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.last().contains(u"分数下限"_s) && messages.last().contains(u"abc"_s));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(w.rs().AbsolutePosition(), 1);
    QCOMPARE(w.lower->text(), u"abc"_s);
}

void tst_binding::unboundAndBrokenBanks()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"1"_s } });
    BandWindow w(folder, u"T评分"_s);
    // Before Refresh, nothing is open: every operation says so.
    QCOMPARE(w.rs().MoveNext().number(), int(StoreError::NotOpen));
    QVERIFY(!w.data->Refresh());
    QCOMPARE(w.lower->text(), u"1"_s);

    // Released with an empty source: the boxes empty, the table can be dropped.
    w.data->setRecordSource(QString());
    QVERIFY(!w.data->Refresh());
    QVERIFY(!w.rs().isOpen());
    QCOMPARE(w.lower->text(), QString());
    QVERIFY(!Catalogue::deleteTest(folder.bank(), u"T"_s, u"类"_s));

    // A table that is gone, and a bank that is gone.
    w.data->setRecordSource(u"T评分"_s);
    QCOMPARE(w.data->Refresh().number(), int(StoreError::NoSuchTable));
    TestFolder empty(TestFolder::NoBank);
    w.data->setDatabaseName(empty.bank());
    w.data->setRecordSource(u"分类列表"_s);
    const StoreError e = w.data->Refresh();
    QCOMPARE(e.number(), int(StoreError::BankMissing));
    QVERIFY(e.message().contains(u"test.mdb"_s));
    QVERIFY(!QFile::exists(empty.bank()));
}

void tst_binding::listShowsEveryRowAndReportsPicks()
{
    TestFolder folder;
    for (const QString &c : { u"乙"_s, u"甲"_s, u"丙"_s })
        folder.addCategory(c);
    QWidget window;
    auto *data = new Data(&window);
    data->hide();
    auto *name = new QLineEdit(&window);
    name->hide();
    data->bind(name, u"分类"_s);
    auto *list = new DBList(&window);
    list->setGeometry(0, 0, 200, 200);
    list->setRowSource(data, u"分类"_s);
    data->setDatabaseName(folder.bank());
    data->setRecordSource(u"分类列表"_s);
    QVERIFY(!data->Refresh());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(entries(list), (QStringList { u"乙"_s, u"甲"_s, u"丙"_s })); // stored order
    QCOMPARE(list->Text(), QString());

    QSignalSpy clicks(list, &DBList::Click);
    QSignalSpy doubles(list, &DBList::DblClick);
    const QPoint second = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(list->Text(), u"甲"_s);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(doubles.count(), 1);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->Text(), u"丙"_s);
    QCOMPARE(clicks.count(), 2);

    // A row written the windows' way (add-new, set the hidden box, refresh) shows last;
    // reading again clears the pick.
    QVERIFY(!data->recordset().AddNew());
    name->setText(u"丁"_s);
    QVERIFY(!data->Refresh());
    QCOMPARE(entries(list), (QStringList { u"乙"_s, u"甲"_s, u"丙"_s, u"丁"_s }));
    QCOMPARE(list->Text(), QString());
    // Deleting through the record set updates the list at once.
    QVERIFY(!data->recordset().FindFirst(u"分类"_s, u"甲"_s));
    QVERIFY(!data->recordset().Delete());
    QCOMPARE(entries(list), (QStringList { u"乙"_s, u"丙"_s, u"丁"_s }));
}

void tst_binding::comboKeepsItsChoiceAcrossReloads()
{
    TestFolder folder;
    for (const QString &c : { u"A"_s, u"B"_s, u"C"_s })
        folder.addCategory(c);
    QWidget window;
    auto *data = new Data(&window);
    auto *combo = new DBCombo(&window);
    combo->setRowSource(data, u"分类"_s);
    data->setDatabaseName(folder.bank());
    data->setRecordSource(u"分类列表"_s);
    QVERIFY(!data->Refresh());
    window.show();

    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->Text(), QString());
    QSignalSpy changes(combo, &DBCombo::Change);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->Text(), u"A"_s);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->Text(), u"B"_s);
    QCOMPARE(changes.count(), 2);

    // Reading again keeps B; a B that is gone leaves nothing chosen.
    QVERIFY(!data->Refresh());
    QCOMPARE(combo->Text(), u"B"_s);
    QCOMPARE(changes.count(), 2);
    QVERIFY(!data->recordset().FindFirst(u"分类"_s, u"B"_s));
    QVERIFY(!data->recordset().Delete());
    QCOMPARE(combo->Text(), QString());
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(changes.count(), 3);
    combo->setText(u"C"_s);
    QCOMPARE(combo->Text(), u"C"_s);
    combo->setText(u"没有"_s);
    QCOMPARE(combo->Text(), QString());
}

void tst_binding::unloadingCommitsEveryData()
{
    TestFolder folder;
    folder.addTest(u"类"_s, u"T"_s);
    folder.addRows(u"T评分"_s, { { u"1"_s, u"2"_s, u"旧"_s } });
    auto *w = new BandWindow(folder, u"T评分"_s);
    auto *second = new Data(&w->window);
    auto *box = new QLineEdit(&w->window);
    second->bind(box, u"分类"_s);
    second->setDatabaseName(folder.bank());
    second->setRecordSource(u"分类列表"_s);
    QVERIFY(!w->data->Refresh());
    QVERIFY(!second->Refresh());

    w->text->setPlainText(u"新"_s);
    QVERIFY(!second->recordset().AddNew());
    box->setText(u"新类"_s);
    QVERIFY(!Data::UnloadAll(&w->window));
    QVERIFY(!w->rs().isOpen());
    QCOMPARE(folder.rows(u"T评分"_s).first().at(2), u"新"_s);
    QCOMPARE(folder.rows(u"分类列表"_s).last(), QStringList { u"新类"_s });

    // A refusal is reported, and the window can still go.
    QVERIFY(!w->data->Refresh());
    w->lower->setText(u"x"_s);
    QCOMPARE(Data::UnloadAll(&w->window).number(), int(StoreError::NotANumber));
    QVERIFY(!w->rs().isOpen());
    delete w;
    QCOMPARE(folder.rows(u"T评分"_s).first().at(0), u"1"_s);
}

void tst_binding::sampleBankIsAWholeTest()
{
    TestFolder folder(TestFolder::SampleBank);
    QWidget window;
    auto *categories = new Data(&window);
    auto *combo = new DBCombo(&window);
    combo->setRowSource(categories, u"分类"_s);
    categories->setDatabaseName(folder.bank());
    categories->setRecordSource(BankNames::categoryList());
    QVERIFY(!categories->Refresh());
    QCOMPARE(combo->count(), 1);
    const QString category = combo->itemText(0);
    const QList<QStringList> tests = folder.rows(category);
    QCOMPARE(tests.size(), 1);
    const QString test = tests.first().first();

    QStringList fields;
    for (const FieldDef &f : Catalogue::fields(folder.bank(), test))
        fields << f.name;
    QCOMPARE(fields.size(), 13);
    QCOMPARE(fields, [&] {
        QStringList want { BankNames::questionField() };
        for (int i = 0; i < 6; ++i)
            want << BankNames::optionField(i) << BankNames::scoreField(i);
        return want;
    }());

    // Every total a taker can reach lies in exactly one band (bounds inclusive, as singles).
    const QList<QStringList> questions = folder.rows(test);
    QVERIFY(questions.size() >= 10 && questions.size() <= 15);
    std::set<double> totals { 0 };
    for (const QStringList &q : questions) {
        QVERIFY(!q[0].trimmed().isEmpty());
        std::set<double> next;
        int offered = 0;
        for (int i = 0; i < 6; ++i) {
            const QString option = q[1 + 2 * i];
            const QString score = q[2 + 2 * i];
            if (option == u" "_s || option.isEmpty()) {
                QCOMPARE(option, u" "_s); // stored as the editor stores an empty option
                QVERIFY(score.isEmpty());
                continue;
            }
            ++offered;
            bool ok = false;
            const double s = score.toDouble(&ok);
            QVERIFY2(ok, qPrintable(q[0]));
            for (double t : totals)
                next.insert(t + s);
        }
        QVERIFY2(offered >= 4 && offered <= 6, qPrintable(q[0]));
        totals = next;
    }
    const QList<QStringList> bands = folder.rows(BankNames::scoringTable(test));
    QVERIFY(bands.size() >= 3 && bands.size() <= 5);
    for (double t : totals) {
        int holding = 0;
        for (const QStringList &b : bands) {
            const float total = float(t), low = b[0].toFloat(), high = b[1].toFloat();
            if (low <= total && total <= high)
                ++holding;
            QVERIFY(!b[2].trimmed().isEmpty());
        }
        QVERIFY2(holding == 1, qPrintable(u"total %1 in %2 bands"_s.arg(t).arg(holding)));
    }
}

QTEST_MAIN(tst_binding)
#include "tst_binding.moc"
