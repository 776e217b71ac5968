#include "platform/sqlite/history_database.h"

#include <sqlite3.h>

#include <optional>

namespace tallyvane {
namespace {

// The tables are an interface for users' own scripts: change them only with user_version. SQLite
// keeps each CREATE from the table's name on, so the stored text reads exactly as documented.
constexpr const char* schema = R"(BEGIN IMMEDIATE;
CREATE TABLE IF NOT EXISTS readings (window_id TEXT NOT NULL, taken_at INTEGER NOT NULL, used_percent REAL NOT NULL,
                       resets_at INTEGER, duration_mins INTEGER, name TEXT NOT NULL,
                       PRIMARY KEY (window_id, taken_at));
CREATE TABLE IF NOT EXISTS daily_tokens (day TEXT PRIMARY KEY, tokens INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS alerts (window_id TEXT NOT NULL, period_end INTEGER NOT NULL, kind TEXT NOT NULL, sent_at INTEGER NOT NULL,
                     PRIMARY KEY (window_id, period_end, kind));
PRAGMA user_version = 1;
COMMIT;)";

// Another program holding the write lock makes a write wait this long before it is kept for later.
constexpr int busyTimeoutMs = 100;

void bind(sqlite3_stmt* statement, int index, std::int64_t value) { sqlite3_bind_int64(statement, index, value); }
void bind(sqlite3_stmt* statement, int index, double value) { sqlite3_bind_double(statement, index, value); }
void bind(sqlite3_stmt* statement, int index, const std::string& value) {
    sqlite3_bind_text(statement, index, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
}
void bind(sqlite3_stmt* statement, int index, const std::optional<std::int64_t>& value) {
    if (value)
        bind(statement, index, *value);
    else
        sqlite3_bind_null(statement, index);
}

// Binds `values` in order and steps through every row, handing each to `row`.
template <class Row, class... Values>
int query(sqlite3_stmt* statement, Row row, const Values&... values) {
    int index = 0;
    (bind(statement, ++index, values), ...);
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

template <class... Values>
int execute(sqlite3_stmt* statement, const Values&... values) {
    return query(statement, [](sqlite3_stmt*) {}, values...);
}

std::string text(sqlite3_stmt* statement, int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

std::optional<std::int64_t> optionalInteger(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(statement, column);
}

// The first column of the first row `sql` answers.
int firstValue(sqlite3* connection, const char* sql, std::string& value) {
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) value = text(statement, 0);
        rc = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3_finalize(statement);
    return rc;
}

}  // namespace

void HistoryDatabase::Close::operator()(sqlite3* connection) const { sqlite3_close_v2(connection); }
void HistoryDatabase::Finalize::operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }

HistoryDatabase::~HistoryDatabase() = default;

int HistoryDatabase::open(const std::string& path, bool check, std::unique_ptr<HistoryDatabase>& out) {
    sqlite3* connection = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    std::unique_ptr<HistoryDatabase> database(new HistoryDatabase(connection));
    // Closing would otherwise fold the log into a file that may prove damaged, or delete it.
    database->keepLogsOnClose(true);
    const int rc = opened != SQLITE_OK ? opened : database->setUp(check);
    if (rc != SQLITE_OK) return rc;
    database->keepLogsOnClose(false);
    out = std::move(database);
    return rc;
}

void HistoryDatabase::keepLogsOnClose(bool keep) {
    sqlite3_db_config(connection_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, keep ? 1 : 0, nullptr);
}

int HistoryDatabase::setUp(bool check) {
    sqlite3* connection = connection_.get();
    // SQLite falls back to reading only when it may not write; history must be written.
    if (sqlite3_db_readonly(connection, "main") != 0) return SQLITE_READONLY;
    sqlite3_busy_timeout(connection, busyTimeoutMs);
    std::string verdict = "ok";
    if (int rc = check ? firstValue(connection, "PRAGMA integrity_check(1)", verdict) : SQLITE_OK; rc != SQLITE_OK)
        return rc;
    if (verdict != "ok") return SQLITE_CORRUPT;
    // A file system without shared memory answers with the mode kept (the rollback journal): fine too.
    // With the log, NORMAL loses no committed transaction when the process dies, only on power loss.
    std::string version;
    if (int rc = sqlite3_exec(connection, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        rc != SQLITE_OK)
        return rc;
    if (int rc = firstValue(connection, "PRAGMA user_version", version); rc != SQLITE_OK) return rc;
    if (version == "0")
        if (int rc = sqlite3_exec(connection, schema, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
            if (!sqlite3_get_autocommit(connection)) sqlite3_exec(connection, "ROLLBACK", nullptr, nullptr, nullptr);
            return rc;
        }
    const std::pair<const char*, Statement*> statements[] = {
        {"BEGIN", &beginRead_},
        {"BEGIN IMMEDIATE", &beginWrite_},
        {"COMMIT", &commit_},
        {"ROLLBACK", &rollback_},
        {"INSERT OR REPLACE INTO readings (window_id, taken_at, used_percent, resets_at, duration_mins, name) "
         "VALUES (?, ?, ?, ?, ?, ?)",
         &putReading_},
        {"INSERT INTO daily_tokens (day, tokens) VALUES (?, ?) ON CONFLICT (day) DO UPDATE SET tokens = excluded.tokens",
         &putDailyTokens_},
        {"INSERT OR REPLACE INTO alerts (window_id, period_end, kind, sent_at) VALUES (?, ?, ?, ?)", &putAlert_},
        {"SELECT window_id, taken_at, used_percent, resets_at, duration_mins, name FROM readings "
         "WHERE taken_at >= ? ORDER BY taken_at, window_id",
         &readings_},
        {"SELECT day, tokens FROM daily_tokens ORDER BY day", &dailyTokens_},
        {"SELECT window_id, period_end, kind, sent_at FROM alerts ORDER BY window_id, period_end, kind", &alerts_},
        {"DELETE FROM readings WHERE taken_at < ?", &forgetReadings_},
        {"DELETE FROM daily_tokens WHERE day < ?", &forgetDays_},
        {"DELETE FROM alerts WHERE sent_at < ?", &forgetAlerts_},
    };
    for (const auto& [sql, statement] : statements)
        if (int rc = prepare(sql, *statement); rc != SQLITE_OK) return rc;
    return SQLITE_OK;
}

int HistoryDatabase::prepare(const char* sql, Statement& statement) {
    sqlite3_stmt* prepared = nullptr;
    const int rc = sqlite3_prepare_v3(connection_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
    statement.reset(prepared);
    return rc;
}

template <class Steps>
int HistoryDatabase::transaction(sqlite3_stmt* begin, Steps steps) {
    int rc = execute(begin);
    if (rc != SQLITE_OK) return rc;
    rc = steps();
    if (rc == SQLITE_OK) rc = execute(commit_.get());
    if (rc != SQLITE_OK && !sqlite3_get_autocommit(connection_.get())) execute(rollback_.get());
    return rc;
}

int HistoryDatabase::store(const HistoryBatch& batch) {
    return transaction(beginWrite_.get(), [&] {
        for (const auto& r : batch.readings)
            if (int rc = execute(putReading_.get(), r.windowId, r.takenAt, r.usedPercent, r.resetsAt, r.durationMins, r.name);
                rc != SQLITE_OK)
                return rc;
        for (const auto& count : batch.dailyTokens)
            if (int rc = execute(putDailyTokens_.get(), count.day, count.tokens); rc != SQLITE_OK) return rc;
        for (const auto& alert : batch.alerts)
            if (int rc = execute(putAlert_.get(), alert.windowId, alert.periodEnd, alert.kind, alert.sentAt); rc != SQLITE_OK)
                return rc;
        return SQLITE_OK;
    });
}

int HistoryDatabase::read(std::int64_t since, HistorySnapshot& snapshot) {
    HistorySnapshot found;
    const int rc = transaction(beginRead_.get(), [&] {
        int step = query(
            readings_.get(),
            [&](sqlite3_stmt* row) {
                found.readings.push_back({text(row, 0), sqlite3_column_int64(row, 1), sqlite3_column_double(row, 2),
                                          optionalInteger(row, 3), optionalInteger(row, 4), text(row, 5)});
            },
            since);
        if (step == SQLITE_OK)
            step = query(dailyTokens_.get(), [&](sqlite3_stmt* row) {
                found.dailyTokens.push_back({text(row, 0), sqlite3_column_int64(row, 1)});
            });
        if (step == SQLITE_OK)
            step = query(alerts_.get(), [&](sqlite3_stmt* row) {
                found.alerts.push_back(
                    {text(row, 0), sqlite3_column_int64(row, 1), text(row, 2), sqlite3_column_int64(row, 3)});
            });
        return step;
    });
    if (rc == SQLITE_OK) snapshot = std::move(found);
    return rc;
}

int HistoryDatabase::prune(std::int64_t before, const std::string& firstKeptDay) {
    return transaction(beginWrite_.get(), [&] {
        int step = execute(forgetReadings_.get(), before);
        if (step == SQLITE_OK) step = execute(forgetDays_.get(), firstKeptDay);
        if (step == SQLITE_OK) step = execute(forgetAlerts_.get(), before);
        return step;
    });
}

}  // namespace tallyvane
