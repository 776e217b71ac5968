#include "model/quota_period.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "model/reading_rules.h"

namespace tallyvane {
namespace {

constexpr std::int64_t resetSlack = 60;
constexpr double resetFall = 10;

}  // namespace

bool sameReset(std::int64_t a, std::int64_t b) {
    // Unsigned difference: no overflow whatever the stored values.
    const auto distance = a > b ? static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b)
                                : static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
    return distance <= static_cast<std::uint64_t>(resetSlack);
}

bool opensNewPeriod(const Reading& last, const Reading& next) {
    // A reset time still given once it has passed is a stale answer, not a new period.
    const bool passed = last.resetsAt && next.takenAt > *last.resetsAt &&
                        !sameReset(next.takenAt, *last.resetsAt) &&
                        !(next.resetsAt && sameReset(*next.resetsAt, *last.resetsAt));
    return passed || next.usedPercent <= last.usedPercent - resetFall;
}

WindowPeriods windowPeriods(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings) {
    const Reading value = readingOf(window, readAt);
    std::vector<Reading> rows;
    std::copy_if(readings.begin(), readings.end(), std::back_inserter(rows), [&](const Reading& reading) {
        return reading.windowId == window.id && reading.takenAt <= value.takenAt;
    });
    std::stable_sort(rows.begin(), rows.end(), [](const Reading& a, const Reading& b) { return a.takenAt < b.takenAt; });
    WindowPeriods periods;
    for (Reading& row : rows) {
        if (!periods.current.empty() && opensNewPeriod(periods.current.back(), row))
            periods.previous = std::exchange(periods.current, {});
        periods.current.push_back(std::move(row));
    }
    if (!periods.current.empty() && opensNewPeriod(periods.current.back(), value))
        periods.previous = std::exchange(periods.current, {});
    return periods;
}

std::vector<Reading> periodReadings(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings) {
    return windowPeriods(window, readAt, readings).current;
}

}  // namespace tallyvane
