// French numbers and dates whatever the user's locale; times in the user's zone, clocks in their locale.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "model/formatting.h"
#include "tests/support/scoped_variable.h"

namespace tallyvane {
namespace {

using namespace std::chrono_literals;
using Limits = std::numeric_limits<std::int64_t>;

TEST(Formatting, NumbersAndDays) {
    for (const auto& [n, text] : std::vector<std::pair<std::int64_t, std::string>>{
             {999, "999"}, {-5000, "-5000"}, {1000, "1 k"}, {1250, "1,2 k"}, {23450, "23,4 k"}, {999999, "1000 k"},
             {15300000, "15,3 M"}, {2500000000, "2,5 Md"}, {Limits::min(), "-9223372036854775808"}, {Limits::max(), "9223372036,9 Md"}})
        EXPECT_EQ(compactNumber(n), text) << n;
    for (const auto& [x, rounded] : std::vector<std::pair<double, std::int64_t>>{
             {37.5, 38}, {62.4, 62}, {-0.5, -1}, {74.5, 75}, {NAN, 0}, {INFINITY, Limits::max()}, {-INFINITY, Limits::min()}})
        EXPECT_EQ(roundedPercent(x), rounded) << x;
    EXPECT_EQ(day("2026-08-01") + " · " + day("2025-12-31"), "1 août 2026 · 31 décembre 2025");
    // ICU reads blanks, marks and other scripts' digits: anything but the exact shape comes back unchanged.
    for (const std::string key : {"", "2026-02-30", "2026-13-01", "2026-3-5", "2026/03/05", " 2026-03-05", "2026-03-05 ",
                                  "2026- 03-05", "2026-03-05T10:00", "\u00a02026-03-05", "\u200e2026-03-05",
                                  "\u0662\u0660\u0662\u0666-\u0660\u0663-\u0660\u0665"})
        EXPECT_EQ(day(key), key);
}

TEST(Formatting, TimesFollowTheUsersZoneAndLocale) {
    const char* names[] = {"TZ", "LANG", "LC_TIME", "LC_ALL"};
    const Instant march5 = Instant{} + 1772721000s, january12 = Instant{} + 1768208700s;  // 14:30 and 09:05 UTC
    const struct { std::vector<const char*> environment; std::function<std::string()> text; const char* expected; } table[] = {
        {{"UTC", "en_US.UTF-8", "", ""}, [&] { return resetStamp(march5); }, "5 mars, 14:30"},  // French in any locale
        {{"Asia/Tokyo", "en_US.UTF-8", "", ""}, [&] { return resetStamp(march5); }, "5 mars, 23:30"},
        {{"Asia/Tokyo", "en_US.UTF-8", "", ""}, [&] { return resetStamp(january12); }, "12 janv., 18:05"},
        {{"UTC", "fr_FR.UTF-8", "", ""}, [&] { return clockTime(march5 + 125s); }, "14:32:05"},
        {{"Asia/Tokyo", "en_US.UTF-8", "", ""}, [&] { return clockTime(march5 + 125s); }, "11:32:05\u202fPM"},
        {{"UTC", "en_US.UTF-8", "de_DE.UTF-8@euro", ""}, [&] { return clockTime(march5); }, "14:30:00"},  // LC_TIME over LANG
        {{"UTC", "en_US.UTF-8", "de_DE.UTF-8", "en_US.UTF-8"}, [&] { return clockTime(march5); }, "2:30:00\u202fPM"},  // LC_ALL
        {{"UTC", "C", "", ""}, [&] { return clockTime(march5); }, "2:30:00\u202fPM"},
        // A day is a calendar day, the same in every zone.
        {{"Pacific/Kiritimati", "fr_FR.UTF-8", "", ""}, [] { return day("2026-03-05"); }, "5 mars 2026"},
        {{"Pacific/Pago_Pago", "fr_FR.UTF-8", "", ""}, [] { return day("2026-03-05"); }, "5 mars 2026"},
    };
    for (const auto& row : table) {
        std::vector<std::shared_ptr<void>> variables;
        for (std::size_t i = 0; i < std::size(names); ++i) variables.push_back(testing::setUntilTheEnd(names[i], row.environment[i]));
        EXPECT_EQ(row.text(), row.expected) << row.environment[0] << " " << row.environment[1];
    }
}

}  // namespace
}  // namespace tallyvane
