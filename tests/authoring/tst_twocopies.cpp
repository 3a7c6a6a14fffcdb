// Another copy of the program on the same bank, and a bank deleted or replaced under
// the running program. The other copy is a second SQLite connection to the file, as a
// second process would have; this copy is the real question editor.
#include "support/editorsteps.h"
#include "support/windowtest.h"

#include "base/currentbank.h"
#include "binding/Data.h"
#include "binding/unsaved.h"
#include "platform/msgbox.h"
#include "store/bankfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace editorsteps;

namespace {

const QString kTest = QStringLiteral("T");
const QString kOther = QStringLiteral("另一个 Qelvi");
const QString kGone = QStringLiteral("当前记录已经被删除。");

// Runs one statement as the other copy of the program would.
bool otherCopy(const QString &bank, const QString &sql)
{
    const QString name = QStringLiteral("other-copy");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(bank);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                qWarning() << q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

qsizetype countContaining(const QStringList &texts, const QString &part)
{
    return std::count_if(
        texts.cbegin(), texts.cend(), [&](const QString &t) { return t.contains(part); });
}

} // namespace

class tst_twocopies : public WindowTest
{
    Q_OBJECT

private slots:
    void otherCopyChangedTheQuestion_data();
    void otherCopyChangedTheQuestion();
    void keptForTheNextStart_data();
    void keptForTheNextStart();
    void rowsRenumberedByVacuum_data();
    void rowsRenumberedByVacuum();
    void bankDeletedOrReplaced_data();
    void bankDeletedOrReplaced();
};

// The first question is edited here while the other copy changes the same field,
// another field, or deletes the question. Whichever way the editor is left, the user
// is asked once when the two clash, the answer is what the bank keeps, and the editor
// can be closed afterwards. A program that must end now (a logout) asks nobody, stores
// no question twice and loses neither text.
void tst_twocopies::otherCopyChangedTheQuestion_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("keep"); // the answer: keep my text, store it as a new one

    const QStringList others { "nothing", "same field", "other field", "deleted" };
    const QStringList ways { "下一题", "完成", "close box", "main close", "logout" };
    for (const QString &other : others) {
        for (const QString &way : ways) {
            const bool asked = (other == "same field" || other == "deleted") && way != "logout";
            for (const bool keep : { true, false }) {
                if (!asked && !keep)
                    continue;
                QTest::addRow("%s, %s%s", qPrintable(other), qPrintable(way),
                    asked ? (keep ? ", keep mine" : ", take theirs") : "")
                    << other << way << keep;
            }
        }
    }
}

