#include "app/history/history_recorder.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <future>
#include <iterator>

#include "model/reading_rules.h"
#include "model/unix_time.h"
#include "model/usage_model.h"

namespace tallyvane {
namespace {

constexpr std::int64_t day = 24 * 60 * 60;
constexpr std::int64_t keptInFile = 90 * day;
// Enough for the current and the previous period of a weekly window, which forecasts and alerts read.
constexpr std::int64_t keptInMemory = 15 * day;

template <typename Row, typename SameKey>
void upsert(std::vector<Row>& rows, const Row& row, SameKey sameKey) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const Row& kept) { return sameKey(kept, row); });
    if (found != rows.end()) *found = row;
    else rows.push_back(row);
}

// The user's calendar day of `t` as one comparable number, in the zone TZ or the system says now.
int localDay(Instant t) {
    const std::time_t time = unixSeconds(t);
    std::tm parts{};
    ::tzset();
    ::localtime_r(&time, &parts);
    return parts.tm_year * 400 + parts.tm_yday;
}

bool sameDay(const DailyTokens& a, const DailyTokens& b) { return a.day == b.day; }

}  // namespace

std::shared_ptr<HistoryRecorder> HistoryRecorder::create(std::shared_ptr<UsageModel> model,
                                                         std::shared_ptr<MainLoop> loop,
                                                         std::shared_ptr<HistoryStore> store,
                                                         std::shared_ptr<Executor> storeQueue) {
    return std::shared_ptr<HistoryRecorder>(
        new HistoryRecorder(std::move(model), std::move(loop), std::move(store), std::move(storeQueue)));
}

HistoryRecorder::HistoryRecorder(std::shared_ptr<UsageModel> model, std::shared_ptr<MainLoop> loop,
                                 std::shared_ptr<HistoryStore> store, std::shared_ptr<Executor> storeQueue)
    : model_(std::move(model)),
      loop_(std::move(loop)),
      store_(std::move(store)),
      storeQueue_(std::move(storeQueue)) {}

void HistoryRecorder::start(std::function<void()> loaded) {
    onLoaded_ = std::move(loaded);
    std::weak_ptr<HistoryRecorder> weak = weak_from_this();
    prunedDay_ = localDay(model_->now());
    if (!store_) {
        loaded_ = true;
        return;
    }
    const std::int64_t now = unixSeconds(model_->now());
    storeQueue_->post([store = store_, loop = loop_, weak, now] {
        store->prune(now - keptInFile);
        HistorySnapshot stored = store->load(now - keptInMemory);
        // Found here, off the main loop: the newest row of each window, from where the rules go on.
        std::map<std::string, Reading> newest;
        for (const Reading& reading : stored.readings) newest.insert_or_assign(reading.windowId, reading);
        loop->post([weak, stored = std::move(stored), newest = std::move(newest)]() mutable {
            if (auto recorder = weak.lock()) recorder->merge(std::move(stored), std::move(newest));
        });
    });
}

void HistoryRecorder::prune() {
    forgetOldReadings();
    if (!store_) return;
    storeQueue_->post([store = store_, before = unixSeconds(model_->now()) - keptInFile] { store->prune(before); });
}

// The file's rows, oldest first, then what this run recorded before they came in.
void HistoryRecorder::merge(HistorySnapshot stored, std::map<std::string, Reading> newest) {
    HistorySnapshot& history = *history_;
    const std::int64_t newestStored = stored.readings.empty() ? INT64_MIN : stored.readings.back().takenAt;
    for (Reading& reading : history.readings)
        if (reading.takenAt > newestStored) stored.readings.push_back(std::move(reading));
    for (const DailyTokens& count : history.dailyTokens) upsert(stored.dailyTokens, count, sameDay);
    for (const AlertRecord& alert : history.alerts) upsert(stored.alerts, alert, sameAlert);
    history = std::move(stored);
    lastStored_.merge(newest);  // keeps this run's rows, newer than the file's

    loaded_ = true;
    if (onLoaded_) onLoaded_();
}

void HistoryRecorder::forgetOldReadings() {
    const std::int64_t oldest = unixSeconds(model_->now()) - keptInMemory;
    std::erase_if(history_->readings, [&](const Reading& reading) { return reading.takenAt < oldest; });
}

void HistoryRecorder::modelChanged() {
    const UsageModel& model = *model_;
    if (model.updated() && model.updated() != seenQuota_) {
        seenQuota_ = model.updated();
        // By the calendar rather than a timer, which stops while the machine sleeps.
        if (const int today = localDay(*model.updated()); today != prunedDay_) {
            prunedDay_ = today;
            prune();
        }
        for (const QuotaWindow& window : model.windows()) {
            Reading reading = readingOf(window, *model.updated());
            const auto last = lastStored_.find(window.id);
            if (!worthStoring(last == lastStored_.end() ? std::nullopt : std::optional(last->second), reading))
                continue;
            lastStored_[window.id] = reading;
            history_->readings.push_back(reading);
            pending_.readings.push_back(std::move(reading));
        }
    }
    if (model.tokenUpdated() && model.tokenUpdated() != seenTokens_) {
        seenTokens_ = model.tokenUpdated();
        for (const DailyTokens& count : model.dailyTokens()) {
            upsert(history_->dailyTokens, count, sameDay);
            upsert(pending_.dailyTokens, count, sameDay);
        }
    }
    scheduleFlush();
}

void HistoryRecorder::recordAlerts(const std::vector<AlertRecord>& alerts) {
    for (const AlertRecord& alert : alerts) {
        upsert(history_->alerts, alert, sameAlert);
        pending_.alerts.push_back(alert);
    }
    scheduleFlush();
}

// One transaction per burst of changes: the batch goes to the store at the end of the loop turn.
void HistoryRecorder::scheduleFlush() {
    if (flushQueued_ || pending_.empty()) return;
    flushQueued_ = true;
    std::weak_ptr<HistoryRecorder> weak = weak_from_this();
    loop_->post([weak] {
        if (auto recorder = weak.lock()) recorder->flush();
    });
}

void HistoryRecorder::flush() {
    flushQueued_ = false;
    if (pending_.empty()) return;
    HistoryBatch batch = std::exchange(pending_, {});
    if (store_) storeQueue_->post([store = store_, batch = std::move(batch)]() mutable { store->write(std::move(batch)); });
}

void HistoryRecorder::finish(std::chrono::milliseconds limit) {
    flush();
    if (!store_) return;
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> stored = done->get_future();
    storeQueue_->post([done] { done->set_value(); });
    stored.wait_for(limit);
}

}  // namespace tallyvane
