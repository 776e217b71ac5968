#pragma once
// Shows the quota alerts that fresh data calls for, once each per window and period: what the desktop
// showed is recorded in the history, so a restart does not show it again. Main thread only.
#include <memory>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/history_store.h"

namespace tallyvane {

struct Alert;
class HistoryRecorder;
class Notifier;
class UsageModel;

class AlertSender {
public:
    AlertSender(std::shared_ptr<UsageModel> model, std::shared_ptr<HistoryRecorder> recorder,
                std::shared_ptr<Notifier> notifier);
    // After each batch of changes of the model, and once the history is loaded: before that, what
    // an earlier run already showed is not known yet.
    void check();

private:
    void show(const Alert& alert, const AlertRecord& record);

    std::shared_ptr<UsageModel> model_;
    std::shared_ptr<HistoryRecorder> recorder_;
    std::shared_ptr<Notifier> notifier_;
    std::optional<Instant> checked_;  // the model's `updated` last looked at
    // Alerts asked of the desktop whose answer has not come yet: never asked twice meanwhile.
    std::shared_ptr<std::vector<AlertRecord>> awaiting_ = std::make_shared<std::vector<AlertRecord>>();
};

}  // namespace tallyvane
