// Item analysis and the statistics export from a real history file: the figures
// against a second, independent computation on a fixed table (with a reversed item, a
// constant item and a missing answer), versions kept apart, older files read as
// "version unknown", and every CSV cell a spreadsheet would run as a formula kept text.
#include "formats/csvtext.h"
#include "formats/result/resultdocument.h"
#include "formats/stats/statsexport.h"
#include "store/results/history.h"
#include "store/results/itemstats.h"
#include "store/results/testversion.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using Results::Record;

namespace {

const QString test = QStringLiteral("量表");
constexpr double missing = -1;

// Scores of 8 results on 5 questions: q4 is scored against the others, q5 alike for
// everybody, the last result left q3 unanswered.
const QList<QList<double>> scores {
    { 3, 3, 2, 1, 2 },
    { 1, 1, 1, 3, 2 },
    { 2, 3, 3, 1, 2 },
    { 1, 2, 1, 2, 2 },
    { 3, 2, 3, 1, 2 },
    { 2, 1, 2, 3, 2 },
    { 3, 3, 3, 1, 2 },
    { 2, 2, missing, 2, 2 },
};

// Option letters: score 1, 2, 3 is A, B, C; on the reversed q4 it is C, B, A.
QString letterOf(int question, double score)
{
    const int index = question == 3 ? 3 - int(score) : int(score) - 1;
    return QString(QLatin1Char(char('A' + index)));
}

Record result(const QList<double> &row, const QString &version, int band)
{
    Record r;
    r.takenAt = QDateTime(QDate(2026, 5, 1), QTime(8, 0));
    r.test = test;
    r.version = version;
    r.band = band;
    double total = 0;
    for (int q = 0; q < row.size(); ++q) {
        if (row[q] == missing)
            continue;
        total += row[q];
        const QString letter = letterOf(q, row[q]);
        r.answers.append({ q + 1, QStringLiteral("第%1题'的\"文字\"").arg(q + 1), letter,
            QStringLiteral("选项%1").arg(letter), QString::number(row[q]) });
    }
    r.total = QString::number(total);
    r.evaluation = band == 1 ? QStringLiteral("低") : QStringLiteral("高");
    return r;
}

// The second method: sample covariances of the complete rows, alpha from the matrix,
// correlations straight from their definition.
QList<QList<double>> completeRows(int dropped = -1)
{
    QList<QList<double>> out;
    for (const QList<double> &row : scores) {
        if (row.contains(missing))
            continue;
        QList<double> kept;
        for (int q = 0; q < row.size(); ++q)
            if (q != dropped)
                kept << row[q];
        out << kept;
    }
    return out;
}

double covariance(const QList<double> &x, const QList<double> &y)
{
    double mx = 0, my = 0;
    for (int i = 0; i < x.size(); ++i) {
        mx += x[i] / x.size();
        my += y[i] / y.size();
    }
    double s = 0;
    for (int i = 0; i < x.size(); ++i)
        s += (x[i] - mx) * (y[i] - my);
    return s / (x.size() - 1);
}

QList<double> column(const QList<QList<double>> &rows, int q)
{
    QList<double> out;
    for (const QList<double> &row : rows)
        out << row[q];
    return out;
}

double matrixAlpha(const QList<QList<double>> &rows)
{
    const int k = int(rows.first().size());
    double trace = 0, sum = 0;
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
            const double c = covariance(column(rows, i), column(rows, j));
            sum += c;
            if (i == j)
                trace += c;
        }
    return k / (k - 1.0) * (1 - trace / sum);
}

double pearson(const QList<double> &x, const QList<double> &y)
{
    return covariance(x, y) / std::sqrt(covariance(x, x) * covariance(y, y));
}

// A small CSV reader of its own (quotes, doubled quotes, CR LF), independent of the writer.
QList<QStringList> readCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                cell += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                cell += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << cell;
            cell.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    return rows;
}

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

} // namespace

