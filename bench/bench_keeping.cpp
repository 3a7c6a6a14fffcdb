// The last answer of a test, which finds the band and keeps the result in the history,
// in a bank of 10,000 categories (30,000 tables) beside the same answer in a bank of
// one category: it should cost the same. Also opening a table in each bank, beside the
// raw statement SQLite prepares to read it. Ratios of medians are printed at the end.
#include "app/mdiMain.h"
#include "base/fonts.h"
#include "base/programfolder.h"
#include "benchtimes.h"
#include "benchwindows.h"
#include "binding/Data.h"
#include "forms/controls.h"
#include "forms/forms.h"
#include "forms/handoff.h"
#include "platform/msgbox.h"
#include "runner/frmTest.h"
#include "store/bankfile.h"
#include "store/catalogue.h"
#include "store/recordset.h"
#include "store/results/keeping.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kBigCategories = 10000;

QString scratch()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isDir()
        ? QStringLiteral("/dev/shm/qelvi-bench-XXXXXX")
        : QDir::tempPath() + QStringLiteral("/qelvi-bench-XXXXXX");
}

QString createSql(const TableDef &def)
{
    QStringList columns;
    for (const FieldDef &f : def.fields)
        columns << BankFile::quoteName(f.name)
                + (f.type == FieldType::Single ? QStringLiteral(" REAL") : QStringLiteral(" TEXT"));
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(BankFile::quoteName(def.name), columns.join(QStringLiteral(", ")));
}

// A program folder whose bank holds `categories` categories "类<k>", each listing one
// test "测<k>" of one question and one band. The test taken is the one of the last category,
// the worst case for anything that looks for it category by category.
class Folder
{
public:
    explicit Folder(int categories)
        : m_dir(scratch())
        , m_categories(categories)
    {
        // SQLite reads its whole schema for each table it creates, so a bank of 30,000
        // tables takes minutes to make: it is made once and kept beside the runs.
        const QString kept = QFileInfo(scratch()).dir().filePath(
            QStringLiteral("qelvi-bench-bank-%1.mdb").arg(categories));
        const QString bank = QDir(m_dir.path()).filePath(QStringLiteral("test.mdb"));
        if (QFile::copy(kept, bank))
            return;
        fill(bank, categories);
        QFile::copy(bank, kept);
    }

