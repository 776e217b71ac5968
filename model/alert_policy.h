#pragma once
// Which desktop alerts a window's fresh data calls for: each kind at most once per period, remembered
// through the alert records the history keeps.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/account_state.h"
#include "model/forecast.h"
#include "model/quota_window.h"
#include "platform/history_store.h"

namespace tallyvane {

enum class AlertKind { Used90, Used100, Forecast, Reset, Limit };

// The name kept in AlertRecord::kind: "used90", "used100", "forecast", "reset", "limit".
std::string alertKindName(AlertKind kind);

struct Alert {
    AlertKind kind;
    std::string windowId;
    std::int64_t periodEnd;  // the period it is shown once in (see each kind), 0 when there is none
    std::string summary;
    std::string body;
};

// Alerts due for one window after fresh data read at `readAt`. `readings` is the window's stored history
// (earlier periods included, the current value perhaps not yet); `sent` the alert records already stored.
std::vector<Alert> dueAlerts(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings,
                             const Forecast& f, const std::vector<AlertRecord>& sent);

// « Limite Codex atteinte » when the account's limit is reached and was not at the previous reading
// (`wasReached`, unknown at a run's first), once per period: the earliest reset of the windows at 100 %,
// 0 when none. A limit with no such reset has no period to tell its episodes apart, so one seen to begin
// during this run is shown again even when an earlier one was recorded.
std::optional<Alert> limitAlert(const AccountState& account, const std::vector<QuotaWindow>& windows,
                                std::optional<bool> wasReached, const std::vector<AlertRecord>& sent);

}  // namespace tallyvane
