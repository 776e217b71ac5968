#include <gtest/gtest.h>

#include "model/quota_window.h"

namespace tallyvane {
namespace {

std::vector<QuotaWindow> parse(const char* json) { return quotaWindows(Json::parse(json)); }

double secondsOf(const std::optional<Instant>& t) {
    return std::chrono::duration<double>(t->time_since_epoch()).count();
}

TEST(QuotaWindows, PrefersLimitIdMapAndSortsIdsByCodePoint) {
    auto windows = parse(R"({
        "rateLimits": {"primary": {"usedPercent": 99}},
        "rateLimitsByLimitId": {
            "beta": {"limitName": "Lot B", "primary": {"usedPercent": 12.5, "windowDurationMins": 300}},
            "alpha": {"secondary": {"usedPercent": 3, "windowDurationMins": 90}},
            "Zed": {"primary": {"usedPercent": 1}},
            "alphabet": {"primary": {"usedPercent": 2, "windowDurationMins": 60}}
        }})");
    ASSERT_EQ(windows.size(), 4u);
    EXPECT_EQ(windows[0].id, "Zed-primary");
    EXPECT_EQ(windows[0].name, "Zed · Quota");
    EXPECT_EQ(windows[1].id, "alpha-secondary");
    EXPECT_EQ(windows[1].name, "alpha · 90 minutes");
    EXPECT_EQ(windows[2].id, "alphabet-primary");
    EXPECT_EQ(windows[2].name, "alphabet · 1 heures");
    EXPECT_EQ(windows[3].id, "beta-primary");
    EXPECT_EQ(windows[3].name, "Lot B · 5 heures");
    EXPECT_EQ(windows[3].used, 12.5);
}

TEST(QuotaWindows, CodexLimitGetsBareNameEvenWithLabelAndEmptyLabelIsKept) {
    auto windows = parse(R"({"rateLimitsByLimitId": {
        "codex": {"limitName": "Ignored", "primary": {"usedPercent": 24, "windowDurationMins": 10080, "resetsAt": 1790420926}},
        "other": {"limitName": "", "primary": {"usedPercent": 5, "windowDurationMins": 1440}}}})");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].id, "codex-primary");
    EXPECT_EQ(windows[0].name, "Semaine");
    EXPECT_EQ(secondsOf(windows[0].reset), 1790420926.0);
    EXPECT_EQ(windows[1].name, " · 24 heures");
}

TEST(QuotaWindows, FallsBackToRateLimitsWhenMapIsUnusable) {
    for (const char* map : {R"({})", R"(null)", R"(3)", R"([])", R"({"a": {"primary": {"usedPercent": 1}}, "b": null})"}) {
        auto windows = quotaWindows(Json::parse(std::string(R"({"rateLimitsByLimitId": )") + map +
                                                R"(, "rateLimits": {"primary": {"usedPercent": 10, "windowDurationMins": 300},
                                                      "secondary": {"usedPercent": 40, "windowDurationMins": 10080}}})"));
        ASSERT_EQ(windows.size(), 2u) << map;
        EXPECT_EQ(windows[0].id, "codex-primary");
        EXPECT_EQ(windows[0].name, "5 heures");
        EXPECT_EQ(windows[1].id, "codex-secondary");
        EXPECT_EQ(windows[1].name, "Semaine");
    }
}

TEST(QuotaWindows, UsableMapWithoutSlotsYieldsNothingEvenIfRateLimitsHasData) {
    EXPECT_TRUE(parse(R"({"rateLimitsByLimitId": {"codex": {"primary": null}},
                          "rateLimits": {"primary": {"usedPercent": 10}}})")
                    .empty());
}

