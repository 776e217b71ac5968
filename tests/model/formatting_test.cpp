#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "model/formatting.h"

namespace tallyvane {
namespace {

Instant at(std::int64_t unixSeconds) { return Instant{} + std::chrono::seconds(unixSeconds); }

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(CompactNumber, Table) {
    const std::pair<std::int64_t, const char*> table[] = {
        {0, "0"},           {999, "999"},           {-5000, "-5000"},         {1000, "1 k"},
        {1234, "1,2 k"},    {1250, "1,2 k"},        {2000, "2 k"},            {23450, "23,4 k"},
        {999999, "1000 k"}, {1250000, "1,2 M"},     {15300000, "15,3 M"},     {2500000000, "2,5 Md"},
        {1234567890123, "1234,6 Md"},
        {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
        {std::numeric_limits<std::int64_t>::max(), "9223372036,9 Md"},
    };
    for (const auto& [n, text] : table) EXPECT_EQ(compactNumber(n), text) << n;
}

TEST(Day, ReadsStrictDayKeysAndReturnsAnythingElseUnchanged) {
    const std::pair<const char*, const char*> table[] = {
        {"2026-03-05", "5 mars 2026"},
        {"2026-08-01", "1 août 2026"},
        {"2025-12-31", "31 décembre 2025"},
        {"2026-10-03", "3 octobre 2026"},
        {"05/03/2026", "05/03/2026"},
        {"", ""},
        {"2026-02-30", "2026-02-30"},
        {"2026-03-05T10:00", "2026-03-05T10:00"},
        {" 2026-03-05", " 2026-03-05"},
        {"2026-03-05 ", "2026-03-05 "},
        {"2026/03/05", "2026/03/05"},
        {"2026-13-01", "2026-13-01"},
        {"2026-3-5", "2026-3-5"},
        {"2026- 03-05", "2026- 03-05"},
        {"2026-\t3-05", "2026-\t3-05"},
        {"\u00a02026-03-05", "\u00a02026-03-05"},
        {"\u200e2026-03-05", "\u200e2026-03-05"},
        {"\u0662\u0660\u0662\u0666-\u0660\u0663-\u0660\u0665", "\u0662\u0660\u0662\u0666-\u0660\u0663-\u0660\u0665"},
    };
    for (const auto& [key, text] : table) EXPECT_EQ(day(key), text) << key;
}

TEST(Day, DoesNotMoveWithTheTimeZone) {
    for (const char* zone : {"Pacific/Kiritimati", "Pacific/Pago_Pago", "UTC"}) {
        ScopedEnv tz("TZ", zone);
        EXPECT_EQ(day("2026-03-05"), "5 mars 2026") << zone;
    }
}

TEST(RoundedPercent, HalvesAwayFromZeroAndNeverUndefined) {
    EXPECT_EQ(roundedPercent(37.5), 38);
    EXPECT_EQ(roundedPercent(62.4), 62);
    EXPECT_EQ(roundedPercent(-0.5), -1);
    EXPECT_EQ(roundedPercent(100.0), 100);
    EXPECT_EQ(roundedPercent(74.5), 75);
    EXPECT_EQ(roundedPercent(89.5), 90);
    EXPECT_EQ(roundedPercent(std::nan("")), 0);
    EXPECT_EQ(roundedPercent(INFINITY), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(roundedPercent(-INFINITY), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(roundedPercent(1e300), std::numeric_limits<std::int64_t>::max());
}

// 2026-03-05T14:30:00Z and 2026-01-12T09:05:00Z.
const Instant march5 = at(1772721000);
const Instant january12 = at(1768208700);

TEST(ResetStamp, FrenchInTheUsersTimeZone) {
    ScopedEnv lang("LANG", "en_US.UTF-8");  // the user's locale plays no part
    {
        ScopedEnv tz("TZ", "UTC");
        EXPECT_EQ(resetStamp(march5), "5 mars, 14:30");
        EXPECT_EQ(resetStamp(january12), "12 janv., 09:05");
    }
    {
        ScopedEnv tz("TZ", "Asia/Tokyo");
        EXPECT_EQ(resetStamp(march5), "5 mars, 23:30");
        EXPECT_EQ(resetStamp(january12), "12 janv., 18:05");
    }
}

TEST(ClockTime, FollowsTheUsersLocaleAndTimeZone) {
    ScopedEnv tz("TZ", "UTC");
    {
        ScopedEnv lang("LANG", "fr_FR.UTF-8");
        EXPECT_EQ(clockTime(march5 + std::chrono::seconds(125)), "14:32:05");
    }
    {
        ScopedEnv lang("LANG", "en_US.UTF-8");
        EXPECT_EQ(clockTime(march5 + std::chrono::seconds(125)), "2:32:05\u202fPM");
        ScopedEnv tokyo("TZ", "Asia/Tokyo");
        EXPECT_EQ(clockTime(march5 + std::chrono::seconds(125)), "11:32:05\u202fPM");
    }
    {
        // LC_TIME wins over LANG, LC_ALL over both.
        ScopedEnv lang("LANG", "en_US.UTF-8");
        ScopedEnv time("LC_TIME", "de_DE.UTF-8");
        EXPECT_EQ(clockTime(march5), "14:30:00");
        ScopedEnv all("LC_ALL", "en_US.UTF-8");
        EXPECT_EQ(clockTime(march5), "2:30:00\u202fPM");
    }
}

}  // namespace
}  // namespace tallyvane
