// A user's Access 2000 test.mdb dropped into the program folder, met by the windows
// that open the bank: converted once with one message, every value as its manifest
// says, its tests taken and edited like any other; a file that cannot be converted
// gets its message in the window.
#include "authoring/frmEdittest.h"
#include "bank/frmAddTest.h"
#include "bank/frmBFEdit.h"
#include "bank/frmFL.h"
#include "base/valuerules.h"
#include "forms/forms.h"
#include "platform/msgbox.h"
#include "runner/frmResult.h"
#include "runner/frmTest.h"
#include "store/catalogue.h"
#include "support/accessbanks.h"
#include "support/bankwindows.h"
#include "support/mainwindow.h"
#include "support/testfolder.h"
#include "support/windowtest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <QTextEdit>

namespace {

const QString kConverted
    = QStringLiteral("已把 Access 2000 格式的题库转换为新格式；原文件保存为 test.mdb.access2000。");

QJsonArray rowsOf(const QJsonObject &manifest, const QString &table)
{
    for (const QJsonValue &t : manifest.value(QLatin1String("tables")).toArray()) {
        if (t.toObject().value(QLatin1String("name")).toString() == table)
            return t.toObject().value(QLatin1String("rows")).toArray();
    }
    return {};
}

QStringList firstColumn(const QJsonArray &rows)
{
    QStringList out;
    for (const QJsonValue &row : rows)
        out << row.toArray().at(0).toString();
    return out;
}

// The window an opener shows, and its category list.
QStringList categoriesShown(const QString &opener, MainWindowFixture &main)
{
    if (opener == QLatin1String("category editor")) {
        main->mnuFL_Click();
        QCoreApplication::processEvents();
        frmFL *w = Forms::find<frmFL>();
        return w ? bankwindows::entries(w->DBList1) : QStringList { "<no window>" };
    }
    if (opener == QLatin1String("new-test dialog")) {
        main->mnuCreatTest_Click();
        QCoreApplication::processEvents();
        frmAddTest *w = Forms::find<frmAddTest>();
        return w ? bankwindows::entries(w->DBCombo1) : QStringList { "<no window>" };
    }
    main->mnuTesting_Click();
    QCoreApplication::processEvents();
    frmBFEdit *w = Forms::find<frmBFEdit>();
    return w ? bankwindows::entries(w->DBCombo1) : QStringList { "<no window>" };
}

// The chooser in the mode of `command`, the test picked and confirmed.
void choose(void (mdiMain::*command)(), MainWindowFixture &main, const QString &category,
    const QString &test)
{
    ((*main.main).*command)();
    QCoreApplication::processEvents();
    QVERIFY(bankwindows::chooseTest(category, test));
    settle();
}

} // namespace

