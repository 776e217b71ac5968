#pragma once
// Keeps the history of quota readings, daily token counts and sent alerts: in memory for this run's
// forecasts and charts, and in the history file when there is one. The file is only ever touched on
// a queue of its own, never on the main loop. Main thread only.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/executor.h"
#include "platform/history_store.h"
#include "platform/main_loop.h"

namespace tallyvane {

class UsageModel;

class HistoryRecorder : public std::enable_shared_from_this<HistoryRecorder> {
public:
    // Without a store (history turned off) this run's readings are kept in memory only.
    static std::shared_ptr<HistoryRecorder> create(std::shared_ptr<UsageModel> model, std::shared_ptr<MainLoop> loop,
                                                   std::shared_ptr<HistoryStore> store,
                                                   std::shared_ptr<Executor> storeQueue);
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    // Prunes the file, then loads what it keeps; `loaded` runs on the main thread once that is in
    // memory. The file is pruned again at the first reading of each new local day.
    void start(std::function<void()> loaded);
    // After each batch of changes of the model: records fresh quota data and daily counts.
    void modelChanged();
    // Alerts just shown.
    void recordAlerts(const std::vector<AlertRecord>& alerts);
    std::shared_ptr<const HistorySnapshot> history() const { return history_; }
    // What the file kept is in memory (at once without a file).
    bool loaded() const { return loaded_; }
    // At quit: hands the last changes to the store and gives it up to `limit` to store them.
    void finish(std::chrono::milliseconds limit);

private:
    HistoryRecorder(std::shared_ptr<UsageModel> model, std::shared_ptr<MainLoop> loop,
                    std::shared_ptr<HistoryStore> store, std::shared_ptr<Executor> storeQueue);
    void prune();
    void merge(HistorySnapshot stored, std::map<std::string, Reading> newest);
    void forgetOldReadings();
    void scheduleFlush();
    void flush();

    std::shared_ptr<UsageModel> model_;
    std::shared_ptr<MainLoop> loop_;
    std::shared_ptr<HistoryStore> store_;
    std::shared_ptr<Executor> storeQueue_;
    std::shared_ptr<HistorySnapshot> history_ = std::make_shared<HistorySnapshot>();
    std::function<void()> onLoaded_;
    bool loaded_ = false;
    int prunedDay_ = 0;  // the local day of the last pruning
    std::optional<Instant> seenQuota_;   // the model's `updated` last recorded
    std::optional<Instant> seenTokens_;  // its `tokenUpdated`
    std::map<std::string, Reading> lastStored_;  // by window id
    HistoryBatch pending_;
    bool flushQueued_ = false;
};

}  // namespace tallyvane
