#include "model/reading_rules.h"

#include <cmath>
#include <cstdint>

#include "model/quota_period.h"
#include "model/unix_time.h"

namespace tallyvane {
namespace {

constexpr std::int64_t heartbeatSeconds = 5 * 60;

bool sameUse(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool resetMoved(const std::optional<std::int64_t>& before, const std::optional<std::int64_t>& after) {
    if (before.has_value() != after.has_value()) return true;
    return before && !sameReset(*before, *after);
}

}  // namespace

Reading readingOf(const QuotaWindow& window, Instant takenAt) {
    return Reading{window.id,
                   unixSeconds(takenAt),
                   window.used,
                   window.reset ? std::optional(unixSeconds(*window.reset)) : std::nullopt,
                   window.durationMins,
                   window.name};
}

bool worthStoring(const std::optional<Reading>& last, const Reading& next) {
    if (!last) return true;
    // An unsigned difference, so that extreme stored times cannot overflow.
    const bool heartbeatDue =
        next.takenAt >= last->takenAt &&
        static_cast<std::uint64_t>(next.takenAt) - static_cast<std::uint64_t>(last->takenAt) >= heartbeatSeconds;
    return !sameUse(last->usedPercent, next.usedPercent) || last->name != next.name ||
           last->durationMins != next.durationMins || resetMoved(last->resetsAt, next.resetsAt) || heartbeatDue;
}

}  // namespace tallyvane
