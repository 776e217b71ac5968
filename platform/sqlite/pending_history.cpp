#include "platform/sqlite/pending_history.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <tuple>
#include <utility>

namespace tallyvane {
namespace {

auto readingKey(const Reading& reading) { return std::tuple(reading.takenAt, reading.windowId); }
auto dayKey(const DailyTokens& count) { return count.day; }
auto alertKey(const AlertRecord& alert) { return std::tuple(alert.windowId, alert.periodEnd, alert.kind); }

template <class Row, class Key>
void replaceOrAppend(std::vector<Row>& rows, Row row, Key key) {
    const auto same = std::find_if(rows.begin(), rows.end(), [&](const Row& kept) { return key(kept) == key(row); });
    if (same != rows.end())
        *same = std::move(row);
    else
        rows.push_back(std::move(row));
}

// `rows` with `newer` replacing the rows of the same key, in key order.
template <class Row, class Key, class Keep>
void overlay(std::vector<Row>& rows, const std::vector<Row>& newer, Key key, Keep keep) {
    std::map<decltype(key(std::declval<const Row&>())), Row> merged;
    for (auto& row : rows) merged.insert_or_assign(key(row), std::move(row));
    for (const auto& row : newer)
        if (keep(row)) merged.insert_or_assign(key(row), row);
    rows.clear();
    for (auto& entry : merged) rows.push_back(std::move(entry.second));
}

}  // namespace

void mergePending(HistoryBatch& pending, HistoryBatch batch) {
    std::move(batch.readings.begin(), batch.readings.end(), std::back_inserter(pending.readings));
    for (auto& count : batch.dailyTokens) replaceOrAppend(pending.dailyTokens, std::move(count), dayKey);
    for (auto& alert : batch.alerts) replaceOrAppend(pending.alerts, std::move(alert), alertKey);
}

bool dropOldestReadings(HistoryBatch& pending, std::size_t maxReadings) {
    if (pending.readings.size() <= maxReadings) return false;
    pending.readings.erase(pending.readings.begin(),
                           pending.readings.end() - static_cast<std::ptrdiff_t>(maxReadings));
    return true;
}

void overlayPending(HistorySnapshot& snapshot, const HistoryBatch& pending, std::int64_t since) {
    const auto all = [](const auto&) { return true; };
    overlay(snapshot.readings, pending.readings, readingKey, [&](const Reading& r) { return r.takenAt >= since; });
    overlay(snapshot.dailyTokens, pending.dailyTokens, dayKey, all);
    overlay(snapshot.alerts, pending.alerts, alertKey, all);
}

void prunePending(HistoryBatch& pending, std::int64_t before, const std::string& firstKeptDay) {
    std::erase_if(pending.readings, [&](const Reading& reading) { return reading.takenAt < before; });
    std::erase_if(pending.dailyTokens, [&](const DailyTokens& count) { return count.day < firstKeptDay; });
    std::erase_if(pending.alerts, [&](const AlertRecord& alert) { return alert.sentAt < before; });
}

}  // namespace tallyvane