class tst_itemAnalysis : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void initTestCase()
    {
        m_path = m_dir.filePath(QStringLiteral("results.db"));
        const Results::History history(m_path);
        for (const QList<double> &row : scores) {
            Record r = result(row, QStringLiteral("v1"), row[0] >= 2 ? 2 : 1);
            QVERIFY(!history.append(&r));
        }
        // Another version and one of unknown version: never mixed into v1.
        Record other = result({ 1, 1, 1 }, QStringLiteral("v2"), 1);
        Record unknown = result({ 3, 3, 3, 3, 3 }, QString(), 0);
        QVERIFY(!history.append(&other));
        QVERIFY(!history.append(&unknown));
    }

    void statisticsAgreeWithASecondMethod()
    {
        StoreError e;
        const Results::ItemTable table
            = Results::itemTable(m_path, test, { QStringLiteral("v1") }, &e);
        QVERIFY(!e);
        QCOMPARE(table.rows.size(), scores.size());
        QCOMPARE(table.questions, 5);
        const ItemStats::Analysis a = ItemStats::analyse(table);
        QCOMPARE(a.results, 8);
        QCOMPARE(a.complete, 7);

        QList<double> totals;
        for (const QList<double> &row : scores) {
            double t = 0;
            for (double s : row)
                t += s == missing ? 0 : s;
            totals << t;
        }
        double mean = 0;
        for (double t : totals)
            mean += t / totals.size();
        QVERIFY(near(a.mean, mean));
        QVERIFY(near(a.sd, std::sqrt(covariance(totals, totals))));
        QCOMPARE(a.lowest, 8.0);
        QCOMPARE(a.highest, 12.0);

        const QList<QList<double>> rows = completeRows();
        QVERIFY2(near(a.alpha, matrixAlpha(rows)), qPrintable(QString::number(a.alpha)));
        for (int q = 0; q < 5; ++q) {
            const ItemStats::Item &item = a.items.at(q);
            QList<double> rest;
            for (const QList<double> &row : rows)
                rest << std::accumulate(row.begin(), row.end(), 0.0) - row[q];
            if (q == 4) {
                // Constant: no correlation, alpha without it as the matrix gives it.
                QVERIFY(std::isnan(item.itemRest));
                QVERIFY(item.nearlyConstant);
                QVERIFY(!item.likelyReversed);
            } else {
                QVERIFY2(near(item.itemRest, pearson(column(rows, q), rest)),
                    qPrintable(QString::number(q)));
                QCOMPARE(item.likelyReversed, q == 3);
                QVERIFY(!item.nearlyConstant);
            }
            QVERIFY(near(item.alphaIfDropped, matrixAlpha(completeRows(q))));
        }
        // Shares and means over those who answered: q3 by 7, the others by 8.
        QCOMPARE(a.items.at(2).answered, 7);
        QCOMPARE(a.items.at(0).answered, 8);
        QCOMPARE(a.items.at(0).chosen, (std::array<int, 6> { 2, 3, 3, 0, 0, 0 }));
        QVERIFY(near(a.items.at(2).meanScore, 15.0 / 7));
        QCOMPARE(a.items.at(3).chosen[2], 4); // C scores 1 on the reversed question
        QVERIFY(a.items.at(3).itemRest < -0.5);
        QCOMPARE(a.items.at(4).share(1), 1.0);

        // Totals over the bands as kept.
        QCOMPARE(a.bands.size(), 2);
        QCOMPARE(a.bands.at(0).band, 1);
        QCOMPARE(a.bands.at(0).results, 2);
        QCOMPARE(a.bands.at(1).results, 6);
        QCOMPARE(table.questionTexts.at(0), QStringLiteral("第1题'的\"文字\""));
        QCOMPARE(table.optionTexts.at(3).at(0), QStringLiteral("选项A"));
        QVERIFY(table.optionTexts.at(4).at(0).isNull()); // nobody chose A on q5
    }

    void versionsAreKeptApart()
    {
        StoreError e;
        const QList<Results::VersionCount> versions = Results::versionsOf(m_path, test, &e);
        QVERIFY(!e);
        QCOMPARE(versions.size(), 3);
        QStringList names;
        for (const Results::VersionCount &v : versions)
            names << v.version;
        QVERIFY(names.contains(QString()));
        QCOMPARE(Results::itemTable(m_path, test, { QStringLiteral("v2") }, &e).rows.size(), 1);
        QCOMPARE(Results::itemTable(m_path, test, {}, &e).rows.size(), 10);
        QCOMPARE(TestVersion::label(QString()), QStringLiteral("版本不明"));
        QCOMPARE(Results::testsOf(m_path, &e), QStringList { test });
    }

    // A history kept before results named their version reads whole, as version unknown,
    // and takes the new columns on its next write.
    void olderHistoryFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("results.db"));
        {
            QSqlDatabase db
                = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral(
                "CREATE TABLE results (id INTEGER PRIMARY KEY, taken_at TEXT NOT NULL, "
                "test TEXT NOT NULL, category TEXT NOT NULL, total TEXT NOT NULL, "
                "evaluation TEXT NOT NULL, result_text TEXT NOT NULL)")));
            QVERIFY(q.exec(QStringLiteral(
                "CREATE TABLE answers (result_id INTEGER NOT NULL, question INTEGER NOT NULL, "
                "question_text TEXT NOT NULL, option TEXT NOT NULL, option_text TEXT NOT NULL, "
                "score TEXT NOT NULL, PRIMARY KEY (result_id, question))")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO results VALUES (1, "
                                          "'2025-01-01T00:00:00.000Z', 'T', '', '2', '好', 'x')")));
            QVERIFY(
                q.exec(QStringLiteral("INSERT INTO answers VALUES (1, 1, '题', 'B', '是', '2')")));
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));

        const Results::History history(path);
        StoreError e;
        QList<Record> records = history.records(&e);
        QVERIFY(!e);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.at(0).version, QString());
        QCOMPARE(records.at(0).band, 0);
        const Results::ItemTable old = Results::itemTable(path, QStringLiteral("T"), {}, &e);
        QVERIFY(!e);
        QCOMPARE(old.rows.size(), 1);
        QCOMPARE(old.score(0, 0), 2.0);

        Record next = result({ 1, 2 }, QStringLiteral("abc"), 1);
        next.test = QStringLiteral("T");
        next.taker = QStringLiteral("小王");
        QVERIFY(!history.append(&next));
        records = history.records(&e);
        QVERIFY(!e);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(0).version, QStringLiteral("abc"));
        QCOMPARE(records.at(0).taker, QStringLiteral("小王"));
        QCOMPARE(records.at(0).band, 1);
        QCOMPARE(records.at(1).version, QString());
        QVERIFY(ResultDocument::html(records.at(1)).contains(QStringLiteral("版本不明")));
    }

    void formulaCells_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("written");
        QTest::newRow("equals") << "=1+1"
                                << "'=1+1";
        QTest::newRow("plus") << "+A1"
                              << "'+A1";
        QTest::newRow("minus") << "-A1"
                               << "'-A1";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\tx"
                             << "'\tx";
        QTest::newRow("carriage return") << "\rx"
                                         << "\"'\rx\"";
        QTest::newRow("formula with comma") << "=HYPERLINK(\"u\",\"v\")"
                                            << "\"'=HYPERLINK(\"\"u\"\",\"\"v\"\")\"";
        QTest::newRow("negative number") << "-1.5"
                                         << "-1.5";
        QTest::newRow("signed exponent") << "+2e-3"
                                         << "+2e-3";
        QTest::newRow("plain text") << "好=坏"
                                    << "好=坏";
        QTest::newRow("empty") << ""
                               << "";
    }

    void formulaCells()
    {
        QFETCH(QString, cell);
        QFETCH(QString, written);
        QCOMPARE(Csv::field(cell), written);
    }

    // The history CSV read back: the formula cells are text, the numbers still numbers.
    void historyCsvReadsBackAsText()
    {
        Record r = result({ 1, 2 }, QString(), 0);
        r.test = QStringLiteral("-测试");
        r.taker = QStringLiteral("=cmd|' /C calc'!A0");
        r.evaluation = QStringLiteral("@评价");
        r.total = QStringLiteral("-3");
        r.takenAt = QDateTime::currentDateTime();
        const QList<QStringList> rows
            = readCsv(QString::fromUtf8(ResultDocument::csv({ r }).mid(3)));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).mid(0, 7),
            (QStringList {
                "测试时间", "测试分类", "测试项目", "得分", "评价", "测试者", "测试版本" }));
        QCOMPARE(rows.at(1).at(2), QStringLiteral("'-测试"));
        QCOMPARE(rows.at(1).at(3), QStringLiteral("-3"));
        QCOMPARE(rows.at(1).at(4), QStringLiteral("'@评价"));
        QCOMPARE(rows.at(1).at(5), QStringLiteral("'") + r.taker);
        QCOMPARE(rows.at(1).at(6), QStringLiteral("版本不明"));
    }

    // The statistics table read back as numbers; the scripts carry the labels.
    void statisticsExport()
    {
        StoreError e;
        const Results::ItemTable table
            = Results::itemTable(m_path, test, { QStringLiteral("v1") }, &e);
        const StatsExport::Files files = StatsExport::make(table, QStringLiteral("t.csv"));
        const QList<QStringList> rows = readCsv(QString::fromUtf8(files.csv));
        QCOMPARE(rows.size(), 9);
        QStringList header { "id", "date" };
        for (const char *what : { "option", "score" })
            for (int q = 1; q <= 5; ++q)
                header << QStringLiteral("q%1_%2").arg(q).arg(QLatin1String(what));
        header << "total"
               << "band";
        QCOMPARE(rows.at(0), header);
        for (int r = 1; r < rows.size(); ++r) {
            QCOMPARE(rows.at(r).size(), header.size());
            for (int q = 0; q < 5; ++q) {
                const QString score = rows.at(r).at(7 + q);
                if (scores[r - 1][q] == missing) {
                    QVERIFY(score.isEmpty());
                    QVERIFY(rows.at(r).at(2 + q).isEmpty());
                    continue;
                }
                bool number = false;
                QCOMPARE(score.toDouble(&number), scores[r - 1][q]);
                QVERIFY(number);
                QCOMPARE(rows.at(r).at(2 + q), letterOf(q, scores[r - 1][q]));
            }
            bool number = false;
            rows.at(r).at(12).toDouble(&number);
            QVERIFY(number);
            QVERIFY(rows.at(r).at(13) == u"1" || rows.at(r).at(13) == u"2");
        }
        const QString r = QString::fromUtf8(files.r);
        QVERIFY(r.contains(QStringLiteral("read.csv(file.path(here, \"t.csv\")")));
        QVERIFY(r.contains(QStringLiteral(
            "qelvi$q1_option <- factor(qelvi$q1_option, levels = "
            "c(\"A\", \"B\", \"C\"), labels = c(\"A. 选项A\", \"B. 选项B\", \"C. 选项C\"))")));
        QVERIFY(r.contains(
            QStringLiteral("attr(qelvi$q1_score, \"label\") <- \"第1题'的\\\"文字\\\"\"")));
        const QString sps = QString::fromUtf8(files.sps);
        QVERIFY(sps.contains(QStringLiteral("/FILE='t.csv'")));
        QVERIFY(sps.contains(QStringLiteral("/q1_score '第1题''的\"文字\"'")));
        QVERIFY(sps.contains(
            QStringLiteral("VALUE LABELS\nq1_option 'A' '选项A' 'B' '选项B' 'C' '选项C'")));
        QVERIFY(sps.contains(QStringLiteral("q5_option 'B' '选项B'.\n")));

        // SPSS keeps labels short; R keeps them whole. The file name is never cut.
        Results::ItemTable longer = table;
        longer.optionTexts[0][0] = QString(50, u'长');
        const StatsExport::Files cut
            = StatsExport::make(longer, QString(90, u'名') + QStringLiteral(".csv"));
        QVERIFY(QString::fromUtf8(cut.sps).contains(
            QStringLiteral("'A' '%1'").arg(QString(40, u'长'))));
        QVERIFY(QString::fromUtf8(cut.sps).contains(
            QStringLiteral("/FILE='%1.csv'").arg(QString(90, u'名'))));
        QVERIFY(
            QString::fromUtf8(cut.r).contains(QStringLiteral("\"A. %1\"").arg(QString(50, u'长'))));

        // One table a version, each with its scripts beside it.
        QTemporaryDir out;
        QStringList written;
        QString error;
        QVERIFY2(StatsExport::write(
                     m_path, test, out.filePath(QStringLiteral("数据.csv")), &written, &error),
            qPrintable(error));
        QCOMPARE(written.size(), 3);
        const QStringList files3 = QDir(out.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files3.size(), 9);
        QVERIFY(files3.contains(QStringLiteral("数据-版本不明.sps")));
        QVERIFY(files3.contains(QStringLiteral("数据-v1.R")));
    }

    // Where R is installed, the script reads the table with numbers as numbers.
    void readByR()
    {
        const QString rscript = QStandardPaths::findExecutable(QStringLiteral("Rscript"));
        if (rscript.isEmpty())
            QSKIP("Rscript is not installed");
        QTemporaryDir out;
        QStringList written;
        QString error;
        QVERIFY(StatsExport::write(
            m_path, test, out.filePath(QStringLiteral("d.csv")), &written, &error));
        QProcess r;
        r.setWorkingDirectory(out.path());
        r.start(rscript,
            { QStringLiteral("-e"),
                QStringLiteral(
                    "source('%1'); cat(is.numeric(qelvi$q1_score), is.numeric(qelvi$total), "
                    "is.factor(qelvi$q1_option), attr(qelvi$q1_score, 'label'))")
                    .arg(out.filePath(QStringLiteral("d-v1.R"))) });
        QVERIFY(r.waitForFinished(60000));
        const QString said = QString::fromUtf8(r.readAllStandardOutput());
        QVERIFY2(said == QStringLiteral("TRUE TRUE TRUE 第1题'的\"文字\""),
            qPrintable(said + u'\n' + QString::fromUtf8(r.readAllStandardError())));
    }
};

QTEST_MAIN(tst_itemAnalysis)
#include "tst_itemAnalysis.moc"
