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

// A period's alerts are filed under the first reset time seen for it.
std::optional<std::int64_t> firstReset(const std::vector<Reading>& period) {
    const auto found = std::find_if(period.begin(), period.end(), [](const Reading& r) { return r.resetsAt.has_value(); });
    return found == period.end() ? std::nullopt : found->resetsAt;
}

// The first reset time seen for the window's current period, else its own; 0 when it has none.
std::int64_t endOf(const QuotaWindow& window, const WindowPeriods& periods) {
    return window.reset ? firstReset(periods.current).value_or(unixSeconds(*window.reset)) : 0;
}

// A period reached 90 % when one of its readings did, or when an alert said so.
bool reached90(const std::string& windowId, const std::vector<Reading>& period, const std::vector<AlertRecord>& sent) {
    if (std::any_of(period.begin(), period.end(), [](const Reading& r) { return r.usedPercent >= 90; })) return true;
    const std::optional<std::int64_t> end = firstReset(period);
    return end && (recorded(sent, windowId, AlertKind::Used90, *end) || recorded(sent, windowId, AlertKind::Used100, *end));
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

std::vector<Alert> dueAlerts(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings,
                             const Forecast& f, const std::vector<AlertRecord>& sent) {
    std::vector<Alert> alerts;
    const double used = window.used;
    if (!std::isfinite(used)) return alerts;
    const WindowPeriods periods = windowPeriods(window, readAt, readings);
    const std::int64_t end = endOf(window, periods);
    const auto due = [&](AlertKind kind) { return !recorded(sent, window.id, kind, end); };
    const auto add = [&](AlertKind kind, std::string summary, std::string body) {
        alerts.push_back({kind, window.id, end, std::move(summary), std::move(body)});
    };
    const std::string quota = "Quota " + window.name;
    const std::string percent = std::to_string(roundedPercent(used)) + " % utilisés";
    const std::string reset = window.reset ? resetStamp(*window.reset) : "date de réinitialisation inconnue";

    if (window.reset && due(AlertKind::Reset) && reached90(window.id, periods.previous, sent))
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
