#pragma once
// One open history file: checked, its schema in place and its statements prepared for its whole
// life. Calls answer SQLite result codes; SQLITE_NOTADB and SQLITE_CORRUPT mean a damaged file.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/history_store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tallyvane {

class HistoryDatabase {
public:
    // Opens the existing file at `path` (an empty one becomes a new history); `out` is set on SQLITE_OK.
    // The file's integrity is checked first when `check` is set: it reads the whole file.
    static int open(const std::string& path, bool check, std::unique_ptr<HistoryDatabase>& out);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // All of `batch` in one transaction, or nothing of it.
    int store(const HistoryBatch& batch);
    // `snapshot` is filled only on SQLITE_OK.
    int read(std::int64_t since, HistorySnapshot& snapshot);
    int prune(std::int64_t before, const std::string& firstKeptDay);
    // Leaves the "-wal" and "-shm" files as they are when closing, for a file moved aside as damaged.
    void keepLogsOnClose(bool keep);

private:
    struct Close {
        void operator()(sqlite3* connection) const;
    };
    struct Finalize {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

    explicit HistoryDatabase(sqlite3* connection) : connection_(connection) {}
    int setUp(bool check);
    int prepare(const char* sql, Statement& statement);
    // Runs `steps` inside the transaction `begin` opens; rolled back unless everything succeeded.
    template <class Steps>
    int transaction(sqlite3_stmt* begin, Steps steps);

    std::unique_ptr<sqlite3, Close> connection_;  // first, so closed after every statement is finalized
    Statement beginRead_, beginWrite_, commit_, rollback_;
    Statement putReading_, putDailyTokens_, putAlert_;
    Statement readings_, dailyTokens_, alerts_;
    Statement forgetReadings_, forgetDays_, forgetAlerts_;
};

}  // namespace tallyvane
