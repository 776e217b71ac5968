#include "model/alert_policy.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/account_texts.h"
#include "model/formatting.h"
#include "model/unix_time.h"

namespace tallyvane {
namespace {

bool recorded(const std::vector<AlertRecord>& sent, const std::string& windowId, AlertKind kind, std::int64_t end) {
    const std::string name = alertKindName(kind);
    return std::any_of(sent.begin(), sent.end(), [&](const AlertRecord& record) {
        return record.windowId == windowId && record.kind == name && sameReset(record.periodEnd, end);
    });
}

// The previous period is made of the readings whose reset is the latest one more than 60 s before the
// current period's; it reached 90 % when one of them did, or when an alert said so.
bool previousPeriodReached90(const QuotaWindow& window, const std::vector<Reading>& readings,
                             const std::vector<AlertRecord>& sent, std::int64_t end) {
    std::vector<const Reading*> earlier;
    std::optional<std::int64_t> latest;
    for (const Reading& reading : readings) {
        if (reading.windowId != window.id || !reading.resetsAt) continue;
        const std::int64_t reset = *reading.resetsAt;
        if (reset >= end || sameReset(reset, end)) continue;
        earlier.push_back(&reading);
        if (!latest || reset > *latest) latest = reset;
    }
    if (!latest) return false;
    const Reading* first = nullptr;
    for (const Reading* reading : earlier) {
        if (!sameReset(*reading->resetsAt, *latest)) continue;
        if (reading->usedPercent >= 90) return true;
        if (first == nullptr || reading->takenAt < first->takenAt) first = reading;
    }
    // Its alerts were filed under the first reset seen for it.
    const std::int64_t previousEnd = *first->resetsAt;
    return recorded(sent, window.id, AlertKind::Used90, previousEnd) ||
           recorded(sent, window.id, AlertKind::Used100, previousEnd);
}

}  // namespace

std::string alertKindName(AlertKind kind) {
    switch (kind) {
    case AlertKind::Used90: return "used90";
    case AlertKind::Used100: return "used100";
    case AlertKind::Forecast: return "forecast";
    case AlertKind::Reset: return "reset";
    case AlertKind::Limit: return "limit";
    }
    return {};
}

std::int64_t periodEnd(const QuotaWindow& window, const std::vector<Reading>& readings) {
    if (!window.reset) return 0;
    const std::vector<Reading> period = periodReadings(window, readings);
    return period.empty() ? unixSeconds(*window.reset) : *period.front().resetsAt;
}

std::vector<Alert> dueAlerts(const QuotaWindow& window, const std::vector<Reading>& readings, const Forecast& f,
                             const std::vector<AlertRecord>& sent) {
    std::vector<Alert> alerts;
    const double used = window.used;
    if (!std::isfinite(used)) return alerts;
    const std::int64_t end = periodEnd(window, readings);
    const auto due = [&](AlertKind kind) { return !recorded(sent, window.id, kind, end); };
    const auto add = [&](AlertKind kind, std::string summary, std::string body) {
        alerts.push_back({kind, window.id, end, std::move(summary), std::move(body)});
    };
    const std::string quota = "Quota " + window.name;
    const std::string percent = std::to_string(roundedPercent(used)) + " % utilisés";
    const std::string reset = window.reset ? resetStamp(*window.reset) : "date de réinitialisation inconnue";

    if (window.reset && due(AlertKind::Reset) && previousPeriodReached90(window, readings, sent, end))
        add(AlertKind::Reset, quota + " réinitialisé", percent + ".");
    if (used >= 100) {
        if (due(AlertKind::Used100)) add(AlertKind::Used100, quota + " épuisé", "Réinitialisation : " + reset + ".");
    } else if (used >= 90 && due(AlertKind::Used90) && due(AlertKind::Used100)) {
        add(AlertKind::Used90, quota + " : " + percent, "Réinitialisation : " + reset + ".");
    }
    if (f.exhausted && used >= 50 && due(AlertKind::Forecast))
        add(AlertKind::Forecast, quota + " épuisé vers " + resetStamp(*f.exhausted) + " au rythme actuel",
            percent + " · réinitialisation : " + reset + ".");
    return alerts;
}

std::optional<Alert> limitAlert(const AccountState& account, const std::vector<QuotaWindow>& windows,
                                std::optional<bool> wasReached, const std::vector<AlertRecord>& sent) {
    if (!limitReached(account, windows) || wasReached == true) return std::nullopt;
    const auto reset = limitReset(windows);
    const std::int64_t end = reset ? unixSeconds(*reset) : 0;
    if (recorded(sent, "account", AlertKind::Limit, end) && (end != 0 || !wasReached.has_value())) return std::nullopt;
    return Alert{AlertKind::Limit, "account", end, limitAlertSummary, limitAlertBody(account, windows)};
}

}  // namespace tallyvane
