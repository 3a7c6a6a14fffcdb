// Converting the big Access 2000 bank (402 tables, 7,201 rows) beside reading all of
// its rows through libmdb alone (every column bound as text, the library's own way
// of reading a table), in one run. The ratio is printed at the end.
#include "benchtimes.h"
#include "formats/access2000/jetbank.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <mdbtools.h>
#include <string>
#include <vector>

namespace {

const QString kBig = QStringLiteral(QELVI_ACCESS_FIXTURES "/big2000.mdb");

// Every row of every user table, as libmdb reads them; returns the number of rows.
long bareRead(const QByteArray &file)
{
    MdbHandle *mdb = mdb_open(file.constData(), MDB_NOFLAGS);
    if (!mdb)
        return -1;
    long rows = 0;
    GPtrArray *catalog = mdb_read_catalog(mdb, MDB_TABLE);
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, i));
        if (!mdb_is_user_table(entry))
            continue;
        MdbTableDef *table = mdb_read_table(entry);
        if (!table)
            continue;
        mdb_read_columns(table);
        std::vector<std::vector<char>> bound(table->num_cols, std::vector<char>(MDB_BIND_SIZE));
        std::vector<int> lengths(table->num_cols);
        for (unsigned c = 0; c < table->num_cols; ++c)
            mdb_bind_column(table, int(c + 1), bound[c].data(), &lengths[c]);
        mdb_rewind_table(table);
        while (mdb_fetch_row(table))
            ++rows;
        mdb_free_tabledef(table);
    }
    mdb_close(mdb);
    return rows;
}

QString scratchFolder()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isDir()
        ? QStringLiteral("/dev/shm/qelvi-jet-XXXXXX")
        : QDir::tempPath() + QStringLiteral("/qelvi-jet-XXXXXX");
}

void BM_BareLibmdbRead(benchmark::State &state)
{
    const QByteArray file = QFile::encodeName(kBig);
    long rows = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(rows = bareRead(file));
    state.counters["rows"] = double(rows);
}

void BM_Convert(benchmark::State &state)
{
    QTemporaryDir dir(scratchFolder());
    const QString bank = QDir(dir.path()).filePath(QStringLiteral("test.mdb"));
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const QString &f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(QDir(dir.path()).filePath(f));
        QFile::copy(kBig, bank);
        state.ResumeTiming();
        JetBank::Conversion done;
        if (const StoreError e = JetBank::convertIfJet(bank, &done))
            state.SkipWithError(e.message().toUtf8().constData());
        rows = done.rows;
    }
    state.counters["rows"] = double(rows);
}

BENCHMARK(BM_BareLibmdbRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond)->MinTime(2.0);

class RatioReporter : public TimesReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto &bare = times["BM_BareLibmdbRead/min_time:2.000"];
        const auto &convert = times["BM_Convert/min_time:2.000"];
        if (bare.first > 0 && bare.second > 0)
            std::printf("conversion / bare libmdb read, medians: CPU %.2fx (%.1f ms / %.1f ms), "
                        "wall %.2fx (%.1f ms / %.1f ms)\n",
                convert.second / bare.second, convert.second * 1e3, bare.second * 1e3,
                convert.first / bare.first, convert.first * 1e3, bare.first * 1e3);
    }
};

} // namespace

int main(int argc, char **argv)
{
    initializeBench(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
