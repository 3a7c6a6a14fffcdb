// The results history file and the CSV export, without windows: what a stored file
// and a spreadsheet would show.
#include "results/resultdocument.h"
#include "results/store/history.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using Results::Answer;
using Results::History;
using Results::Record;

namespace {

Record record(const QString &test, const QString &total, const QDateTime &at,
    const QList<Answer> &answers = {})
{
    Record r;
    r.takenAt = at;
    r.test = test;
    r.category = QStringLiteral("情商测试");
    r.total = total;
    r.evaluation = QStringLiteral("评价：") + total;
    r.resultText = QStringLiteral("    你的得分是") + total + QStringLiteral("。") + r.evaluation;
    r.answers = answers;
    return r;
}

const QDateTime t0 = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15, 250));

} // namespace

class tst_historyStore : public QObject
{
    Q_OBJECT

private slots:
    // Records come back whole, the user's text unchanged, newest first whatever the
    // order they were stored in; removing takes the chosen ones with their answers.
    void keepsReadsAndRemoves()
    {
        QTemporaryDir dir;
        const History history(dir.filePath(QStringLiteral("results.db")));
        QVERIFY(history.records().isEmpty());
        QVERIFY2(!QFileInfo::exists(history.path()), "reading must not create the file");

        const QList<Answer> answers {
            { 1, QStringLiteral("题目一, \"引号\"\n第二行"), QStringLiteral("A"),
                QStringLiteral("当场沉下脸"), QStringLiteral("1") },
            { 2, QStringLiteral("题目二"), QStringLiteral("F"), QString(), QStringLiteral("-2.5") }
        };
        Record middle = record(QStringLiteral("日常情商自测"), QStringLiteral("13"), t0, answers);
        Record newest = record(QStringLiteral("日常情商自测"), QStringLiteral("42"), t0.addDays(1));
        Record oldest
            = record(QStringLiteral("另一个'测试'"), QStringLiteral("3.5"), t0.addSecs(-60));
        for (Record *r : { &middle, &newest, &oldest }) {
            const StoreError e = history.append(r);
            QVERIFY2(!e, qPrintable(e.message()));
        }
        QVERIFY(middle.id > 0 && newest.id > 0 && oldest.id > 0);

        StoreError error;
        const QList<Record> read = history.records(&error);
        QVERIFY(!error);
        QCOMPARE(read.size(), 3);
        QCOMPARE(read.at(0).id, newest.id);
        QCOMPARE(read.at(1).id, middle.id);
        QCOMPARE(read.at(2).id, oldest.id);
        const Record &m = read.at(1);
        QCOMPARE(m.takenAt, t0);
        QCOMPARE(m.test, middle.test);
        QCOMPARE(m.category, middle.category);
        QCOMPARE(m.total, middle.total);
        QCOMPARE(m.evaluation, middle.evaluation);
        QCOMPARE(m.resultText, middle.resultText);
        QCOMPARE(m.answers.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(m.answers[i].question, answers[i].question);
            QCOMPARE(m.answers[i].questionText, answers[i].questionText);
            QCOMPARE(m.answers[i].option, answers[i].option);
            QCOMPARE(m.answers[i].optionText, answers[i].optionText);
            QCOMPARE(m.answers[i].score, answers[i].score);
        }
        QVERIFY(read.at(0).answers.isEmpty());

        QVERIFY(!history.remove({ middle.id, 999999 }));
        QList<Record> left = history.records();
        QCOMPARE(left.size(), 2);
        QCOMPARE(left.at(0).id, newest.id);
        QCOMPARE(left.at(1).id, oldest.id);
        // The answers went with their record: a new record never inherits them.
        QVERIFY(!history.remove({ newest.id, oldest.id }));
        QVERIFY(history.records().isEmpty());
    }

    // A file that cannot take the record: nothing is stored, the failure names the
    // file, and the user's file is left as it was.
    void refusesWhatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("damaged file") << QStringLiteral("damaged");
        QTest::newRow("a folder in its place") << QStringLiteral("folder");
        QTest::newRow("folder that does not exist") << QStringLiteral("nofolder");
    }

    void refusesWhatCannotBeWritten()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("results.db"));
        const QByteArray garbage(4096, 'x');
        if (kind == QLatin1String("damaged")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("results.db")));
        } else {
            path = dir.filePath(QStringLiteral("gone/results.db"));
        }
        const History history(path);
        Record r = record(QStringLiteral("测"), QStringLiteral("1"), t0);
        const StoreError error = history.append(&r);
        QVERIFY(error);
        QVERIFY2(
            error.message().contains(QStringLiteral("测试记录文件")), qPrintable(error.message()));
        QCOMPARE(r.id, 0);

        StoreError readError;
        QVERIFY(history.records(&readError).isEmpty());
        QCOMPARE(bool(readError), kind != QLatin1String("nofolder"));
        if (kind == QLatin1String("damaged")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), garbage);
        }
    }

    // What a spreadsheet reads: a byte-order mark, CR LF rows, the Chinese text intact,
    // fields with commas, quotes and line breaks quoted, a column for every question.
    void csvForASpreadsheet()
    {
        Record a = record(QStringLiteral("测试, \"甲\""), QStringLiteral("3.5"), t0,
            { { 1, QStringLiteral("题"), QStringLiteral("B"), QStringLiteral("是"),
                  QStringLiteral("1.5") },
                { 2, QStringLiteral("题"), QStringLiteral("A"), QStringLiteral("否"),
                    QStringLiteral("2") } });
        a.evaluation = QStringLiteral("第一行\n第二行");
        Record b = record(QStringLiteral("乙"), QStringLiteral("-1"), t0.addSecs(3600));
        b.category.clear();

        const QByteArray bytes = ResultDocument::csv({ b, a });
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = QString::fromUtf8(bytes.mid(3));
        const QString date = ResultDocument::dateText(t0);
        const QString later = ResultDocument::dateText(t0.addSecs(3600));
        QCOMPARE(text,
            QStringLiteral("测试时间,测试分类,测试项目,得分,评价,测试者,测试版本,第1题,第2题\r\n")
                + later + QStringLiteral(",,乙,-1,评价：-1,,版本不明\r\n") + date
                + QStringLiteral(",情商测试,\"测试, \"\"甲\"\"\",3.5,\"第一行\n第二行\",,版本不明,"
                                 "B（1.5分）,A（2分）\r\n"));
    }
};

QTEST_GUILESS_MAIN(tst_historyStore)
#include "tst_historyStore.moc"
