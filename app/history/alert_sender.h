#pragma once
// Shows the quota alerts that fresh data calls for, once each per window and period: what the desktop
// showed is recorded in the history, so a restart does not show it again. Main thread only.
#include <memory>
#include <optional>
#include <string>
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
    // Shows `alert` in `slot`; `records` (its own first) are recorded once the desktop showed it.
    void show(const Alert& alert, const std::string& slot, std::vector<AlertRecord> records);

    std::shared_ptr<UsageModel> model_;
    std::shared_ptr<HistoryRecorder> recorder_;
    std::shared_ptr<Notifier> notifier_;
    std::optional<Instant> checked_;  // the model's `updated` last looked at
    // What the desktop's answers change, apart, so that an answer coming after this sender is harmless.
    struct Asked {
        std::vector<AlertRecord> awaiting;  // asked of the desktop, no answer yet: never asked twice meanwhile
        std::optional<bool> limitWas;       // whether the limit was reached at the last reading (and not lost)
    };
    std::shared_ptr<Asked> asked_ = std::make_shared<Asked>();
};

}  // namespace tallyvane
