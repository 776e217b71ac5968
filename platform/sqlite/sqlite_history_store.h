#pragma once
// The history kept in a SQLite file. A fault never throws nor stops the program: it is said once in
// French through `warn`, what could not be stored waits in memory for a later write, and a damaged
// file is moved aside for a fresh one. After a fault the file is left alone for 30 s, then twice as
// long after each further one, up to 10 minutes: a full disk costs next to nothing.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/history_store.h"

namespace tallyvane {

class HistoryDatabase;

class SqliteHistoryStore final : public HistoryStore {
public:
    using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

    // Nothing is opened here: the file is opened, or created private, by the first call that needs it.
    // `warn` gets one-line French messages, on the thread that makes the calls; `now` times the pauses.
    SqliteHistoryStore(std::string path, std::function<void(const std::string&)> warn,
                       SteadyNow now = std::chrono::steady_clock::now);
    ~SqliteHistoryStore() override;
    SqliteHistoryStore(const SqliteHistoryStore&) = delete;
    SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

    // What is stored, with what still waits to be stored (only what waits, during a pause). What still
    // waits when the store is destroyed is lost: the file failed every time it was tried.
    HistorySnapshot load(std::int64_t since) override;
    void write(HistoryBatch batch) override;
    void prune(std::int64_t before) override;

private:
    // Runs `operation` on the database, opening it first when needed and starting afresh once when the
    // file proves damaged; false, and the fault said, when it could not be done or the file is paused.
    bool run(const std::function<int(HistoryDatabase&)>& operation);
    int open();
    // Says that history works again, once nothing waits any more.
    void settle();

    std::string path_;
    std::function<void(const std::string&)> warn_;
    SteadyNow now_;
    std::unique_ptr<HistoryDatabase> database_;
    std::optional<std::pair<dev_t, ino_t>> checkedFile_;  // the file whose integrity was checked
    std::chrono::seconds pause_{0};                       // since the last fault; 0 while all works
    std::chrono::steady_clock::time_point retryAt_;
    HistoryBatch pending_;
    std::string pausedBecause_;  // the message said for the fault in course, "" while all works
    bool dropSaid_ = false;
};

// $XDG_DATA_HOME/tallyvane/history.sqlite3 when XDG_DATA_HOME is an absolute path, else
// ~/.local/share/tallyvane/history.sqlite3; "" when neither is known.
std::string historyPath(const std::string& home, const std::string& xdgDataHome);

}  // namespace tallyvane
