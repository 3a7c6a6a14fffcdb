// A class handing in at once: 50 takers, each logged in as a taker role of his own on a
// connection of his own in a thread of his own, hand in 20,000 results of a published
// test of 30 questions through qelvi.submit, each under a fresh random (version 4) UUID;
// one hand-in in twenty is sent a second time, as a client does whose reply was lost.
// Beside it, on the same connections at the same concurrency, the same rows go into a
// plain table of the same shape as plain INSERTs (the second sends as INSERT ... ON
// CONFLICT DO NOTHING). Each repetition is one whole load; its time is the wall time from
// the start of the first hand-in to the end of the last.
//
// Afterwards the administrator counts the rows kept against the acknowledged hand-ins:
// a lost or a doubled row, a second row for a hand-in sent twice, a refused hand-in or a
// total the client does not expect fails the run. Printed at the end: results per second
// of both and their ratio, the median and 99th percentile of one hand-in.
//
// The program starts a PostgreSQL cluster of its own (benchcluster.h) that takes enough
// connections for the class.
#include "benchcluster.h"
#include "benchtimes.h"

#include <QCoreApplication>
#include <QUuid>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <libpq-fe.h>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using benchcluster::facts;

constexpr int kTakers = 50;
constexpr int kResults = 20000;
constexpr int kQuestions = 30;
constexpr int kRetryEvery = 20;

// A blocking libpq connection on the cluster's socket as the role.
PGconn *connectAs(const std::string &role)
{
    const std::string host = facts().value(QStringLiteral("socket")).toStdString();
    const std::string port = facts().value(QStringLiteral("port")).toStdString();
    const std::string db = facts().value(QStringLiteral("dbname")).toStdString();
    const char *keys[] = { "host", "port", "dbname", "user", "client_encoding", nullptr };
    const char *values[]
        = { host.c_str(), port.c_str(), db.c_str(), role.c_str(), "UTF8", nullptr };
    PGconn *conn = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn) != CONNECTION_OK)
        qFatal("connection as %s: %s", role.c_str(), PQerrorMessage(conn));
    return conn;
}

