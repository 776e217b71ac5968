#pragma once
// The history kept in a SQLite file. A fault never throws nor stops the program: it is said once in
// French through `warn`, what could not be stored waits in memory for a later write, and a damaged
// file is moved aside for a fresh one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/history_store.h"

namespace tallyvane {

class HistoryDatabase;

class SqliteHistoryStore final : public HistoryStore {
public:
    // Nothing is opened here: the file is opened, or created private, by the first call that needs it.
    // `warn` gets one-line French messages, on the thread that makes the calls.
    SqliteHistoryStore(std::string path, std::function<void(const std::string&)> warn);
    ~SqliteHistoryStore() override;
    SqliteHistoryStore(const SqliteHistoryStore&) = delete;
    SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

    // What is stored, with what still waits to be stored. What still waits when the store is
    // destroyed is lost: the file failed every time it was tried.
    HistorySnapshot load(std::int64_t since) override;
    void write(HistoryBatch batch) override;
    void prune(std::int64_t before) override;

private:
    // Runs `operation` on the database, opening it first when needed and starting afresh once when the
    // file proves damaged; false, and the fault said, when it could not be done.
    bool run(const std::function<int(HistoryDatabase&)>& operation);
    int open();
    // Says that history works again, once nothing waits any more.
    void settle();

    std::string path_;
    std::function<void(const std::string&)> warn_;
    std::unique_ptr<HistoryDatabase> database_;
    HistoryBatch pending_;
    std::string pausedBecause_;  // the message said for the fault in course, "" while all works
    bool dropSaid_ = false;
};

// $XDG_DATA_HOME/tallyvane/history.sqlite3 when XDG_DATA_HOME is an absolute path, else
// ~/.local/share/tallyvane/history.sqlite3; "" when neither is known.
std::string historyPath(const std::string& home, const std::string& xdgDataHome);

}  // namespace tallyvane
