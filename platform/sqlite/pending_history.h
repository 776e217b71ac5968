#pragma once
// What could not be stored yet: batches merged in order, bounded so that a long pause cannot grow
// memory without end, and shown with what is stored so a pause hides nothing already recorded.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/history_store.h"

namespace tallyvane {

// Appends `batch` to `pending`; a daily count or alert replaces a pending one with the same key.
void mergePending(HistoryBatch& pending, HistoryBatch batch);

// Keeps the newest `maxReadings` pending readings; true when older ones were dropped.
bool dropOldestReadings(HistoryBatch& pending, std::size_t maxReadings);

// `snapshot` as it will be once `pending` is stored: pending rows replace stored ones with their key.
void overlayPending(HistorySnapshot& snapshot, const HistoryBatch& pending, std::int64_t since);

// Forgets pending readings and alerts older than `before`, and days before `firstKeptDay`.
void prunePending(HistoryBatch& pending, std::int64_t before, const std::string& firstKeptDay);

}  // namespace tallyvane
