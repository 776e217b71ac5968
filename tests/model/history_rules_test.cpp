// Forecasts, which readings are stored, and which alerts are due, in what French.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "model/alert_policy.h"
#include "model/demo_history.h"
#include "model/panel_texts.h"
#include "model/reading_rules.h"
#include "model/unix_time.h"
#include "tests/support/scoped_variable.h"

namespace tallyvane {
namespace {

constexpr std::int64_t T0 = 1'790'000'000;  // "now": 21 Sept 2026, 14:13:20 UTC
constexpr std::int64_t P = T0 + 7'200;       // the current period's reset, 120 minutes from now
constexpr std::int64_t P0 = P - 18'000;      // the previous 5-hour period's
constexpr std::int64_t previous = -18'000;   // shifts a stored reading into that period

Instant at(double minutes) {
    return Instant{} + std::chrono::seconds(T0) +
           std::chrono::duration_cast<Instant::duration>(std::chrono::duration<double>(minutes * 60));
}

QuotaWindow testWindow(double used, std::optional<double> resetMin, std::optional<std::int64_t> durationMins) {
    return {"w", "5 heures", used, resetMin ? std::optional(at(*resetMin)) : std::nullopt, durationMins};
}

// A stored reading `minutes` from now, its reset the window's moved by `resetShift` seconds.
struct Past { double minutes, used; std::int64_t resetShift = 0; std::string windowId = "w"; };

std::vector<Reading> history(const QuotaWindow& window, const std::vector<Past>& past) {
    std::vector<Reading> rows;
    for (const Past& p : past) {
        const auto reset = window.reset ? std::optional(unixSeconds(*window.reset) + p.resetShift) : std::nullopt;
        rows.push_back({p.windowId, unixSeconds(at(p.minutes)), p.used, reset, window.durationMins, window.name});
    }
    return rows;
}

TEST(Forecast, RateAndExhaustion) {
    const std::vector<Past> rising{{-40, 30}, {-30, 35}, {-20, 40}, {-10, 45}};
    const std::vector<Past> slowingDown{{-240, 20}, {-120, 35}, {-40, 50}, {-20, 50}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { const char* name; double used; std::optional<double> resetMin; std::optional<std::int64_t> durationMins;
                   std::vector<Past> past; std::optional<double> ratePerHour, exhaustedMin; double readAtMin = 0; } table[] = {
        {"flat", 40, 120, 300, {{-30, 40}, {-20, 40}, {-10, 40}}, 0, {}},
        {"rising", 50, 120, 300, rising, 30, 100},
        {"falling", 30, 120, 300, {{-20, 40}, {-10, 35}}, -30, {}},
        {"reset passed", 50, -10, 300, rising, 30, {}},
        {"no readings", 50, 120, 300, {}, {}, {}},
        {"under 10 minutes", 50, 120, 300, {{-9, 40}, {-5, 45}}, {}, {}},
        {"already at 100 %", 100, 120, 300, {{-20, 80}, {-10, 90}}, 60, {}},
        {"no reset, within 24 h", 50, {}, {}, {{-50, 48}, {-25, 49}}, 2.4, 50 / 2.4 * 60},
        {"no reset, beyond 24 h", 50, {}, {}, {{-40, 49}, {-20, 49.5}}, 1.5, {}},
        {"below the 20 % floor", 19, 120, 300, {{-20, 3}, {-10, 11}}, 48, {}},
        {"at the 20 % floor", 20, 120, 300, {{-20, 4}, {-10, 12}}, 48, 100},
        {"other windows and periods", 50, 120, 300,
         {{-40, 30}, {-30, 35}, {-20, 40}, {-10, 45}, {-25, 90, 0, "x"}, {-35, 99, previous}}, 30, 100},
        {"reset drifted 120 s: same period", 50, 120, 300, {{-40, 30, -120}, {-30, 35, -120}, {-20, 40, 120}}, 30, 100},
        {"use fell 10 points: a new period", 20, 120, 300, {{-40, 50}, {-30, 60}, {-20, 10}, {-10, 15}}, 30, {}},
        {"5-hour window: last 60 min", 50, 120, 300, slowingDown, 0, {}},
        {"unknown length: last 60 min", 50, 120, {}, slowingDown, 0, {}},
        {"weekly window: last 24 h", 50, 3000, 10'080, slowingDown, 3915.0 / 484, 50 / (3915.0 / 484) * 60},
        {"two points: from the period's first", 50, 120, 300, {{-200, 10}, {-30, 40}}, 12, {}},
        {"bad rows", 50, 120, 300, {{-40, 30}, {-30, 35}, {-20, 40}, {-20, 40}, {-45, nan}, {0, 50}, {10, 99}}, 30, 100},
        {"all at the current second", 50, 120, 300, {{0, 10}, {0, 20}}, {}, {}},
        {"read after now", 50, 120, 300, rising, 30, 100, 5},
        {"unreadable value", nan, 120, 300, rising, {}, {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const QuotaWindow window = testWindow(row.used, row.resetMin, row.durationMins);
        const Forecast f = forecast(window, at(row.readAtMin), history(window, row.past), at(0));
        EXPECT_NEAR(f.rate ? *f.rate * 3600 : -1e9, row.ratePerHour.value_or(-1e9), 1e-9);
        const auto miss = f.exhausted.value_or(Instant{}) - (row.exhaustedMin ? at(*row.exhaustedMin) : Instant{});
        EXPECT_LT(std::chrono::abs(miss), std::chrono::milliseconds(1));
    }
}

TEST(Forecast, EvenPace) {
    const struct { std::optional<double> resetMin; std::optional<std::int64_t> durationMins; double pace; } table[] = {
        {300, 300, 0}, {150, 300, 0.5}, {0, 300, 1},   {400, 300, 0},  {-10, 300, 1},
        {{}, 300, -1}, {150, {}, -1},   {150, 0, -1},  {150, -60, -1}, {1, std::numeric_limits<std::int64_t>::max(), 1},
    };
    for (const auto& row : table) {
        EXPECT_NEAR(evenPace(testWindow(50, row.resetMin, row.durationMins), at(0)).value_or(-1), row.pace, 1e-9) << &row - table;
    }
}

// The demo tells its story with the live rules: the 5-hour window runs out before its reset, the weekly one
// does not, and every row is one the recorder would have written.
TEST(Forecast, DemoHistory) {
    const HistorySnapshot demo = demoHistory(at(0));
    const QuotaWindow fast{"demo-short", "5 heures", 38, at(120), 300}, week{"demo-week", "Semaine", 62, at(2880), 10'080};
    EXPECT_TRUE(forecast(fast, at(0), demo.readings, at(0)).exhausted && !forecast(week, at(0), demo.readings, at(0)).exhausted);
    for (const QuotaWindow& window : {fast, week}) {
        const std::vector<Reading> rows = periodReadings(window, at(0), demo.readings);
        ASSERT_GT(rows.size(), 30u);
        EXPECT_TRUE(rows.back().usedPercent == window.used && rows.back().takenAt <= T0);
        for (std::size_t i = 1; i < rows.size(); ++i)
            EXPECT_TRUE(rows[i - 1].usedPercent <= rows[i].usedPercent && worthStoring(rows[i - 1], rows[i])) << i;
    }
    ASSERT_EQ(demo.dailyTokens.size(), 30u);
    EXPECT_EQ(demo.dailyTokens.front().day + " " + demo.dailyTokens.back().day, "2026-09-04 2026-10-03");
}

TEST(ReadingRules, WorthStoring) {
    const Reading last{"w", T0, 40, P, 300, "5 heures"};
    EXPECT_EQ(readingOf(testWindow(40, 120, 300), at(0) + std::chrono::milliseconds(900)), last);
    const std::pair<std::function<void(Reading&)>, bool> table[] = {
        {[](Reading&) {}, false}, {[](Reading& r) { r.usedPercent = 41; }, true}, {[](Reading& r) { r.name = "Semaine"; }, true},
        {[](Reading& r) { r.durationMins = 10'080; }, true}, {[](Reading& r) { r.durationMins.reset(); }, true},
        {[](Reading& r) { r.resetsAt = P - 60; }, false}, {[](Reading& r) { r.resetsAt = P + 61; }, true},
        {[](Reading& r) { r.resetsAt.reset(); }, true}, {[](Reading& r) { r.takenAt = T0 + 299; }, false},
        {[](Reading& r) { r.takenAt = T0 + 300; }, true}, {[](Reading& r) { r.takenAt = T0 - 600; }, false},  // clock went back
    };
    for (std::size_t i = 0; i < std::size(table); ++i) {
        Reading next = last;
        next.takenAt = T0 + 30;
        table[i].first(next);
        EXPECT_EQ(worthStoring(last, next), table[i].second) << "row " << i;
    }
    Reading resetless = last;
    resetless.resetsAt.reset();
    EXPECT_TRUE(worthStoring(resetless, last) && worthStoring(std::nullopt, last)) << "a reset appeared; the first row";
}

// Each row's due alerts by kind name; `text` is the first one's summary and body.
TEST(AlertPolicy, EachKindOncePerPeriodInFrench) {
    const auto zone = testing::setUntilTheEnd("TZ", "UTC");
    const AlertRecord used90{"w", P, "used90"}, used100{"w", P, "used100"};
    const struct { const char* name; double used; std::optional<double> resetMin; std::vector<Past> past; std::vector<AlertRecord> sent;
                   bool forecastShows; std::vector<std::string> expected; std::int64_t periodEnd; const char* text = nullptr;
    } table[] = {
        {"below 90 %", 89.9, 120, {}, {}, false, {}, P},
        {"90 % at the first reading", 90, 120, {}, {}, false, {"used90"}, P},
        {"used90 already sent", 95, 120, {}, {used90}, false, {}, P},
        {"record's reset drifted 20 s", 95, 120, {}, {{"w", P + 20, "used90"}}, false, {}, P},
        {"record of the previous period", 92.4, 120, {}, {{"w", P0, "used90"}}, false, {"used90"}, P,
         "Quota 5 heures : 92 % utilisés | Réinitialisation : 21 sept., 16:13."},
        {"record of another window", 95, 120, {}, {{"x", P, "used90"}}, false, {"used90"}, P},
        {"jump across 90 and 100", 100, 120, {}, {}, false, {"used100"}, P, "Quota 5 heures épuisé | Réinitialisation : 21 sept., 16:13."},
        {"100 % after used90", 100, 120, {}, {used90}, false, {"used100"}, P},
        {"used100 already sent", 100, 120, {}, {used100}, false, {}, P},
        {"back under 100 % after used100", 95, 120, {}, {used100}, false, {}, P},
        {"period end: the first reset seen", 92, 120, {{-30, 80, -40}, {-20, 85}}, {}, false, {"used90"}, P - 40},
        {"forecast at 50 %", 50, 120, {}, {}, true, {"forecast"}, P,
         "Quota 5 heures épuisé vers 21 sept., 15:13 au rythme actuel | 50 % utilisés · réinitialisation : 21 sept., 16:13."},
        {"forecast under 50 %", 49.9, 120, {}, {}, true, {}, P},
        {"forecast already sent", 60, 120, {}, {{"w", P, "forecast"}}, true, {}, P},
        {"no reset: first time", 95, {}, {{-600, 50}}, {}, false, {"used90"}, 0,
         "Quota 5 heures : 95 % utilisés | Réinitialisation : date de réinitialisation inconnue."},
        {"no reset: one period", 95, {}, {{-600, 50}}, {{"w", 0, "used90"}}, false, {}, 0},
        {"reset after a period at 92 %", 10.2, 120, {{-400, 85, previous}, {-350, 92, previous}}, {}, false, {"reset"}, P,
         "Quota 5 heures réinitialisé | 10 % utilisés."},
        {"reset already sent", 10, 120, {{-350, 92, previous}}, {{"w", P, "reset"}}, false, {}, P},
        {"reset after a quiet period", 10, 120, {{-350, 85, previous}, {-340, 95, previous, "x"}}, {}, false, {}, P},
        {"quiet readings, used90 record", 10, 120, {{-350, 85, previous}}, {{"w", P0, "used90"}}, false, {"reset"}, P},
        {"only the latest earlier period", 10, 120, {{-700, 95, 2 * previous}, {-350, 50, previous}}, {}, false, {}, P},
        {"reset drifted 120 s at 95 %", 95, 122, {{-30, 95, -120}}, {used90}, false, {}, P},
        {"use fell 10 points, reset unchanged", 80, 120, {{-30, 95}}, {used90}, false, {"reset"}, P},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const QuotaWindow window = testWindow(row.used, row.resetMin, 300);
        const tallyvane::Forecast f{{}, {}, row.forecastShows ? std::optional(at(60)) : std::nullopt};
        const std::vector<Alert> alerts = dueAlerts(window, at(0), history(window, row.past), f, row.sent);
        std::vector<std::string> kinds;
        for (const Alert& alert : alerts) {
            kinds.push_back(alertKindName(alert.kind));
            EXPECT_EQ(std::tie(alert.windowId, alert.periodEnd), std::tie(window.id, row.periodEnd));
        }
        EXPECT_EQ(kinds, row.expected);
        if (row.text && !alerts.empty()) {
            EXPECT_EQ(alerts[0].summary + " | " + alerts[0].body, row.text);
        }
    }
    EXPECT_EQ(remainingText(38.4) + " | " + remainingText(38.4, at(60)), "62 % restants | 62 % restants · épuisé vers 21 sept., 15:13");
}

// When the account's limit begins (unknown at a run's first reading): once per period, the earliest reset of the windows
// at 100 %, else 0; without a period, an episode seen to begin is a new one.
TEST(AlertPolicy, LimitWhenItBeginsOncePerPeriod) {
    const auto zone = testing::setUntilTheEnd("TZ", "UTC");
    AccountState credits, spent;
    credits.hasCredits = true, credits.balance = "5.39", spent.hasCredits = false, spent.spendControlReached = true;
    const std::vector<QuotaWindow> full{testWindow(100, 120, 300), {"v", "Semaine", 100, at(60), 10'080}}, quiet{testWindow(50, 120, 300)};
    const AlertRecord thisPeriod{"account", T0 + 3600, "limit"}, none{"account", 0, "limit"};
    const std::string atLimit = "Limite Codex atteinte | Crédits : 5,39 · réinitialisation : 21 sept., 15:13. 1790003600 account limit";
    const struct { AccountState account; std::vector<QuotaWindow> windows; std::optional<bool> was; std::vector<AlertRecord> sent;
                   std::string alert; } table[] = {
        {credits, full, {}, {{"account", T0, "limit"}}, atLimit}, {credits, full, true, {}, "-"}, {credits, full, {}, {thisPeriod}, "-"},
        {credits, quiet, false, {}, "-"}, {spent, quiet, {}, {none}, "-"}, {spent, quiet, false, {none}, "Limite Codex atteinte | Aucun crédit. 0 account limit"}};
    for (const auto& row : table) {
        const auto alert = limitAlert(row.account, row.windows, row.was, row.sent);
        EXPECT_EQ(alert ? alert->summary + " | " + alert->body + " " + std::to_string(alert->periodEnd) + " " + alert->windowId + " " +
                              alertKindName(alert->kind) : "-", row.alert);
    }
}

}  // namespace
}  // namespace tallyvane
