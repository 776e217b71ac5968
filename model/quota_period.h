#pragma once
// Where a quota window's periods begin, from its readings: one rule for the forecast, the chart and the
// alerts. A reset time that moves while the use holds (a clock step, a backend that recomputes it) keeps
// the window's period, its readings and its alerts.
#include <cstdint>
#include <vector>

#include "model/quota_window.h"
#include "platform/clock.h"
#include "platform/history_store.h"

namespace tallyvane {

// Whether two reset times (Unix s) name the same moment: Codex's answers drift by a few seconds.
bool sameReset(std::int64_t a, std::int64_t b);

// Whether `next`, read after `last` of the same window, opens a new period: the reset time `last` gave
// has passed (60 s of slack) and `next` gives another one, or the used percentage fell by 10 points or more.
bool opensNewPeriod(const Reading& last, const Reading& next);

struct WindowPeriods {
    std::vector<Reading> current;   // the readings of the period of the window's value, oldest first
    std::vector<Reading> previous;  // those of the period before it; empty when there is none
};

// The window's readings up to `readAt` (`readings` may hold other windows'), split by opensNewPeriod; the
// window's value, read at `readAt`, comes last and may open a period of its own. Rows taken after `readAt`
// come from a clock that ran ahead and are left out.
WindowPeriods windowPeriods(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings);

// windowPeriods(…).current.
std::vector<Reading> periodReadings(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings);

}  // namespace tallyvane
