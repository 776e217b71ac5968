// The history store on real SQLite files, through the faults a user's machine can throw at it.
#include <sqlite3.h>
#include <sys/resource.h>

#include <set>

#include "../platform_test_support.h"
#include "platform/sqlite/sqlite_history_store.h"

namespace tallyvane::test {
namespace {

Reading reading(const std::string& window, std::int64_t at, double used = 40) { return {window, at, used, at + 18000, 300, "Limite 5 h"}; }

HistoryBatch taken(std::initializer_list<std::int64_t> times) {
    HistoryBatch batch;
    for (const auto at : times) batch.readings.push_back(reading("w", at));
    return batch;
}

auto collect(std::vector<std::string>& warnings) { return [&warnings](const std::string& text) { warnings.push_back(text); }; }
void unexpected(const std::string& message) { ADD_FAILURE() << message; }
auto rows(const HistorySnapshot& all) { return std::tuple(all.readings, all.dailyTokens, all.alerts); }

// What `sql` answers through the sqlite3 command, as a user's script would ask.
std::string ask(const std::string& path, const std::string& sql) {
    const std::unique_ptr<FILE, int (*)(FILE*)> answer(
        ::popen(("sqlite3 -nullvalue NULL '" + path + "' '" + sql + "'").c_str(), "r"), ::pclose);
    std::string rows(1 << 16, '\0');
    return rows.substr(0, std::fread(rows.data(), 1, rows.size(), answer.get()));
}

TEST(SqliteHistoryStore, StartsAPrivateLoggedFileThenKeepsTheLastRowOfEachKeyAndPrunes) {
    ::umask(0);
    TemporaryDirectory home;
    const std::string path = home.file("a/b/history.sqlite3");
    const int descriptors = openDescriptorCount();
    {
        SqliteHistoryStore store(path, unexpected);
        const std::int64_t day = 1'700'006'400;  // 2023-11-15 00:00 UTC
        const Reading bare{"v", day - 9, 12.5, {}, {}, "5 h"};
        const std::vector<AlertRecord> alerts{{"v", 0, "forecast", day - 1}, {"w", day, "reset", day}, {"w", day, "used90", day}};
        store.write({taken({day - 9, day + 9}).readings, {{"2023-11-14", 5}, {"2023-11-15", 6}},
                     {alerts[0], alerts[1], {"w", day, "used90", day - 9}}});
        store.write({{reading("w", day - 9, 11), bare}, {{"2023-11-14", 7}}, {alerts[2]}});
        for (const auto& [name, mode] : {std::pair{"a", 0700}, {"a/b", 0700}, {"a/b/history.sqlite3", 0600},
                                         {"a/b/history.sqlite3-wal", 0600}, {"a/b/history.sqlite3-shm", 0600}})
            EXPECT_EQ(static_cast<int>(std::filesystem::status(home.file(name)).permissions()), mode) << name;
        EXPECT_EQ(ask(path, "PRAGMA journal_mode; PRAGMA user_version"), "wal\n1\n");
        EXPECT_EQ(ask(path, "SELECT window_id, taken_at, used_percent, resets_at, duration_mins, name FROM readings WHERE "
                            "window_id = \"v\"; SELECT day, tokens FROM daily_tokens; SELECT window_id, period_end, kind, "
                            "sent_at FROM alerts WHERE window_id = \"v\""),
                  "v|1700006391|12.5|NULL|NULL|5 h\n2023-11-14|7\n2023-11-15|6\nv|0|forecast|1700006399\n");
        EXPECT_EQ(rows(store.load(0)), std::tuple(std::vector{bare, reading("w", day - 9, 11), reading("w", day + 9)},
                                                  std::vector<DailyTokens>{{"2023-11-14", 7}, {"2023-11-15", 6}}, alerts));
        EXPECT_EQ(store.load(day).readings, taken({day + 9}).readings);
        store.prune(day);
        EXPECT_EQ(rows(store.load(0)), std::tuple(taken({day + 9}).readings, std::vector<DailyTokens>{{"2023-11-15", 6}},
                                                  std::vector(alerts.begin() + 1, alerts.end())));
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

TEST(SqliteHistoryStore, MovesADamagedFileAsideWithItsLogsAndStartsAfresh) {
    const std::function<void(const std::string&)> damages[] = {
        [](const std::string& path) { writeFile(path, std::string(8192, 'x'), 0600); },
        [](const std::string& path) {  // a history whose table pages are overwritten
            SqliteHistoryStore(path, unexpected).write(taken({1, 2, 3}));
            std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(8192) << std::string(4096, '\xff');
        },
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(&damage - damages);
        TemporaryDirectory home;
        const std::string path = home.file("history.sqlite3");
        damage(path);
        const std::string damaged = readFile(path);
        writeFile(path + "-wal", "old log", 0600);
        std::vector<std::string> warnings;
        SqliteHistoryStore store(path, collect(warnings));
        store.write(taken({9}));
        EXPECT_EQ(store.load(0).readings, taken({9}).readings);
        std::set<std::string> aside;
        for (const auto& name : entries(home.path)) if (name.starts_with("history.sqlite3.corrupt-")) aside.insert(name);
        const std::string moved = aside.empty() ? "" : *aside.begin();
        EXPECT_EQ(aside, (std::set{moved, moved + "-shm", moved + "-wal"}));
        EXPECT_EQ(readFile(home.file(moved)) + readFile(home.file(moved + "-wal")), damaged + "old log");
        EXPECT_TRUE(warnings.size() == 1 && warnings[0].find(home.file(moved)) != std::string::npos) << warnings.size();
    }
}

// Root writes whatever the modes say: the store runs as nobody, in a child of its own. The pause after a fault
// doubles: the file is tried again 30 s, then 60 s later. A link as a log is never followed, nor as the file.
TEST(SqliteHistoryStore, PausesWhileLockedReadOnlyFullOrLinkedThenStoresEverythingKept) {
    sqlite3* other = nullptr;
    const rlimit fileSizes[] = {{RLIM_INFINITY, RLIM_INFINITY}, {0, RLIM_INFINITY}};
    const std::function<void(const std::string&, bool)> outages[] = {
        [&](const std::string& folder, bool on) {  // someone's sqlite3 shell inside BEGIN EXCLUSIVE
            if (on) sqlite3_open((folder + "/history.sqlite3").c_str(), &other);
            sqlite3_exec(other, on ? "BEGIN EXCLUSIVE" : "ROLLBACK", nullptr, nullptr, nullptr);
        },
        [](const std::string& folder, bool on) { ::chmod(folder.c_str(), on ? 0500 : 0700); },
        [&](const std::string&, bool on) { ::setrlimit(RLIMIT_FSIZE, &fileSizes[on]); },  // a full disk
        [](const std::string& folder, bool on) {  // the log links to another program's file
            const std::string log = folder + "/history.sqlite3-wal", other = folder + "/other";
            if (on) writeFile(other, "kept", 0600), ::symlink(other.c_str(), log.c_str());
            else if (::unlink(log.c_str()) != 0 || readFile(other) != "kept") ::_exit(3);
        },
    };
    for (const auto& outage : outages) {
        TemporaryDirectory home;
        const std::string folder = home.file("data"), path = folder + "/history.sqlite3";
        ASSERT_EQ(::mkdir(folder.c_str(), 0700) | ::chown(folder.c_str(), 65534, 65534) | ::chmod(home.path.c_str(), 0711), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
            std::vector<std::string> warnings;
            SqliteHistoryStore(path, collect(warnings)).write(taken({1}));
            outage(folder, true);
            std::chrono::steady_clock::time_point now;
            SqliteHistoryStore store(path, collect(warnings), [&] { return now; });
            const auto writeAfter = [&](std::chrono::seconds wait, HistoryBatch batch) { now += wait, store.write(std::move(batch)); };
            writeAfter(0s, taken({2}));  // fails: the file is left alone for 30 s
            writeAfter(29s, taken({3}));
            const auto shown = store.load(0).readings;  // what waits is shown
            writeAfter(1s, {});  // fails again: 60 s more
            outage(folder, false);
            writeAfter(59s, {});
            const auto stored = SqliteHistoryStore(path, collect(warnings)).load(0).readings;
            writeAfter(1s, {});
            const bool kept = !shown.empty() && shown.back() == reading("w", 3) && stored == taken({1}).readings;
            ::_exit(kept && warnings.size() == 2 && store.load(0).readings == taken({1, 2, 3}).readings ? 0 : 1);
        }
        int status = -1;
        EXPECT_TRUE(::waitpid(child, &status, 0) == child && status == 0) << "outage " << &outage - outages;
    }
}

TEST(SqliteHistoryStore, KeepsEveryCommittedReadingThroughKill9) {
    TemporaryDirectory home;
    const std::string path = home.file("history.sqlite3");
    std::set<std::int64_t> reported;
    for (std::int64_t round = 0; round < 20; ++round) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            SqliteHistoryStore store(path, [](const std::string&) { ::_exit(1); });
            for (std::int64_t at = round * 100'000;; ++at) {
                store.write({{reading("w1", at), reading("w2", at), reading("w3", at)}, {{"2026-01-01", at}}, {}});
                if (::write(report[1], &at, sizeof at) != sizeof at) ::_exit(1);
            }
        }
        ::close(report[1]);
        std::int64_t at = 0;
        // Killed at a different instant each round: while opening, inside a write, between two.
        for (int seen = 0; seen < round % 7 * 5 && ::read(report[0], &at, sizeof at) == sizeof at; ++seen) reported.insert(at);
        ::usleep(static_cast<useconds_t>(round * 97));
        ::kill(child, SIGKILL);
        while (::read(report[0], &at, sizeof at) == sizeof at) reported.insert(at);
        ::close(report[0]);
        ::waitpid(child, nullptr, 0);
    }
    EXPECT_EQ(ask(path, "PRAGMA integrity_check"), "ok\n");
    std::string list;
    for (const auto at : reported) list += std::to_string(at) + ",";
    EXPECT_EQ(ask(path, "SELECT count(*) FROM readings WHERE taken_at IN (" + list + "-1)"),
              std::to_string(3 * reported.size()) + "\n");
    EXPECT_GT(reported.size(), 50u);
}

}  // namespace
}  // namespace tallyvane::test
