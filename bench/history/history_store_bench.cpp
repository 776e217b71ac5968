// What recording history costs on a real file: one burst (three windows and the day's tokens in one
// transaction), the file after 90 days at the real rate, reading those 90 days back, and trying the file
// again while the disk is full.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <csignal>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/sqlite/sqlite_history_store.h"

namespace {

using namespace tallyvane;

constexpr std::int64_t start = 1'790'000'000;
constexpr std::int64_t readingEvery = 5 * 60;  // the slowest rate: a reading when nothing changed
constexpr int ninetyDays = 90 * 24 * 3600 / readingEvery;

// A private folder under TMPDIR for one run, removed with everything in it.
class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tallyvane-history-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder_ = pattern;
    }
    ~Scratch() { std::filesystem::remove_all(folder_); }
    std::string file() const { return (folder_ / "history.sqlite3").string(); }

private:
    std::filesystem::path folder_;
};

void complain(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

HistoryBatch burst(std::int64_t at) {
    HistoryBatch batch;
    const char* windows[][2] = {
        {"codex-primary", "5 h"}, {"codex-secondary", "Hebdomadaire"}, {"codex_other-primary", "codex_other · 30 min"}};
    for (const auto& [id, name] : windows) batch.readings.push_back({id, at, 42.5 + at % 7, at + 18000, 300, name});
    const std::time_t seconds = at;
    std::tm parts{};
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", ::gmtime_r(&seconds, &parts));
    batch.dailyTokens.push_back({day, 1'234'567 + at % 1000});
    return batch;
}

void fillNinetyDays(SqliteHistoryStore& store) {
    for (int slot = 0; slot < ninetyDays; ++slot) store.write(burst(start + slot * readingEvery));
}

void recordBurst(benchmark::State& state) {
    Scratch scratch;
    SqliteHistoryStore store(scratch.file(), complain);
    std::int64_t at = start;
    store.write(burst(at));  // opened and created outside the measure
    for (auto _ : state) store.write(burst(at += readingEvery));
}
BENCHMARK(recordBurst);

// The file once the store is closed (its log folded in), as a user finds it.
void ninetyDaysOnDisk(benchmark::State& state) {
    for (auto _ : state) {
        Scratch scratch;
        {
            SqliteHistoryStore store(scratch.file(), complain);
            fillNinetyDays(store);
        }
        state.counters["bytes"] = benchmark::Counter(double(std::filesystem::file_size(scratch.file())),
                                                     benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
    }
}
BENCHMARK(ninetyDaysOnDisk)->Iterations(1)->Unit(benchmark::kSecond);

// The first use of a 90-day file (opening checks it whole) and reading all of it back.
void openAndLoadNinetyDays(benchmark::State& state) {
    Scratch scratch;
    {
        SqliteHistoryStore store(scratch.file(), complain);
        fillNinetyDays(store);
    }
    for (auto _ : state) {
        SqliteHistoryStore store(scratch.file(), complain);
        benchmark::DoNotOptimize(store.load(0));
    }
}
BENCHMARK(openAndLoadNinetyDays)->Unit(benchmark::kMillisecond);

// One more try of a 90-day file on a full disk: with the file checked once (argument 1), or checked again
// at every try (argument 0, a store of its own each time), as before the pauses between tries.
void retryOnAFullDisk(benchmark::State& state) {
    Scratch scratch;
    {
        SqliteHistoryStore store(scratch.file(), complain);
        fillNinetyDays(store);
    }
    // Another reader keeps the shared-memory file in place, as the running program's own connection did.
    sqlite3* reader = nullptr;
    sqlite3_open(scratch.file().c_str(), &reader);
    sqlite3_exec(reader, "SELECT count(*) FROM readings", nullptr, nullptr, nullptr);
    std::chrono::steady_clock::time_point now;
    const auto paused = [](const std::string&) {};
    auto store = std::make_unique<SqliteHistoryStore>(scratch.file(), paused, [&] { return now; });
    store->load(0);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit sizes{};
    ::getrlimit(RLIMIT_FSIZE, &sizes);
    const rlimit full{0, sizes.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    std::int64_t at = start + ninetyDays * readingEvery;
    for (auto _ : state) {
        now += std::chrono::minutes(10);
        if (state.range(0) == 0) store = std::make_unique<SqliteHistoryStore>(scratch.file(), paused);
        store->write(burst(at += readingEvery));
    }
    ::setrlimit(RLIMIT_FSIZE, &sizes);
    store.reset();
    sqlite3_close(reader);
    state.counters["stored"] = double(SqliteHistoryStore(scratch.file(), complain).load(at).readings.size());
}
BENCHMARK(retryOnAFullDisk)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
