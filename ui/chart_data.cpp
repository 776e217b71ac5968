#include "ui/chart_data.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <map>

#include "model/formatting.h"
#include "model/unix_time.h"

namespace tallyvane {
namespace {

constexpr double spanWithoutPeriod = 5 * 60 * 60;
constexpr int shownDays = 30;

const QLocale& french() {
    static const QLocale locale(QLocale::French, QLocale::France);
    return locale;
}

// Hours for a period of a day or less, days beyond.
QString timeLabel(double unixSeconds, double span) {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::llround(unixSeconds)));
    return french().toString(at, span <= 24 * 60 * 60 ? QStringLiteral("HH:mm") : QStringLiteral("d MMM"));
}

// Where the rate carries the current value by `end`, stopped at 100 % or 0 % should it get there first.
QLineF forecastLine(QPointF from, double rate, double fromSeconds, double start, double span, double end) {
    double until = end;
    double used = from.y() * 100 + rate * (end - fromSeconds);
    if (used > 100 || used < 0) {
        const double bound = used > 100 ? 100 : 0;
        until = fromSeconds + (bound - from.y() * 100) / rate;
        used = bound;
    }
    return QLineF(from, QPointF((until - start) / span, used / 100));
}

}  // namespace

ChartData windowChart(const QuotaWindow& window, const Forecast& outlook, const std::vector<Reading>& readings,
                      Instant readAt) {
    ChartData chart;
    chart.tint = usageTint(window.used);
    // The levels at which the bar turns orange and red; the top line, unlabelled, is 100 %.
    chart.marks = {{0.75, QStringLiteral("75 %")}, {0.9, QStringLiteral("90 %")}, {1.0, QString()}};
    const double readSeconds = unixSecondsExact(readAt);
    const bool period = window.reset && window.durationMins && *window.durationMins > 0;
    const double end = period ? unixSecondsExact(*window.reset) : readSeconds;
    const double span = period ? static_cast<double>(*window.durationMins) * 60 : spanWithoutPeriod;
    const double start = end - span;

    const auto at = [&](double seconds, double used) {
        return QPointF(std::clamp((seconds - start) / span, 0.0, 1.0), std::clamp(used / 100, 0.0, 1.0));
    };
    // Stored rows from the current value's second on are that value already, or come from a clock ahead.
    for (const Reading& reading : periodReadings(window, readAt, readings)) {
        const auto taken = static_cast<double>(reading.takenAt);
        if (taken >= start && taken < std::floor(readSeconds) && std::isfinite(reading.usedPercent))
            chart.line.push_back(at(taken, reading.usedPercent));
    }
    if (std::isfinite(window.used)) chart.line.push_back(at(readSeconds, window.used));

    chart.startLabel = timeLabel(start, span);
    chart.endLabel = period ? QStringLiteral("↻ ") + timeLabel(end, span) : timeLabel(end, span);
    if (!period || chart.line.empty()) return chart;
    chart.pace = QLineF(0, 0, 1, 1);
    const QPointF current = chart.line.back();
    if (outlook.exhausted) {
        chart.exhausts = true;
        chart.forecast = QLineF(current, at(unixSecondsExact(*outlook.exhausted), 100));
    } else if (outlook.rate && std::isfinite(*outlook.rate) && *outlook.rate != 0) {
        chart.forecast = forecastLine(current, *outlook.rate, readSeconds, start, span, end);
    }
    return chart;
}

ChartData tokenChart(const std::vector<DailyTokens>& days, const std::optional<DailyTokens>& latest) {
    // By date rather than by key, so that days Codex left out show as empty bars; keys that are no date
    // are left out.
    std::map<QDate, std::int64_t> counts;
    const auto count = [&](const DailyTokens& day) {
        const QDate date = QDate::fromString(QString::fromStdString(day.day), QStringLiteral("yyyy-MM-dd"));
        if (date.isValid()) counts[date] = std::max<std::int64_t>(day.tokens, 0);
    };
    for (const DailyTokens& day : days) count(day);
    if (latest) count(*latest);

    ChartData chart;
    if (counts.empty()) return chart;
    const QDate last = counts.rbegin()->first;
    const QDate first = last.addDays(1 - shownDays);
    std::int64_t largest = 0;
    for (auto it = counts.lower_bound(first); it != counts.end(); ++it) largest = std::max(largest, it->second);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        const auto found = counts.find(date);
        const std::int64_t tokens = found == counts.end() ? 0 : found->second;
        chart.bars.push_back(largest > 0 ? static_cast<double>(tokens) / static_cast<double>(largest) : 0);
    }
    chart.highlighted = static_cast<int>(chart.bars.size()) - 1;
    if (largest > 0) chart.marks = {{1.0, QString::fromStdString(compactNumber(largest))}};
    chart.startLabel = french().toString(first, QStringLiteral("d MMM"));
    chart.endLabel = french().toString(last, QStringLiteral("d MMM"));
    return chart;
}

}  // namespace tallyvane
