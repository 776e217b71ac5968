#include "app/history/alert_sender.h"

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
    std::vector<AlertRecord> shown;
    for (const QuotaWindow& window : model.windows()) {
        std::vector<Reading> readings;
        for (const Reading& reading : history.readings)
            if (reading.windowId == window.id) readings.push_back(reading);
        const Forecast outlook = windowForecast(model, window, history);
        for (const Alert& alert : dueAlerts(window, *model.updated(), readings, outlook, history.alerts)) {
            // The 100 % alert takes the place of the 90 % one on screen.
            const bool used = alert.kind == AlertKind::Used90 || alert.kind == AlertKind::Used100;
            notifier_->notify(alert.summary, alert.body, used ? window.id : std::string());
            shown.push_back({alert.windowId, alert.periodEnd, alertKindName(alert.kind), now});
        }
    }
    if (!shown.empty()) recorder_->recordAlerts(shown);
}

}  // namespace tallyvane
