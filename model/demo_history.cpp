#include "model/demo_history.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "model/reading_rules.h"
#include "model/unix_time.h"

namespace tallyvane {
namespace {

constexpr std::int64_t pollSeconds = 30;

// Use at a moment, in minutes relative to now; straight between key points.
struct Key {
    int minute;
    double used;
};

double useAt(const std::vector<Key>& keys, double minute) {
    for (std::size_t i = 1; i < keys.size(); ++i) {
        const Key& from = keys[i - 1];
        const Key& to = keys[i];
        if (minute <= to.minute)
            return from.used + (to.used - from.used) * (minute - from.minute) / (to.minute - from.minute);
    }
    return keys.back().used;
}

// What the recorder would have stored had it polled the window along `keys` every 30 s: Codex gives whole
// percentages, and a row is kept on a change or every 5 minutes.
void record(std::vector<Reading>& out, const Reading& shape, std::int64_t now, const std::vector<Key>& keys) {
    std::optional<Reading> last;
    for (std::int64_t t = keys.front().minute * 60; t <= keys.back().minute * 60; t += pollSeconds) {
        Reading next = shape;
        next.takenAt = now + t;
        next.usedPercent = std::round(useAt(keys, static_cast<double>(t) / 60));
        if (!worthStoring(last, next)) continue;
        out.push_back(next);
        last = next;
    }
}

// The weekly window's five days so far: about fourteen hours of use a day ending now, the machine off at night.
void recordWeek(std::vector<Reading>& out, const Reading& shape, std::int64_t now) {
    constexpr std::array endOfDay{12.0, 25.0, 39.0, 54.0, 62.0};
    double used = 0;
    for (std::size_t day = 0; day < endOfDay.size(); ++day) {
        const int end = -24 * 60 * static_cast<int>(endOfDay.size() - 1 - day);
        const double lunch = used + (endOfDay[day] - used) * 0.4;
        record(out, shape, now,
               {{end - 14 * 60, used}, {end - 8 * 60, lunch}, {end - 6 * 60, lunch}, {end, endOfDay[day]}});
        used = endOfDay[day];
    }
}

std::vector<DailyTokens> dailyCounts() {
    constexpr std::array<std::int64_t, 30> tokens{
        41'200, 12'800, 6'400,  38'900, 52'300, 47'100, 61'800, 35'600, 9'800,  3'100,
        44'700, 58'200, 71'500, 49'300, 33'800, 15'200, 4'700,  52'900, 66'400, 58'700,
        83'100, 40'200, 11'900, 7'300,  47'800, 55'600, 62'400, 74'900, 51'300, 23'450};
    using namespace std::chrono;
    const sys_days lastDay = year{2026} / October / 3;
    std::vector<DailyTokens> counts;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const year_month_day date{lastDay - days{static_cast<int>(tokens.size() - 1 - i)}};
        char key[16];
        std::snprintf(key, sizeof key, "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        counts.push_back({key, tokens[i]});
    }
    return counts;
}

}  // namespace

HistorySnapshot demoHistory(Instant now) {
    const std::int64_t nowSeconds = unixSeconds(now);
    HistorySnapshot history;
    // A slow start, then a busy last 45 minutes: at that pace the window runs out before its reset.
    record(history.readings, {"demo-short", 0, 0, unixSeconds(now + std::chrono::hours(2)), 300, "5 heures"},
           nowSeconds, {{-180, 0}, {-150, 1}, {-125, 1}, {-100, 2}, {-75, 3}, {-45, 4}, {0, 38}});
    recordWeek(history.readings, {"demo-week", 0, 0, unixSeconds(now + std::chrono::hours(48)), 10'080, "Semaine"},
               nowSeconds);
    std::stable_sort(history.readings.begin(), history.readings.end(),
                     [](const Reading& a, const Reading& b) { return a.takenAt < b.takenAt; });
    history.dailyTokens = dailyCounts();
    return history;
}

}  // namespace tallyvane