void tst_twocopies::otherCopyChangedTheQuestion()
{
    QFETCH(QString, other);
    QFETCH(QString, way);
    QFETCH(bool, keep);

    folder->addTest(QStringLiteral("情商"), kTest);
    folder->addRows(kTest, questions(2));
    frmEdittest *w = openEditor(*main, kTest);
    QVERIFY(w);
    QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1"));
    type(w->Text1, QStringLiteral("我改的题"));

    const QString first = QStringLiteral("(SELECT min(rowid) FROM \"T\")");
    if (other == "same field")
        QVERIFY(otherCopy(folder->bank(),
            QStringLiteral("UPDATE \"T\" SET \"题目\" = '他改的题' WHERE rowid = ") + first));
    else if (other == "other field")
        QVERIFY(otherCopy(folder->bank(),
            QStringLiteral("UPDATE \"T\" SET \"选项A\" = '他的A' WHERE rowid = ") + first));
    else if (other == "deleted")
        QVERIFY(
            otherCopy(folder->bank(), QStringLiteral("DELETE FROM \"T\" WHERE rowid = ") + first));

    const bool asked = (other == "same field" || other == "deleted") && way != "logout";
    if (asked)
        messages->answer(keep ? MsgAnswer::Yes : MsgAnswer::No);
    if (way == "下一题")
        press(w, u"下一题");
    else if (way == "完成")
        press(w, u"完成");
    else if (way == "close box")
        w->subWindow()->close();
    else if (way == "main close")
        QVERIFY((*main)->close());
    else
        QVERIFY(!w->Data1->commitStorable());
    settle();
    // Never held: the editor closes at once now, without another question.
    if (Forms::find<frmEdittest>())
        press(w, u"完成");
    settle();
    QVERIFY(!Forms::find<frmEdittest>());

    const QStringList texts = messages->texts();
    QCOMPARE(countContaining(texts, kOther), asked ? 1 : 0);
    QCOMPARE(countContaining(texts, kGone), asked && other == "deleted" ? 1 : 0);
    if (asked && other == "same field") {
        QVERIFY(texts.first().contains(QStringLiteral("他改的题")));
        QVERIFY(texts.first().contains(QStringLiteral("我改的题")));
    }

    const QString mine = QStringLiteral("我改的题");
    const QString theirs = QStringLiteral("他改的题");
    QStringList expected;
    if (other == "nothing" || other == "other field")
        expected = { mine, "题2" };
    else if (other == "same field")
        expected = way == "logout" || !keep ? QStringList { theirs, "题2" }
                                            : QStringList { mine, "题2" };
    else
        expected = keep ? QStringList { "题2", mine } : QStringList { "题2" };
    const QList<QStringList> rows = folder->rows(kTest);
    QCOMPARE(firsts(rows), expected);
    if (other == "other field")
        QCOMPARE(rows.first().at(1), QStringLiteral("他的A")); // both edits merged
    if (expected.last() == mine && expected.size() > 2)
        QCOMPARE(rows.last().at(1), QStringLiteral("题1A")); // the whole question kept

    // Unattended, a changed question keeps the stored text; this copy's text waits in a
    // file beside the bank, named once at the next start. Nothing else goes there.
    const bool setAside = other == "same field" && way == "logout";
    const QString unsaved = Unsaved::filePath(folder->bank());
    QCOMPARE(QFileInfo::exists(unsaved), setAside);
    const QString notice = Unsaved::takeNotice(folder->bank());
    QCOMPARE(notice.isEmpty(), !setAside);
    if (setAside) {
        const QString kept = QString::fromUtf8(folder->read(QFileInfo(unsaved).fileName()));
        QVERIFY2(kept.contains(mine) && kept.contains(theirs), qPrintable(kept));
        QVERIFY2(notice.contains(QDir::toNativeSeparators(unsaved)), qPrintable(notice));
        QCOMPARE(Unsaved::takeNotice(folder->bank()), QString());
    }
}

// The texts a clash left unstored go beside the bank file, and for a server bank, which
// has no folder, into the program folder; the next start, which looks beside the bank
// file, names them either way.
void tst_twocopies::keptForTheNextStart_data()
{
    QTest::addColumn<QString>("bank"); // empty: the folder's bank file
    QTest::newRow("bank file") << QString();
    QTest::newRow("server bank") << QStringLiteral(
        "postgresql://qelvi_test_author@db.example.org:5432/qelvi_test?service=qelvi");
}

void tst_twocopies::keptForTheNextStart()
{
    QFETCH(QString, bank);
    if (bank.isEmpty())
        bank = folder->bank();
    Recordset::Conflict conflict;
    conflict.fields = QStringList { QStringLiteral("题目") };
    conflict.stored = QStringList { QStringLiteral("他改的题") };
    conflict.mine = QStringList { QStringLiteral("我改的题") };
    QVERIFY(Unsaved::keep(bank, kTest, QStringLiteral("第 1 题"), conflict));

    const QString unsaved = folder->file(QStringLiteral("未保存的修改.txt"));
    QCOMPARE(Unsaved::filePath(bank), unsaved);
    const QString kept = QString::fromUtf8(folder->read(QFileInfo(unsaved).fileName()));
    QVERIFY2(kept.contains(QStringLiteral("我改的题")) && kept.contains(QStringLiteral("他改的题")),
        qPrintable(kept));
    const QString notice = Unsaved::takeNotice(fileBank());
    QVERIFY2(notice.contains(QDir::toNativeSeparators(unsaved)), qPrintable(notice));
    QCOMPARE(Unsaved::takeNotice(bank), QString());
}

// Another copy deletes the shown question and a VACUUM gives the next one its row id.
// A score changed here, equal in both questions, is never written onto the other
// question: the shown one counts as deleted, and the user's answer decides.
void tst_twocopies::rowsRenumberedByVacuum_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("store as new") << true;
    QTest::newRow("drop") << false;
}

