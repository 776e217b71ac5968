#pragma once
// Where a quota window stands against time: the even-pace point, the recent rate of use and, when it
// comes before the reset, the moment the window would run out at that rate.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/quota_period.h"
#include "model/quota_window.h"
#include "platform/clock.h"
#include "platform/history_store.h"

namespace tallyvane {

class UsageModel;

// Share of the window already elapsed, (now − (reset − duration)) / duration, clamped to 0…1;
// nothing without both a reset and a positive duration.
std::optional<double> evenPace(const QuotaWindow& window, Instant now);

struct Forecast {
    std::optional<double> pace;        // evenPace
    std::optional<double> rate;        // percentage points per second
    std::optional<Instant> exhausted;  // when 100 % would be reached, only when that is worth showing
};

// `readAt` is when the window's current value arrived; that value counts as a reading even when
// `readings` does not hold it yet.
Forecast forecast(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings, Instant now);

// What the views and alerts show of a window: the forecast from its readings at the model's time;
// demo data is a still picture, read at the moment it was made. Nothing before the first reading.
Forecast windowForecast(const UsageModel& model, const QuotaWindow& window, const HistorySnapshot& history);

}  // namespace tallyvane