class tst_accessbank : public QObject
{
    Q_OBJECT

private slots:
    // Each fixture met by another of the windows that open the bank.
    void convertedOnFirstOpening_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("opener");
        QTest::newRow("fresh2000, category editor") << "fresh2000"
                                                    << "category editor";
        QTest::newRow("sample2000, chooser") << "sample2000"
                                             << "chooser";
        QTest::newRow("awkward2000, new-test dialog") << "awkward2000"
                                                      << "new-test dialog";
    }

    void convertedOnFirstOpening()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, opener);
        WindowScene scene(TestFolder::NoBank);
        auto &[folder, messages, main] = scene;
        QVERIFY(AccessBanks::copyTo(fixture, folder.bank()));
        const QByteArray original = folder.read(QStringLiteral("test.mdb"));
        const QJsonObject manifest = AccessBanks::manifest(fixture);

        const QStringList shown = categoriesShown(opener, main);
        settle();
        QCOMPARE(messages.texts(), QStringList { kConverted });
        QCOMPARE(shown, firstColumn(rowsOf(manifest, BankNames::categoryList())));
        const QString difference = AccessBanks::compare(folder.bank(), manifest);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(folder.read(QStringLiteral("test.mdb.access2000")), original);

        // Once: the next window finds the converted bank.
        Forms::unloadAll();
        messages.clear();
        categoriesShown(opener, main);
        settle();
        QVERIFY(messages.texts().isEmpty());
    }

    // A converted test taken through the runner: the total and band its manifest
    // implies; then opened in the question editor.
    void convertedTestTakenAndEdited()
    {
        const QString fixture = QStringLiteral("sample2000");
        const QJsonObject manifest = AccessBanks::manifest(fixture);
        const QJsonObject category
            = manifest.value(QLatin1String("categories")).toArray().at(0).toObject();
        const QString categoryName = category.value(QLatin1String("name")).toString();
        const QString test = category.value(QLatin1String("tests"))
                                 .toArray()
                                 .at(1)
                                 .toObject()
                                 .value(QLatin1String("name"))
                                 .toString();
        WindowScene scene(TestFolder::NoBank);
        auto &[folder, messages, main] = scene;
        QVERIFY(AccessBanks::copyTo(fixture, folder.bank()));

        // Every question answered with option B.
        const QJsonArray questions = rowsOf(manifest, test);
        double total = 0;
        for (const QJsonValue &q : questions)
            total += q.toArray().at(4).toDouble();
        QString evaluation;
        for (const QJsonValue &band : rowsOf(manifest, BankNames::scoringTable(test))) {
            const QJsonArray b = band.toArray();
            const float t = float(total);
            if (float(b.at(0).toDouble()) <= t && t <= float(b.at(1).toDouble()))
                evaluation = b.at(2).toString();
        }
        QVERIFY(!evaluation.isEmpty());

        choose(&mdiMain::mnuTesting_Click, main, categoryName, test);
        QCOMPARE(messages.texts(), QStringList { kConverted });
        frmTest *runner = Forms::find<frmTest>();
        QVERIFY(runner);
        QCOMPARE(runner->Label9->text(), QString::number(questions.size()));
        for (qsizetype q = 0; q < questions.size(); ++q)
            QTest::mouseClick(runner->optionLabels()[1], Qt::LeftButton);
        frmResult *result = Forms::find<frmResult>();
        QVERIFY(result);
        QCOMPARE(result->Text1->toPlainText(),
            QStringLiteral("    你的得分是") + doubleText(total) + QStringLiteral("。")
                + evaluation);

        Forms::unloadAll();
        choose(&mdiMain::mnuOpenTest_Click, main, categoryName, test);
        frmEdittest *editor = Forms::find<frmEdittest>();
        QVERIFY(editor);
        QCOMPARE(editor->Text1->toPlainText(), questions.at(0).toArray().at(0).toString());
        QCOMPARE(messages.texts(), QStringList { kConverted });
    }

    // A file that cannot be converted: the window says so, naming the file.
    void unconvertibleFileReported()
    {
        WindowScene scene(TestFolder::NoBank);
        auto &[folder, messages, main] = scene;
        QVERIFY(AccessBanks::copyTo(QStringLiteral("sample2000"), folder.bank()));
        QByteArray bytes = folder.read(QStringLiteral("test.mdb"));
        bytes[0x14] = 0; // an Access 97 file
        folder.write(QStringLiteral("test.mdb"), bytes);
        categoriesShown(QStringLiteral("chooser"), main);
        settle();
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY2(messages.last().contains(QStringLiteral("Access 97"))
                && messages.last().contains(QDir::toNativeSeparators(folder.bank())),
            qPrintable(messages.last()));
        QCOMPARE(folder.read(QStringLiteral("test.mdb")), bytes);
        // Nothing beside it but the chooser's own hand-off file.
        QCOMPARE(QDir(folder.path()).entryList({ QStringLiteral("test.mdb*") }, QDir::Files),
            QStringList { "test.mdb" });
    }
};

QTEST_MAIN(tst_accessbank)
#include "tst_accessbank.moc"
