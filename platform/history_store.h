#pragma once
// The local history of quota readings, daily token counts and sent alerts. Every call of one
// store is made from one thread, never the main one: storing may wait on the disk.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallyvane {

// One quota window as read at `takenAt`. Times are Unix seconds.
struct Reading {
    std::string windowId;
    std::int64_t takenAt = 0;
    double usedPercent = 0;
    std::optional<std::int64_t> resetsAt;
    std::optional<std::int64_t> durationMins;
    std::string name;

    bool operator==(const Reading&) const = default;
};

// Tokens Codex counted on one day; `day` is its key as Codex gives it ("yyyy-MM-dd").
struct DailyTokens {
    std::string day;
    std::int64_t tokens = 0;

    bool operator==(const DailyTokens&) const = default;
};

// An alert already shown: `kind` is "used90", "used100", "forecast" or "reset"; `periodEnd` the
// first reset time seen for the window's period, 0 when it has none.
struct AlertRecord {
    std::string windowId;
    std::int64_t periodEnd = 0;
    std::string kind;
    std::int64_t sentAt = 0;

    bool operator==(const AlertRecord&) const = default;
};

// Whether two records are of the same alert: the same window, period and kind, whenever it was shown.
inline bool sameAlert(const AlertRecord& a, const AlertRecord& b) {
    return a.windowId == b.windowId && a.periodEnd == b.periodEnd && a.kind == b.kind;
}

// What one burst of changes adds; rows with the same key replace the stored ones.
struct HistoryBatch {
    std::vector<Reading> readings;
    std::vector<DailyTokens> dailyTokens;
    std::vector<AlertRecord> alerts;

    bool empty() const { return readings.empty() && dailyTokens.empty() && alerts.empty(); }
};

struct HistorySnapshot {
    std::vector<Reading> readings;  // oldest first
    std::vector<DailyTokens> dailyTokens;
    std::vector<AlertRecord> alerts;
};

class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    // What is kept: readings taken at `since` or later, every daily count and every alert.
    virtual HistorySnapshot load(std::int64_t since) = 0;
    // One transaction. A batch that cannot be stored now is kept and stored with the next call.
    virtual void write(HistoryBatch batch) = 0;
    // Forgets readings and alerts older than `before`, and days before its date.
    virtual void prune(std::int64_t before) = 0;
};

}  // namespace tallyvane
