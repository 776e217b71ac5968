#include "app/history/alert_sender.h"

#include <algorithm>

#include "app/history/history_recorder.h"
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
    std::vector<Alert> due;
    for (const QuotaWindow& window : model.windows()) {
        std::vector<Reading> readings;
        for (const Reading& reading : history.readings)
            if (reading.windowId == window.id) readings.push_back(reading);
        const Forecast outlook = windowForecast(model, window, history);
        for (Alert& alert : dueAlerts(window, *model.updated(), readings, outlook, history.alerts))
            due.push_back(std::move(alert));
    }
    for (const Alert& alert : due) show(alert, AlertRecord{alert.windowId, alert.periodEnd, alertKindName(alert.kind), now});
}

void AlertSender::show(const Alert& alert, const AlertRecord& record) {
    const auto same = [&](const AlertRecord& asked) { return sameAlert(asked, record); };
    if (std::any_of(awaiting_->begin(), awaiting_->end(), same)) return;
    awaiting_->push_back(record);
    // The 100 % alert takes the place of the 90 % one on screen.
    const bool used = alert.kind == AlertKind::Used90 || alert.kind == AlertKind::Used100;
    // Recorded only once the desktop showed it: at login its service is often not up yet, and the
    // alert is asked again at the next check. The recorder may outlive this sender.
    notifier_->notify(alert.summary, alert.body, used ? alert.windowId : std::string(),
                      [awaiting = std::weak_ptr(awaiting_), recorder = std::weak_ptr(recorder_),
                       record](std::optional<std::uint32_t> id) {
                          if (auto asked = awaiting.lock()) std::erase(*asked, record);
                          if (auto history = recorder.lock(); history && id) history->recordAlerts({record});
                      });
}

}  // namespace tallyvane
