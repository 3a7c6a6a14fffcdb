// Importing a 1,000-question test from the readable test file (reading the text and
// writing the test in one transaction through the catalogue) beside the plain SQLite
// statements that store the same rows in one transaction, on a connection of their
// own, in one run. The bank lives in /dev/shm when there is one, so the figures show
// the work of the code rather than of the disk. The ratio is printed at the end.
#include "benchtimes.h"
#include "formats/importer.h"
#include "formats/text/testtext.h"
#include "store/bankfile.h"
#include "store/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

const QString kCategory = QStringLiteral("类");
const QString kTest = QStringLiteral("千题测试");
constexpr int kQuestions = 1000;

struct BenchBank
{
    BenchBank()
        : dir(QFileInfo(QStringLiteral("/dev/shm")).isDir()
                ? QStringLiteral("/dev/shm/qelvi-bench-XXXXXX")
                : QDir::tempPath() + QStringLiteral("/qelvi-bench-XXXXXX"))
        , path(QDir(dir.path()).filePath(QStringLiteral("test.mdb")))
    {
        BankFile::createFreshBank(path);
        Catalogue::createCategory(path, kCategory);
    }
    QTemporaryDir dir;
    QString path;
};

BenchBank &bank()
{
    static BenchBank b;
    return b;
}

// The test as a package: six options a question, five bands.
Exchange::Package thousandQuestions()
{
    Exchange::Test test { kTest, {}, {} };
    for (int q = 0; q < kQuestions; ++q) {
        Exchange::Question question;
        question.text = QStringLiteral("第 %1 题：遇到这种情况，你通常会怎么做？").arg(q + 1);
        for (int i = 0; i < 6; ++i) {
            question.options[i] = QStringLiteral("选项 %1 的做法").arg(QChar(u'A' + i));
            question.scores[i] = float(i) + 0.5f;
        }
        test.questions.append(question);
    }
    for (int b = 0; b < 5; ++b)
        test.bands.append({ float(b * 1000), float(b * 1000 + 999), QStringLiteral("评价") });
    return { { { kCategory, { test } } } };
}

void Store_ImportText(benchmark::State &state)
{
    const QByteArray text = Exchange::writeText(thousandQuestions());
    for (auto _ : state) {
        QString error;
        const Exchange::Package package = Exchange::readText(text, QStringLiteral("t.txt"), &error);
        if (const StoreError e = Exchange::importPackage(bank().path, package, QString()))
            state.SkipWithError(e.message().toStdString().c_str());
        state.PauseTiming();
        Catalogue::deleteTest(bank().path, kTest, kCategory);
        state.ResumeTiming();
    }
}

// The two halves of the import, to see where the time goes.
void Part_ReadText(benchmark::State &state)
{
    const QByteArray text = Exchange::writeText(thousandQuestions());
    for (auto _ : state) {
        QString error;
        benchmark::DoNotOptimize(Exchange::readText(text, QStringLiteral("t.txt"), &error));
    }
}

void Part_WriteRows(benchmark::State &state)
{
    const Exchange::Package package = thousandQuestions();
    for (auto _ : state) {
        Exchange::importPackage(bank().path, package, QString());
        state.PauseTiming();
        Catalogue::deleteTest(bank().path, kTest, kCategory);
        state.ResumeTiming();
    }
}

void Raw_ImportText(benchmark::State &state)
{
    BankFile::closeConnection();
    const Exchange::Package package = thousandQuestions();
    const Exchange::Test &test = package.categories[0].tests[0];
    std::vector<std::vector<std::string>> texts;
    for (const Exchange::Question &q : test.questions) {
        std::vector<std::string> row { q.text->toStdString() };
        for (const auto &o : q.options)
            row.push_back(o->toStdString());
        texts.push_back(row);
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(bank().path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const std::string name = BankFile::quoteName(kTest).toStdString();
    const std::string scoring = BankFile::quoteName(kTest + QStringLiteral("评分")).toStdString();
    std::string columns = "\"题目\" TEXT";
    for (char l = 'A'; l <= 'F'; ++l)
        columns += std::string(", \"选项") + l + "\" TEXT, \"选项" + l + "分数\" REAL";
    for (auto _ : state) {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_exec(
            db, ("CREATE TABLE " + name + " (" + columns + ")").c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db,
            ("CREATE TABLE " + scoring + " (\"分数下限\" REAL, \"分数上限\" REAL, \"评价\" TEXT)")
                .c_str(),
            nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db,
            ("INSERT INTO " + name + " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)").c_str(), -1, &insert,
            nullptr);
        for (int r = 0; r < kQuestions; ++r) {
            const auto &row = texts[r];
            sqlite3_bind_text(insert, 1, row[0].c_str(), int(row[0].size()), SQLITE_STATIC);
            for (int i = 0; i < 6; ++i) {
                sqlite3_bind_text(
                    insert, 2 + 2 * i, row[1 + i].c_str(), int(row[1 + i].size()), SQLITE_STATIC);
                sqlite3_bind_double(insert, 3 + 2 * i, double(*test.questions[r].scores[i]));
            }
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_prepare_v2(
            db, ("INSERT INTO " + scoring + " VALUES (?,?,?)").c_str(), -1, &insert, nullptr);
        for (const Exchange::Band &b : test.bands) {
            sqlite3_bind_double(insert, 1, *b.lower);
            sqlite3_bind_double(insert, 2, *b.upper);
            sqlite3_bind_text(insert, 3, "评价", -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_prepare_v2(db, "INSERT INTO \"类\" VALUES (?)", -1, &insert, nullptr);
        sqlite3_bind_text(insert, 1, "千题测试", -1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_exec(db,
            ("BEGIN; DROP TABLE " + name + "; DROP TABLE " + scoring
                + "; DELETE FROM \"类\"; COMMIT")
                .c_str(),
            nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    sqlite3_close(db);
}

BENCHMARK(Store_ImportText)->Unit(benchmark::kMillisecond);
BENCHMARK(Raw_ImportText)->Unit(benchmark::kMillisecond);
BENCHMARK(Part_ReadText)->Unit(benchmark::kMillisecond);
BENCHMARK(Part_WriteRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    initializeBench(&argc, argv);
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto &store = reporter.times["Store_ImportText"];
    const auto &raw = reporter.times["Raw_ImportText"];
    std::printf("\nimport of %d questions, medians: text file %.2f ms CPU, raw SQLite %.2f ms "
                "CPU, ratio CPU %.2fx, wall %.2fx\n",
        kQuestions, store.second * 1e3, raw.second * 1e3,
        raw.second > 0 ? store.second / raw.second : 0.0,
        raw.first > 0 ? store.first / raw.first : 0.0);
    benchmark::Shutdown();
    BankFile::closeConnection();
    return 0;
}
