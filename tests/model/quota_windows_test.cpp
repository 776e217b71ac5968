// The rate-limit payload as the list of windows the panel shows.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

#include "model/quota_window.h"

namespace tallyvane {
namespace {

// "id/name/used/minutes/reset seconds; ..." with "-" for what is absent.
std::string windowsOf(const std::string& payload) {
    std::ostringstream out;
    out << std::setprecision(15);
    for (const QuotaWindow& w : quotaWindows(Json::parse(payload))) {
        out << (out.tellp() > 0 ? "; " : "") << w.id << "/" << w.name << "/" << w.used << "/";
        (w.durationMins ? out << *w.durationMins : out << "-") << "/";
        w.reset ? out << std::chrono::duration<double>(w.reset->time_since_epoch()).count() : out << "-";
    }
    return out.str();
}

TEST(QuotaWindows, WhichWindowsAndInWhatOrder) {
    const std::string fallback = R"("rateLimits": {"primary": {"usedPercent": 10, "windowDurationMins": 300},
                                                   "secondary": {"usedPercent": 40, "windowDurationMins": 10080}}})";
    const std::string fromFallback = "codex-primary/5 heures/10/300/-; codex-secondary/Semaine/40/10080/-";
    const std::pair<std::string, std::string> table[] = {
        {R"({"rateLimits": {"primary": {"usedPercent": 99}}, "rateLimitsByLimitId": {
             "beta": {"limitName": "Lot B", "primary": {"usedPercent": 12.5, "windowDurationMins": 300}},
             "alpha": {"secondary": {"usedPercent": 3, "windowDurationMins": 90}}, "Zed": {"primary": {"usedPercent": 1}},
             "alphabet": {"primary": {"usedPercent": 2, "windowDurationMins": 60}}}})",
         "Zed-primary/Zed · Quota/1/-/-; alpha-secondary/alpha · 90 minutes/3/90/-; "
         "alphabet-primary/alphabet · 1 heures/2/60/-; beta-primary/Lot B · 5 heures/12.5/300/-"},
        {R"({"rateLimitsByLimitId": {"codex": {"limitName": "Ignored", "primary": {"usedPercent": 24, "windowDurationMins": 10080,
             "resetsAt": 1790420926}}, "other": {"limitName": "", "primary": {"usedPercent": 5, "windowDurationMins": 1440}}}})",
         "codex-primary/Semaine/24/10080/1790420926; other-primary/ · 24 heures/5/1440/-"},
        {R"({"rateLimitsByLimitId": {}, )" + fallback, fromFallback},
        {R"({"rateLimitsByLimitId": null, )" + fallback, fromFallback},
        {R"({"rateLimitsByLimitId": {"a": {"primary": {"usedPercent": 1}}, "b": null}, )" + fallback, fromFallback},
        // A usable map is never mixed with the single entry, even when none of its slots is usable.
        {R"({"rateLimitsByLimitId": {"codex": {"primary": null}, "d": {"primary": {}, "secondary": 5}}, )" + fallback, ""},
        {R"([1, 2])", ""},
    };
    for (const auto& [payload, windows] : table) EXPECT_EQ(windowsOf(payload), windows) << payload;
}

TEST(QuotaWindows, SlotValues) {
    const std::pair<const char*, const char*> table[] = {  // a primary slot, and its window as name/used/minutes/reset
        {R"("usedPercent": 110)", "Quota/100/-/-"},
        {R"("usedPercent": -5, "windowDurationMins": 45)", "45 minutes/0/45/-"},
        {R"("usedPercent": 1e300, "windowDurationMins": 120)", "2 heures/100/120/-"},
        {R"("usedPercent": -1e300, "windowDurationMins": 300.9, "resetsAt": 1796600000.5)", "5 heures/0/300/1796600000.5"},
        {R"("usedPercent": 1, "windowDurationMins": 0, "resetsAt": 0)", "0 heures/1/-/0"},
        {R"("usedPercent": 1, "windowDurationMins": 20160, "resetsAt": -5)", "336 heures/1/20160/-5"},
        {R"("usedPercent": 1, "windowDurationMins": -90, "resetsAt": 1e300)", "-90 minutes/1/-/-"},
        {R"("usedPercent": 1, "windowDurationMins": -300.9, "resetsAt": -1e300)", "-5 heures/1/-/-"},
        {R"("usedPercent": 1, "windowDurationMins": "300", "resetsAt": "1796600000")", "Quota/1/-/-"},
        {R"("usedPercent": 1, "windowDurationMins": true, "resetsAt": null)", "Quota/1/-/-"},
        // Out of the 64-bit range: saturated, never undefined.
        {R"("usedPercent": 1, "windowDurationMins": 1e300)", "9223372036854775807 minutes/1/9223372036854775807/-"},
        {R"("usedPercent": 1, "windowDurationMins": 18446744073709551615)", "9223372036854775807 minutes/1/9223372036854775807/-"},
        {R"("usedPercent": 1, "windowDurationMins": -1e300)", "-9223372036854775808 minutes/1/-/-"},
        {R"("usedPercent": "42")", ""}, {R"("usedPercent": true)", ""}, {R"("windowDurationMins": 300)", ""},
    };
    for (const auto& [slot, window] : table) {
        const std::string windows = windowsOf(std::string(R"({"rateLimits": {"primary": {)") + slot + "}}}");
        EXPECT_EQ(windows, *window ? std::string("codex-primary/") + window : "") << slot;
    }
}

}  // namespace
}  // namespace tallyvane