TEST(QuotaWindows, SlotsWithoutANumericPercentageYieldNothing) {
    EXPECT_TRUE(parse(R"({})").empty());
    EXPECT_TRUE(parse(R"([1, 2])").empty());
    for (const char* used : {"null", R"("42")", "true", "false", "[]", "{}"})
        EXPECT_TRUE(quotaWindows(Json::parse(std::string(R"({"rateLimits": {"primary": {"usedPercent": )") + used + "}}}"))
                        .empty())
            << used;
    EXPECT_TRUE(parse(R"({"rateLimits": {"primary": {}}})").empty());
    EXPECT_TRUE(parse(R"({"rateLimits": {"primary": 5}})").empty());
}

TEST(QuotaWindows, OnlySecondarySlot) {
    auto windows = parse(R"({"rateLimits": {"secondary": {"usedPercent": 7}}})");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].id, "codex-secondary");
}

TEST(QuotaWindows, ClampsPercentages) {
    const std::pair<const char*, double> cases[] = {
        {"110", 100}, {"-5", 0}, {"12.5", 12.5}, {"1e300", 100}, {"-1e300", 0}, {"100", 100}, {"0", 0}};
    for (const auto& [text, expected] : cases) {
        auto windows = quotaWindows(Json::parse(std::string(R"({"rateLimits": {"primary": {"usedPercent": )") + text + "}}}"));
        ASSERT_EQ(windows.size(), 1u) << text;
        EXPECT_EQ(windows[0].used, expected) << text;
    }
}

TEST(QuotaWindows, DurationNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "1 minutes"},     {"45", "45 minutes"},     {"60", "1 heures"},         {"90", "90 minutes"},
        {"120", "2 heures"},    {"0", "0 heures"},        {"300", "5 heures"},        {"300.9", "5 heures"},
        {"1440", "24 heures"},  {"10080", "Semaine"},     {"20160", "336 heures"},    {"-60", "-1 heures"},
        {"-90", "-90 minutes"}, {"-300.9", "-5 heures"},  {"null", "Quota"},          {R"("300")", "Quota"},
        {"true", "Quota"},
        // Out of the 64-bit range: saturated, never undefined.
        {"1e300", "9223372036854775807 minutes"},
        {"18446744073709551616", "9223372036854775807 minutes"},
        {"-1e300", "-9223372036854775808 minutes"}};
    auto primary = [](const std::string& minutes) {
        return quotaWindows(Json::parse(R"({"rateLimits": {"primary": {"usedPercent": 1, "windowDurationMins": )" +
                                        minutes + "}}}"));
    };
    for (const auto& [minutes, name] : cases) {
        auto windows = primary(minutes);
        ASSERT_EQ(windows.size(), 1u) << minutes;
        EXPECT_EQ(windows[0].name, name) << minutes;
    }
    // The length itself is kept only when it is a positive number of minutes.
    EXPECT_EQ(primary("300.9")[0].durationMins, 300);
    for (const char* none : {"0", "-60", "null", "true", R"("300")"}) EXPECT_FALSE(primary(none)[0].durationMins) << none;
    // A missing member also reads "Quota".
    EXPECT_EQ(parse(R"({"rateLimits": {"primary": {"usedPercent": 1}}})")[0].name, "Quota");
}

TEST(QuotaWindows, ResetInstants) {
    auto reset = [](const char* resetsAt) {
        return quotaWindows(Json::parse(std::string(R"({"rateLimits": {"primary": {"usedPercent": 1, "resetsAt": )") +
                                        resetsAt + "}}}"))[0]
            .reset;
    };
    ASSERT_TRUE(reset("0"));
    EXPECT_EQ(secondsOf(reset("0")), 0.0);
    EXPECT_EQ(secondsOf(reset("1796600000.5")), 1796600000.5);
    EXPECT_EQ(secondsOf(reset("-5")), -5.0);
    // Beyond what an instant can hold (about years 1678 to 2262) the reset stays absent.
    EXPECT_FALSE(reset("1e300"));
    EXPECT_FALSE(reset("-1e300"));
    EXPECT_FALSE(reset("true"));
    EXPECT_FALSE(reset("null"));
    EXPECT_FALSE(reset(R"("1796600000")"));
}

}  // namespace
}  // namespace tallyvane