void tst_twocopies::rowsRenumberedByVacuum()
{
    QFETCH(bool, keep);
    folder->addTest(QStringLiteral("情商"), kTest);
    QList<QStringList> rows = questions(2);
    rows[1][3] = QStringLiteral("题1B"); // the same option B as question 1
    folder->addRows(kTest, rows);
    frmEdittest *w = openEditor(*main, kTest);
    QVERIFY(w);
    QCOMPARE(w->Text1->toPlainText(), QStringLiteral("题1"));
    QVERIFY(otherCopy(folder->bank(),
        QStringLiteral("DELETE FROM \"T\" WHERE rowid = (SELECT min(rowid) FROM \"T\")")));
    QVERIFY(otherCopy(folder->bank(), QStringLiteral("VACUUM")));
    QCOMPARE(firsts(folder->rows(kTest)), QStringList { "题2" });
    type(w->Text3, QStringLiteral("我改的B"));

    messages->answer(keep ? MsgAnswer::Yes : MsgAnswer::No);
    press(w, u"完成");
    settle();
    QCOMPARE(countContaining(messages->texts(), kGone), 1);
    const QList<QStringList> after = folder->rows(kTest);
    QCOMPARE(after.first(), rows[1]); // question 2 as it was
    QCOMPARE(after.size(), keep ? 2 : 1);
    if (keep) {
        QCOMPARE(after.last().at(0), QStringLiteral("题1"));
        QCOMPARE(after.last().at(3), QStringLiteral("我改的B"));
    }
}

// The bank deleted, or replaced by another bank, while the editor is open: storing the
// question says what happened (never "read-only"), the editor can be left, and the
// next window that needs the bank opens what is there now.
void tst_twocopies::bankDeletedOrReplaced_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("deleted") << false;
    QTest::newRow("replaced by another bank") << true;
}

void tst_twocopies::bankDeletedOrReplaced()
{
    QFETCH(bool, replaced);

    folder->addTest(QStringLiteral("情商"), kTest);
    folder->addRows(kTest, questions(2));
    frmEdittest *w = openEditor(*main, kTest);
    QVERIFY(w);
    type(w->Text1, QStringLiteral("我改的题"));

    // The other bank: a copy of this one with the test's first question changed.
    const QString bank = folder->bank();
    const QString spare = folder->file(QStringLiteral("spare.mdb"));
    QVERIFY(QFile::copy(bank, spare));
    QVERIFY(otherCopy(spare, QStringLiteral("UPDATE \"T\" SET \"题目\" = '新题库的题'")));
    QVERIFY(QFile::remove(bank));
    if (replaced)
        QVERIFY(QFile::rename(spare, bank));

    messages->answer(MsgAnswer::Yes); // leave without the change
    press(w, u"完成");
    settle();
    QVERIFY(!Forms::find<frmEdittest>());
    const QStringList texts = messages->texts();
    QVERIFY(!texts.isEmpty());
    QVERIFY2(!texts.join(u'\n').contains(QStringLiteral("只读")), qPrintable(texts.join(u'\n')));
    QVERIFY2(texts.first().contains(
                 replaced ? QStringLiteral("换成了另一个文件") : QStringLiteral("已经被删除")),
        qPrintable(texts.first()));

    // The next window that needs the bank.
    messages->clear();
    w = openEditor(*main, kTest);
    if (!replaced) {
        QVERIFY(!Forms::find<frmEdittest>() || !w->Data1->recordset().isOpen());
        QVERIFY(messages->last().contains(QStringLiteral("不存在")));
        QVERIFY(!QFile::exists(bank)); // never made anew
        return;
    }
    QVERIFY(w);
    QCOMPARE(w->Text1->toPlainText(), QStringLiteral("新题库的题"));
    type(w->Text1, QStringLiteral("存进新题库"));
    press(w, u"完成");
    settle();
    QVERIFY(!Forms::find<frmEdittest>());
    QCOMPARE(firsts(folder->rows(kTest)), (QStringList { "存进新题库", "新题库的题" }));
}

QTEST_MAIN(tst_twocopies)
#include "tst_twocopies.moc"
