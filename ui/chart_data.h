#pragma once
// What a history chart shows, worked out once whenever its data change: a quota window's use over
// its period, or the tokens of the last 30 days. Positions are in plot units, x from 0 (left) to 1
// (right) and y from 0 (bottom) to 1 (top), so that the widget only has to scale them.
#include <optional>
#include <utility>
#include <vector>

#include <QLineF>
#include <QPointF>
#include <QString>

#include "model/forecast.h"
#include "model/quota_window.h"
#include "platform/history_store.h"
#include "ui/system_colors.h"

namespace tallyvane {

struct ChartData {
    std::vector<QPointF> line;       // the window's readings, oldest first, its current value last
    std::optional<QLineF> pace;      // even use over the period
    std::optional<QLineF> forecast;  // from the current value on, at the recent rate
    bool exhausts = false;           // the forecast reaches 100 % before the reset
    SystemColor tint = SystemColor::Teal;
    std::vector<double> bars;  // one a day, oldest first, as a share of the largest
    int highlighted = -1;      // the bar drawn at full strength: the latest day's
    QString startLabel;        // under the two ends of the time axis
    QString endLabel;
    std::vector<std::pair<double, QString>> marks;  // faint level lines and their labels

    bool operator==(const ChartData&) const = default;
};

// The window's current period from its start (reset − duration) to its reset, with the even pace and the
// forecast; without a reset time or a duration, its last 5 hours up to `readAt`, when its current value was read.
ChartData windowChart(const QuotaWindow& window, const Forecast& outlook, const std::vector<Reading>& readings,
                      Instant readAt);

// The 30 days up to the latest one counted, days without a count left empty. `latest` is the model's own
// count of its last day, newer than the history's when the history has not caught up yet.
ChartData tokenChart(const std::vector<DailyTokens>& days, const std::optional<DailyTokens>& latest);

}  // namespace tallyvane