// Runs sql with text parameters; the rows, or a fatal error.
PGresult *checked(
    PGconn *conn, const std::string &sql, const std::vector<const char *> &params = {})
{
    PGresult *r = PQexecParams(
        conn, sql.c_str(), int(params.size()), nullptr, params.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        qFatal("statement failed: %s\n%s", PQresultErrorMessage(r), sql.c_str());
    return r;
}

std::string single(
    PGconn *conn, const std::string &sql, const std::vector<const char *> &params = {})
{
    PGresult *r = checked(conn, sql, params);
    std::string value = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    return value;
}

qint64 number(const std::string &text)
{
    qint64 v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

std::string shortest(float value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The published test as its author wrote it: questions of four to six options, scored in
// quarters and halves, some with a hidden option; four bands that hold every total.
struct Option
{
    std::string text;
    float score = 0;
    bool shown() const { return text != " " && !text.empty(); }
};
struct Band
{
    float lower, upper;
    const char *evaluation;
};
const Band kBands[] = {
    { 0.f, 30.75f, "还需要多加练习：遇事先停一停，想想对方的感受。" },
    { 31.f, 60.5f, "一般：多数时候能管住自己的情绪。" },
    { 60.75f, 85.25f, "良好：能体察别人，也能说清自己。" },
    { 85.5f, 105.f, "很好：情绪稳定，善于与人相处。" },
};

std::vector<std::vector<Option>> makeQuestions()
{
    static const float steps[] = { 0.f, 0.5f, 1.25f, 2.f, 2.75f, 3.5f };
    std::vector<std::vector<Option>> questions(kQuestions);
    for (int q = 0; q < kQuestions; ++q) {
        const int options = 4 + q % 3;
        for (int k = 0; k < options; ++k) {
            Option o;
            o.text = "第" + std::to_string(q + 1) + "题的选项" + char('A' + k);
            o.score = steps[(k + q) % 6];
            questions[q].push_back(o);
        }
        // A hidden option between shown ones, as an author leaves a blank one.
        if (q % 7 == 3)
            questions[q][2].text = " ";
    }
    return questions;
}

struct Classroom
{
    PGconn *admin = nullptr;
    std::vector<PGconn *> takers;
    std::string testId;
    std::string testName = "课堂情商测验";
    std::string version;
    std::vector<std::vector<Option>> questions = makeQuestions();

    static Classroom &instance()
    {
        static Classroom room;
        return room;
    }
    void close()
    {
        for (PGconn *conn : takers)
            PQfinish(conn);
        takers.clear();
        PQfinish(admin);
        admin = nullptr;
    }

private:
    Classroom()
    {
        admin = connectAs(facts().value(QStringLiteral("admin")).toStdString());
        // The takers of the class, each a login role of his own, as qelvi-server-user
        // makes them; the plain table beside qelvi.results, which they may write (and read,
        // as a second send ON CONFLICT needs).
        for (int t = 1; t <= kTakers; ++t) {
            char name[32];
            std::snprintf(name, sizeof name, "qelvi_load_taker%02d", t);
            PQclear(
                checked(admin, "CREATE ROLE " + std::string(name) + " LOGIN IN ROLE qelvi_takers"));
        }
        PQclear(checked(admin, "CREATE SCHEMA plain"));
        PQclear(checked(admin, "CREATE TABLE plain.results (LIKE qelvi.results INCLUDING ALL)"));
        PQclear(checked(admin, "GRANT USAGE ON SCHEMA plain TO qelvi_takers"));
        PQclear(checked(admin, "GRANT SELECT, INSERT ON plain.results TO qelvi_takers"));

        PGconn *author = connectAs(facts().value(QStringLiteral("author")).toStdString());
        const std::string category = single(
            author, "INSERT INTO qelvi.categories (name) VALUES ('三年二班') RETURNING id");
        testId = single(author,
            "INSERT INTO qelvi.tests (category_id, name) VALUES ($1, $2) RETURNING id",
            { category.c_str(), testName.c_str() });
        const std::string question = "INSERT INTO qelvi.questions (test_id, \"题目\", \"选项A\", "
                                     "\"选项A分数\", \"选项B\", \"选项B分数\", \"选项C\", "
                                     "\"选项C分数\", \"选项D\", \"选项D分数\", \"选项E\", "
                                     "\"选项E分数\", \"选项F\", \"选项F分数\") VALUES ($1, $2, $3, "
                                     "$4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14)";
        for (int q = 0; q < kQuestions; ++q) {
            std::vector<std::string> texts { testId,
                "第" + std::to_string(q + 1) + "题：同学当众说你做错了，你会怎么做？" };
            for (const Option &o : questions[q]) {
                texts.push_back(o.text);
                texts.push_back(shortest(o.score));
            }
            std::vector<const char *> params;
            for (const std::string &t : texts)
                params.push_back(t.c_str());
            params.resize(14, nullptr);
            PQclear(checked(author, question, params));
        }
        for (const Band &b : kBands) {
            const std::string lower = shortest(b.lower), upper = shortest(b.upper);
            PQclear(checked(author,
                "INSERT INTO qelvi.bands (test_id, \"分数下限\", \"分数上限\", \"评价\") "
                "VALUES ($1, $2, $3, $4)",
                { testId.c_str(), lower.c_str(), upper.c_str(), b.evaluation }));
        }
        PQclear(checked(
            author, "UPDATE qelvi.tests SET published = true WHERE id = $1", { testId.c_str() }));
        version = single(
            author, "SELECT content_version FROM qelvi.tests WHERE id = $1", { testId.c_str() });
        PQfinish(author);
        PQclear(checked(admin, "ANALYZE"));

        for (int t = 1; t <= kTakers; ++t) {
            char name[32];
            std::snprintf(name, sizeof name, "qelvi_load_taker%02d", t);
            takers.push_back(connectAs(name));
        }
    }
};

// One finished run of the test: its submission, the answers, and what the runner shows.
struct HandIn
{
    std::string submission;
    std::string answers; // "{A,C,...}"
    std::string total; // the shortest text of the single
    float expected = 0;
    int band = 0;
    const char *evaluation = "";
};

// The class's hand-ins of one repetition: the same rows for both sides of it.
std::vector<HandIn> handIns(int repetition)
{
    static const std::random_device::result_type base = std::random_device {}();
    std::mt19937_64 random(base + repetition);
    const Classroom &room = Classroom::instance();
    std::vector<HandIn> all(kResults);
    for (HandIn &h : all) {
        std::array<unsigned char, 16> bytes;
        for (unsigned char &b : bytes)
            b = static_cast<unsigned char>(random());
        bytes[6] = (bytes[6] & 0x0f) | 0x40;
        bytes[8] = (bytes[8] & 0x3f) | 0x80;
        h.submission = QUuid::fromRfc4122(QByteArrayView(bytes.data(), bytes.size()))
                           .toString(QUuid::WithoutBraces)
                           .toStdString();
        double running = 0;
        h.answers = "{";
        for (const std::vector<Option> &q : room.questions) {
            int k;
            do
                k = int(random() % q.size());
            while (!q[k].shown());
            running += q[k].score;
            h.answers += (h.answers.size() > 1 ? "," : "") + std::string(1, char('A' + k));
        }
        h.answers += "}";
        h.expected = float(running);
        h.total = shortest(h.expected);
        for (size_t b = 0; b < std::size(kBands); ++b) {
            if (kBands[b].lower <= h.expected && h.expected <= kBands[b].upper) {
                h.band = int(b + 1);
                h.evaluation = kBands[b].evaluation;
            }
        }
    }
    return all;
}

// What one taker's thread saw.
struct Tally
{
    std::vector<double> micros; // each first hand-in
    std::vector<int> acknowledged; // hand-ins whose reply came
    std::vector<int> retried;
    int failed = 0;
    int wrong = 0; // a reply that is not the expected total, evaluation and band
    int retryDiffers = 0; // a second reply that is not the expected one
    std::string firstError;
};

// Sends hand-in i on conn; true when the reply came. again: the second send of it.
using Send = bool (*)(PGconn *conn, const HandIn &h, bool again, Tally &tally);

const std::string kSubmit = "SELECT total, evaluation, band FROM qelvi.submit($1, $2, $3, $4)";

bool failedWith(PGresult *r, Tally &tally)
{
    ++tally.failed;
    if (tally.firstError.empty())
        tally.firstError = PQresultErrorMessage(r);
    PQclear(r);
    return false;
}

bool submit(PGconn *conn, const HandIn &h, bool again, Tally &tally)
{
    const Classroom &room = Classroom::instance();
    const char *params[]
        = { h.submission.c_str(), room.testId.c_str(), room.version.c_str(), h.answers.c_str() };
    PGresult *r = PQexecParams(conn, kSubmit.c_str(), 4, nullptr, params, nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1)
        return failedWith(r, tally);
    float total = 0;
    const char *text = PQgetvalue(r, 0, 0);
    std::from_chars(text, text + PQgetlength(r, 0, 0), total);
    const bool expected = total == h.expected && std::string(PQgetvalue(r, 0, 1)) == h.evaluation
        && std::atoi(PQgetvalue(r, 0, 2)) == h.band;
    if (!expected)
        ++(again ? tally.retryDiffers : tally.wrong);
    PQclear(r);
    return true;
}

const std::string kInsert = "INSERT INTO plain.results (submission, test_id, test_name, "
                            "test_version, taker, taken_at, taken_on, answers, total, evaluation, "
                            "band) VALUES ($1, $2, $3, $4, session_user, now(), current_date, $5, "
                            "$6, $7, $8)";
const std::string kInsertAgain = kInsert + " ON CONFLICT (submission) DO NOTHING";

bool insert(PGconn *conn, const HandIn &h, bool again, Tally &tally)
{
    const Classroom &room = Classroom::instance();
    const std::string band = std::to_string(h.band);
    const char *params[] = { h.submission.c_str(), room.testId.c_str(), room.testName.c_str(),
        room.version.c_str(), h.answers.c_str(), h.total.c_str(), h.evaluation, band.c_str() };
    PGresult *r = PQexecParams(
        conn, (again ? kInsertAgain : kInsert).c_str(), 8, nullptr, params, nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK)
        return failedWith(r, tally);
    PQclear(r);
    return true;
}

// Every first hand-in's time in microseconds, per side, over all repetitions.
std::map<std::string, std::vector<double>> &allTimes()
{
    static std::map<std::string, std::vector<double>> all;
    return all;
}
std::map<int, double> &submitRates()
{
    static std::map<int, double> rates;
    return rates;
}

std::string uuidArray(const std::vector<HandIn> &all, const std::vector<int> &which)
{
    std::string array = "{";
    for (int i : which)
        array += (array.size() > 1 ? "," : "") + all[i].submission;
    return array + "}";
}

// The whole load of one repetition on one side: taker t hands in i = t, t + 50, ...; the
// counts of the rows kept, by the administrator, after it.
void load(benchmark::State &state, const char *side, const char *table, Send send)
{
    static std::map<std::string, int> repetitions;
    const int repetition = repetitions[side]++;
    Classroom &room = Classroom::instance();
    const std::vector<HandIn> all = handIns(repetition);
    const std::string before = single(room.admin,
        std::string("SELECT coalesce(max(id), 0) FROM ") + table + " WHERE test_id = $1",
        { room.testId.c_str() });
    std::vector<Tally> tallies(kTakers);
    double seconds = 0;
    for (auto _ : state) {
        std::latch ready(kTakers + 1);
        std::vector<std::thread> threads;
        for (int t = 0; t < kTakers; ++t) {
            threads.emplace_back([&, t] {
                Tally &tally = tallies[t];
                PGconn *conn = room.takers[t];
                ready.arrive_and_wait();
                for (int i = t; i < kResults; i += kTakers) {
                    const Clock::time_point start = Clock::now();
                    const bool replied = send(conn, all[i], false, tally);
                    tally.micros.push_back(
                        std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                    if (replied)
                        tally.acknowledged.push_back(i);
                    if (i % kRetryEvery == 0) {
                        tally.retried.push_back(i);
                        if (send(conn, all[i], true, tally) && !replied)
                            tally.acknowledged.push_back(i);
                    }
                }
            });
        }
        ready.arrive_and_wait();
        const Clock::time_point start = Clock::now();
        for (std::thread &t : threads)
            t.join();
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
    }

    Tally sum;
    for (const Tally &t : tallies) {
        sum.micros.insert(sum.micros.end(), t.micros.begin(), t.micros.end());
        sum.acknowledged.insert(
            sum.acknowledged.end(), t.acknowledged.begin(), t.acknowledged.end());
        sum.retried.insert(sum.retried.end(), t.retried.begin(), t.retried.end());
        sum.failed += t.failed;
        sum.wrong += t.wrong;
        sum.retryDiffers += t.retryDiffers;
        if (sum.firstError.empty())
            sum.firstError = t.firstError;
    }
    const std::string acknowledged = uuidArray(all, sum.acknowledged);
    const std::string retried = uuidArray(all, sum.retried);
    PGresult *r = checked(room.admin,
        std::string("WITH added AS (SELECT submission FROM ") + table
            + " WHERE test_id = $1 AND id > $2) "
              "SELECT (SELECT count(*) FROM added), "
              "(SELECT count(DISTINCT a.submission) FROM added a "
              "JOIN unnest($3::uuid[]) s (id) ON a.submission = s.id), "
              "(SELECT count(*) - count(DISTINCT a.submission) FROM added a "
              "JOIN unnest($4::uuid[]) s (id) ON a.submission = s.id)",
        { room.testId.c_str(), before.c_str(), acknowledged.c_str(), retried.c_str() });
    const qint64 added = number(PQgetvalue(r, 0, 0));
    const qint64 kept = number(PQgetvalue(r, 0, 1));
    const qint64 secondRows = number(PQgetvalue(r, 0, 2));
    PQclear(r);
    const qint64 lost = qint64(sum.acknowledged.size()) - kept;
    const qint64 doubled = added - kept;

    const double rate = kResults / seconds;
    state.counters["results_per_s"] = rate;
    state.counters["p50_ms"] = percentile(sum.micros, 0.5) / 1000;
    state.counters["p99_ms"] = percentile(sum.micros, 0.99) / 1000;
    state.counters["acknowledged"] = double(sum.acknowledged.size());
    state.counters["lost"] = double(lost);
    state.counters["doubled"] = double(doubled);
    state.counters["sent_twice"] = double(sum.retried.size());
    state.counters["second_rows"] = double(secondRows);
    state.counters["failed"] = sum.failed;
    if (send == submit) {
        state.counters["wrong_totals"] = sum.wrong;
        state.counters["second_reply_differs"] = sum.retryDiffers;
        submitRates()[repetition] = rate;
    } else if (const auto s = submitRates().find(repetition); s != submitRates().end()) {
        state.counters["plain_per_submit"] = rate / s->second;
    }
    std::vector<double> &times = allTimes()[side];
    times.insert(times.end(), sum.micros.begin(), sum.micros.end());

    if (lost != 0 || doubled != 0 || secondRows != 0 || sum.failed != 0 || sum.wrong != 0
        || sum.retryDiffers != 0) {
        const std::string why = "lost " + std::to_string(lost) + ", doubled "
            + std::to_string(doubled) + ", second rows " + std::to_string(secondRows) + ", failed "
            + std::to_string(sum.failed) + ", wrong totals " + std::to_string(sum.wrong)
            + ", second replies differing " + std::to_string(sum.retryDiffers)
            + (sum.firstError.empty() ? "" : ": ") + sum.firstError;
        state.SkipWithError(why.c_str());
    }
}

void Submit_ClassHandsIn(benchmark::State &state)
{
    load(state, "submit", "qelvi.results", submit);
}

void Plain_ClassHandsIn(benchmark::State &state)
{
    load(state, "plain", "plain.results", insert);
}

BENCHMARK(Submit_ClassHandsIn)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Plain_ClassHandsIn)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchcluster::startGuard();
    QCoreApplication app(argc, argv);
    initializeBench(&argc, argv);
    // The class, the author, the administrator and room to spare.
    qputenv("QELVI_PG_CONNECTIONS", QByteArray::number(kTakers + 20));
    benchcluster::startCluster();
    Classroom::instance();
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Google Benchmark names them with their settings: "Submit_ClassHandsIn/iterations:1/...".
    const auto wallOf = [&reporter](const std::string &prefix) {
        for (const auto &[name, wallAndCpu] : reporter.times) {
            if (name.rfind(prefix, 0) == 0)
                return wallAndCpu.first;
        }
        return 0.0;
    };
    const double submitWall = wallOf("Submit_ClassHandsIn/");
    const double plainWall = wallOf("Plain_ClassHandsIn/");
    if (submitWall > 0 && plainWall > 0) {
        const double submitRate = kResults / submitWall;
        const double plainRate = kResults / plainWall;
        std::printf("\n%d takers, %d results of %d questions, 1 in %d sent twice (median load)\n",
            kTakers, kResults, kQuestions, kRetryEvery);
        std::printf("%-28s %12s %12s %8s\n", "results per second", "submit", "plain", "ratio");
        std::printf(
            "%-28s %12.0f %12.0f %7.2fx\n", "", submitRate, plainRate, plainRate / submitRate);
    }
    std::printf("\n%-28s %10s %10s %10s\n", "one hand-in, all runs", "count", "p50", "p99");
    for (const auto &[side, times] : allTimes()) {
        std::printf("%-28s %10zu %8.2fms %8.2fms\n", side.c_str(), times.size(),
            percentile(times, 0.5) / 1000, percentile(times, 0.99) / 1000);
    }
    benchmark::Shutdown();
    Classroom::instance().close();
    benchcluster::stopGuarded();
    return 0;
}
