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
    std::int64_t periodEnd;
    std::string summary;
    std::string body;
};

// The first reset time seen for the window's current period (Unix s), 0 when the window has no reset:
// the resetsAt of the earliest reading of periodReadings, else the window's own reset.
std::int64_t periodEnd(const QuotaWindow& window, const std::vector<Reading>& readings);

// Alerts due for one window after fresh data. `readings` is the window's stored history (earlier periods
// included, the current value perhaps not yet); `sent` the alert records already stored.
std::vector<Alert> dueAlerts(const QuotaWindow& window, const std::vector<Reading>& readings, const Forecast& f,
                             const std::vector<AlertRecord>& sent);

}  // namespace tallyvane
