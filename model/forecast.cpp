#include "model/forecast.h"

#include <algorithm>
#include <cmath>

#include "model/run_flags.h"
#include "model/unix_time.h"
#include "model/usage_model.h"

namespace tallyvane {
namespace {

constexpr double shortestSpan = 10 * 60;
constexpr std::int64_t longestShortWindowMins = 300;
constexpr double shortLookback = 60 * 60;
constexpr double longLookback = 24 * 60 * 60;
constexpr double horizonWithoutReset = 24 * 60 * 60;

struct Point {
    double at;  // Unix s
    double used;
};

bool hasDuration(const QuotaWindow& window) { return window.durationMins && *window.durationMins > 0; }

// The period's usable points, oldest first, the current value last. Stored rows from the current value's
// second on are that same value already stored, or rows from a clock that ran ahead.
std::vector<Point> periodPoints(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings) {
    const double readSeconds = unixSecondsExact(readAt);
    std::vector<Point> points;
    for (const Reading& reading : periodReadings(window, readAt, readings)) {
        const auto at = static_cast<double>(reading.takenAt);
        if (std::isfinite(reading.usedPercent) && at < std::floor(readSeconds)) points.push_back({at, reading.usedPercent});
    }
    points.push_back({readSeconds, window.used});
    return points;
}

std::optional<double> leastSquaresSlope(const std::vector<Point>& points) {
    if (points.size() < 3 || points.back().at - points.front().at < shortestSpan) return std::nullopt;
    // Centred on the last point so that Unix-scale times keep their precision.
    const double origin = points.back().at;
    double meanAt = 0;
    double meanUsed = 0;
    for (const Point& p : points) {
        meanAt += p.at - origin;
        meanUsed += p.used;
    }
    meanAt /= static_cast<double>(points.size());
    meanUsed /= static_cast<double>(points.size());
    double covariance = 0;
    double variance = 0;
    for (const Point& p : points) {
        const double dt = p.at - origin - meanAt;
        covariance += dt * (p.used - meanUsed);
        variance += dt * dt;
    }
    if (!(variance > 0)) return std::nullopt;
    const double slope = covariance / variance;
    return std::isfinite(slope) ? std::optional(slope) : std::nullopt;
}

std::optional<double> rateOf(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings,
                             double now) {
    if (!std::isfinite(window.used)) return std::nullopt;
    const std::vector<Point> points = periodPoints(window, readAt, readings);
    const bool longWindow = hasDuration(window) && *window.durationMins > longestShortWindowMins;
    const double since = now - (longWindow ? longLookback : shortLookback);
    std::vector<Point> recent;
    std::copy_if(points.begin(), points.end(), std::back_inserter(recent),
                 [&](const Point& p) { return p.at >= since; });
    if (auto slope = leastSquaresSlope(recent)) return slope;
    const double span = points.back().at - points.front().at;
    if (span < shortestSpan) return std::nullopt;
    const double slope = (points.back().used - points.front().used) / span;
    return std::isfinite(slope) ? std::optional(slope) : std::nullopt;
}

}  // namespace

std::optional<double> evenPace(const QuotaWindow& window, Instant now) {
    if (!window.reset || !hasDuration(window)) return std::nullopt;
    const double duration = static_cast<double>(*window.durationMins) * 60;
    const double pace = (unixSecondsExact(now) - unixSecondsExact(*window.reset)) / duration + 1;
    if (std::isnan(pace)) return std::nullopt;
    return std::clamp(pace, 0.0, 1.0);
}

Forecast forecast(const QuotaWindow& window, Instant readAt, const std::vector<Reading>& readings, Instant now) {
    const double nowSeconds = unixSecondsExact(now);
    // A value stamped after "now" comes from a clock that went back: it is taken as read now.
    Forecast f{evenPace(window, now), rateOf(window, std::min(readAt, now), readings, nowSeconds), std::nullopt};
    if (!f.rate || !(*f.rate > 0) || !(window.used >= 20 && window.used < 100)) return f;
    const double untilFull = (100 - window.used) / *f.rate;
    const bool shows = window.reset ? untilFull < unixSecondsExact(*window.reset) - nowSeconds
                                    : untilFull <= horizonWithoutReset;
    if (!std::isfinite(untilFull) || !shows) return f;
    f.exhausted = now + std::chrono::duration_cast<Instant::duration>(std::chrono::duration<double>(untilFull));
    return f;
}

Forecast windowForecast(const UsageModel& model, const QuotaWindow& window, const HistorySnapshot& history) {
    if (!model.updated()) return {};
    return forecast(window, *model.updated(), history.readings, isDemo() ? *model.updated() : model.now());
}

}  // namespace tallyvane
