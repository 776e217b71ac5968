#include "app/history/alert_sender.h"

#include <algorithm>

#include "app/history/history_recorder.h"
#include "model/account_texts.h"
#include "model/alert_policy.h"
#include "model/unix_time.h"
#include "model/usage_model.h"
#include "platform/notifier.h"

namespace tallyvane {

AlertSender::AlertSender(std::shared_ptr<UsageModel> model, std::shared_ptr<HistoryRecorder> recorder,
                         std::shared_ptr<Notifier> notifier)
    : model_(std::move(model)), recorder_(std::move(recorder)), notifier_(std::move(notifier)) {}

void AlertSender::check() {
    const UsageModel& model = *model_;
    if (!recorder_->loaded() || !model.updated() || model.updated() == checked_) return;
    checked_ = model.updated();
    const HistorySnapshot& history = *recorder_->history();
    const std::int64_t now = unixSeconds(model.now());
    const auto recordOf = [&](const Alert& alert) {
        return AlertRecord{alert.windowId, alert.periodEnd, alertKindName(alert.kind), now};
    };
    const std::optional<Alert> limit = limitAlert(model.account(), model.windows(), asked_->limitWas, history.alerts);
    asked_->limitWas = limitReached(model.account(), model.windows());
    std::vector<Alert> due;
    for (const QuotaWindow& window : model.windows()) {
        std::vector<Reading> readings;
        for (const Reading& reading : history.readings)
            if (reading.windowId == window.id) readings.push_back(reading);
        const Forecast outlook = windowForecast(model, window, history);
        for (Alert& alert : dueAlerts(window, *model.updated(), readings, outlook, history.alerts))
            due.push_back(std::move(alert));
    }
    std::vector<AlertRecord> limitRecords;
    if (limit) limitRecords.push_back(recordOf(*limit));
    std::string limitSlot = "account";
    for (const Alert& alert : due) {
        // The 100 % alert takes the place of the 90 % one on screen.
        const bool used = alert.kind == AlertKind::Used90 || alert.kind == AlertKind::Used100;
        // Due from the same reading, the limit alert says more: it alone is shown, in this one's place,
        // and this one is recorded with it.
        if (limit && alert.kind == AlertKind::Used100) {
            limitSlot = alert.windowId;
            limitRecords.push_back(recordOf(alert));
        } else {
            show(alert, used ? alert.windowId : std::string(), {recordOf(alert)});
        }
    }
    if (limit) show(*limit, limitSlot, std::move(limitRecords));
}

void AlertSender::show(const Alert& alert, const std::string& slot, std::vector<AlertRecord> records) {
    const AlertRecord own = records.front();
    const auto same = [&](const AlertRecord& asked) { return sameAlert(asked, own); };
    if (std::any_of(asked_->awaiting.begin(), asked_->awaiting.end(), same)) return;
    asked_->awaiting.push_back(own);
    // Recorded only once the desktop showed it: at login its service is often not up yet, and the alert
    // is asked again at the next check. The recorder may outlive this sender.
    const bool limit = alert.kind == AlertKind::Limit;
    notifier_->notify(alert.summary, alert.body, slot,
                      [asked = std::weak_ptr(asked_), recorder = std::weak_ptr(recorder_), records = std::move(records),
                       own, limit](std::optional<std::uint32_t> id) {
                          if (auto state = asked.lock()) {
                              std::erase(state->awaiting, own);
                              // Not shown: due again while the limit holds, as if it had just been reached.
                              if (!id && limit) state->limitWas = false;
                          }
                          if (auto history = recorder.lock(); history && id) history->recordAlerts(records);
                      });
}

}  // namespace tallyvane
