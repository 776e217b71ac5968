#pragma once
// One rate-limit window and the parser that turns a rate-limit payload into the display list.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/clock.h"

namespace tallyvane {

using Json = nlohmann::json;

struct QuotaWindow {
    std::string id;
    std::string name;
    double used = 0;  // 0...100
    std::optional<Instant> reset;
    std::optional<std::int64_t> durationMins;  // the window's length, when Codex gives a positive one

    bool operator==(const QuotaWindow&) const = default;
};

// Never fails: whatever has the wrong shape is left out.
std::vector<QuotaWindow> quotaWindows(const Json& payload);

// The largest consumed percentage, unrounded; nothing without any window.
std::optional<double> highestUse(const std::vector<QuotaWindow>& windows);

}  // namespace tallyvane