    void use() const { setProgramFolder(m_dir.path()); }
    QString bank() const { return programFileIn(QStringLiteral("test.mdb")); }
    QString lastCategory() const { return QStringLiteral("类%1").arg(m_categories); }
    QString lastTest() const { return QStringLiteral("测%1").arg(m_categories); }

private:
    static void fill(const QString &bank, int categories)
    {
        BankFile::createFreshBank(bank);
        sqlite3 *db = nullptr;
        sqlite3_open_v2(bank.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const auto run = [db](const QString &sql) {
            sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        };
        run(QStringLiteral("BEGIN"));
        for (int k = 1; k <= categories; ++k) {
            const QString category = QStringLiteral("类%1").arg(k);
            const QString test = QStringLiteral("测%1").arg(k);
            run(createSql(BankNames::categoryTable(category)));
            run(createSql(BankNames::questionTable(test)));
            run(createSql(BankNames::scoringTableDef(test)));
            run(QStringLiteral("INSERT INTO %1 VALUES ('%2')")
                    .arg(BankFile::quoteName(BankNames::categoryList()), category));
            run(QStringLiteral("INSERT INTO %1 VALUES ('%2')")
                    .arg(BankFile::quoteName(category), test));
            run(QStringLiteral("INSERT INTO %1 VALUES ('第1题', '是', 1, '否', 2, ' ', NULL, ' ', "
                               "NULL, ' ', NULL, ' ', NULL)")
                    .arg(BankFile::quoteName(test)));
            run(QStringLiteral("INSERT INTO %1 VALUES (0, 3, '还不错。')")
                    .arg(BankFile::quoteName(BankNames::scoringTable(test))));
        }
        run(QStringLiteral("COMMIT"));
        sqlite3_close(db);
    }

    QString programFileIn(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    QTemporaryDir m_dir;
    int m_categories;
};

Folder &folder(int categories)
{
    static Folder small(1);
    static Folder big(kBigCategories);
    return categories == 1 ? small : big;
}

// The runner on the test as the chooser opens it (chosen: the category travels with the
// test), or as a runner opened on temp.txt alone.
frmTest *openRunner(const Folder &f, bool chosen)
{
    Forms::unload<frmTest>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f.use();
    BankFile::closeConnection();
    HandOff::writeTestName(f.lastTest());
    HandOff::setChosenCategory(chosen ? f.lastTest() : QString(), f.lastCategory());
    frmTest *runner = Forms::show<frmTest>();
    return runner;
}

// The one answer of a one-question test: band, result window, result kept.
void lastAnswer(benchmark::State &state, bool chosen)
{
    const Folder &f = folder(int(state.range(0)));
    frmTest *runner = openRunner(f, chosen);
    for (auto _ : state) {
        state.PauseTiming();
        for (HotLabel *label : runner->optionLabels())
            label->setEnabled(true);
        runner->Data1->recordset().MoveFirst();
        runner->Label8->setText(QStringLiteral("1"));
        runner->Text7->setText(QStringLiteral("0"));
        state.ResumeTiming();
        runner->Label2_Click();
        QCoreApplication::processEvents();
    }
    Forms::unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_LastAnswer(benchmark::State &state)
{
    lastAnswer(state, true);
}

void BM_LastAnswerUnchosen(benchmark::State &state)
{
    lastAnswer(state, false);
}

// Opening the last category's table through a record set.
void BM_OpenTable(benchmark::State &state)
{
    const Folder &f = folder(int(state.range(0)));
    f.use();
    BankFile::closeConnection();
    // The first open reads the schema, once per connection: not part of each open.
    Recordset(nullptr).open(f.bank(), f.lastCategory());
    for (auto _ : state) {
        Recordset rs;
        benchmark::DoNotOptimize(rs.open(f.bank(), f.lastCategory()));
    }
}

// What SQLite itself needs to read that table: one statement prepared and stepped.
void BM_RawOpenTable(benchmark::State &state)
{
    const Folder &f = folder(int(state.range(0)));
    sqlite3 *db = nullptr;
    sqlite3_open_v2(f.bank().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = QStringLiteral("SELECT rowid, * FROM %1")
                               .arg(BankFile::quoteName(f.lastCategory()))
                               .toUtf8();
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr); // reads the schema
    for (auto _ : state) {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, 1));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
}

BENCHMARK(BM_LastAnswer)->Arg(1)->Arg(kBigCategories)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastAnswerUnchosen)->Arg(1)->Arg(kBigCategories)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenTable)->Arg(1)->Arg(kBigCategories)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawOpenTable)->Arg(1)->Arg(kBigCategories)->Unit(benchmark::kMicrosecond);

class RatioReporter : public TimesReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const std::string big = "/" + std::to_string(kBigCategories);
        const auto line = [this](const std::string &a, const std::string &b) {
            const auto x = times.find(a);
            const auto y = times.find(b);
            if (x == times.end() || y == times.end())
                return;
            std::printf("  %-30s / %-26s CPU %7.2fx  wall %7.2fx\n", a.c_str(), b.c_str(),
                x->second.second / y->second.second, x->second.first / y->second.first);
        };
        std::printf("\nMedians, 10,000 categories against one (the goal is 1x):\n");
        line("BM_LastAnswer" + big, "BM_LastAnswer/1");
        line("BM_LastAnswerUnchosen" + big, "BM_LastAnswer/1");
        line("BM_OpenTable" + big, "BM_OpenTable/1");
        std::printf("Against the raw statement:\n");
        line("BM_OpenTable/1", "BM_RawOpenTable/1");
        line("BM_OpenTable" + big, "BM_RawOpenTable" + big);
    }
};

} // namespace

int main(int argc, char **argv)
{
    BenchWindows windows(argc, argv);
    folder(1);
    folder(kBigCategories);

    initializeBench(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
