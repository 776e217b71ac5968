#include "model/quota_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "model/json_numbers.h"
#include "model/safe_text.h"

namespace tallyvane {
namespace {

using Entry = std::pair<std::string, const Json*>;

std::vector<Entry> chooseEntries(const Json& payload) {
    std::vector<Entry> entries;
    if (!payload.is_object()) return entries;
    auto byId = payload.find("rateLimitsByLimitId");
    if (byId != payload.end() && byId->is_object() && !byId->empty() &&
        std::all_of(byId->begin(), byId->end(), [](const Json& v) { return v.is_object(); })) {
        for (auto it = byId->begin(); it != byId->end(); ++it) entries.emplace_back(it.key(), &it.value());
        // Byte order of UTF-8 is code-point order. nlohmann keeps object members sorted already,
        // but the order is ours to guarantee, not the library's.
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.first < b.first; });
        return entries;
    }
    auto single = payload.find("rateLimits");
    if (single != payload.end() && single->is_object()) entries.emplace_back("codex", &*single);
    return entries;
}

std::optional<std::int64_t> durationMinutes(const Json& slot) {
    auto member = slot.find("windowDurationMins");
    if (member == slot.end()) return std::nullopt;
    return jsonTruncatedInt64(*member);
}

std::string durationName(const std::optional<std::int64_t>& minutes) {
    if (!minutes) return "Quota";
    const std::int64_t m = *minutes;
    if (m == 10080) return "Semaine";
    if (m == 1440) return "24 heures";
    if (m == 300) return "5 heures";
    if (m % 60 == 0) return std::to_string(m / 60) + " heures";
    return std::to_string(m) + " minutes";
}

std::optional<QuotaWindow> slotWindow(const std::string& limitId, const Json& limit, const char* slotName) {
    auto slot = limit.find(slotName);
    if (slot == limit.end() || !slot->is_object()) return std::nullopt;
    auto usedMember = slot->find("usedPercent");
    if (usedMember == slot->end()) return std::nullopt;
    auto used = jsonDouble(*usedMember);
    if (!used || std::isnan(*used)) return std::nullopt;

    const auto minutes = durationMinutes(*slot);
    std::string name = durationName(minutes);
    if (limitId != "codex") {
        auto label = limit.find("limitName");
        // Codex's text goes to terminals and notifications: made inert, on one line.
        name = safeText((label != limit.end() && label->is_string()) ? label->get<std::string>() : limitId) + " · " + name;
    }

    std::optional<Instant> reset;
    auto resetsAt = slot->find("resetsAt");
    if (resetsAt != slot->end())
        if (auto seconds = jsonDouble(*resetsAt)) reset = instantFromUnixSeconds(*seconds);

    std::optional<std::int64_t> duration;
    if (minutes && *minutes > 0) duration = minutes;
    return QuotaWindow{limitId + "-" + slotName, std::move(name), std::clamp(*used, 0.0, 100.0), reset, duration};
}

}  // namespace

std::optional<double> highestUse(const std::vector<QuotaWindow>& windows) {
    if (windows.empty()) return std::nullopt;
    const auto highest = std::max_element(windows.begin(), windows.end(),
                                          [](const QuotaWindow& a, const QuotaWindow& b) { return a.used < b.used; });
    return highest->used;
}

std::vector<QuotaWindow> quotaWindows(const Json& payload) {
    std::vector<QuotaWindow> windows;
    for (const auto& [limitId, limit] : chooseEntries(payload))
        for (const char* slotName : std::array{"primary", "secondary"})
            if (auto window = slotWindow(limitId, *limit, slotName)) windows.push_back(std::move(*window));
    return windows;
}

}  // namespace tallyvane
