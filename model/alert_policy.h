#pragma once
// Which desktop alerts a window's fresh data calls for: each kind at most once per period, remembered
// through the alert records the history keeps.
#include <cstdint>
#include <string>
#include <vector>

#include "model/forecast.h"
#include "model/quota_window.h"
#include "platform/history_store.h"

namespace tallyvane {

enum class AlertKind { Used90, Used100, Forecast, Reset };

// The name kept in AlertRecord::kind: "used90", "used100", "forecast", "reset".
std::string alertKindName(AlertKind kind);

struct Alert {
    AlertKind kind;
    std::string windowId;
    std::int64_t periodEnd;  // the first reset time seen for the window's period, 0 when it has none
    std::string summary;
    std::string body;
};

// Alerts due for one window after fresh data read at `readAt`. `readings` is the window's stored history
// (earlier periods included, the current value perhaps not yet); `sent` the alert records already stored.
std::vector<Alert> dueAlerts(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings,
                             const Forecast& f, const std::vector<AlertRecord>& sent);

}  // namespace tallyvane
