#include "model/account_state.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "model/json_numbers.h"

namespace tallyvane {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::string_view, 20> planNames{
    "free", "go", "plus", "pro", "prolite", "promax", "team", "self_serve_business_prolite",
    "self_serve_business_usage_based", "business", "ent26", "enterprise_cbp_automation", "enterprise_cbp_usage_based",
    "enterprise", "edu", "edu_plus", "edu_pro", "sci", "sci_plus", "unknown"};

std::optional<std::string> text(const Json* value) {
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<bool> flag(const Json* value) {
    if (!value || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

// Digits, then perhaps a point and more digits: what the balance is when Codex gives a number.
bool plainDecimal(const std::string& value) {
    const std::size_t point = value.find('.');
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::string_view whole(value);
    if (point == std::string::npos) return digits(whole);
    return digits(whole.substr(0, point)) && digits(whole.substr(point + 1));
}

// The snapshot that stands for the account.
const Json* accountSnapshot(const Json& payload) {
    if (const Json* byId = jsonMember(payload, "rateLimitsByLimitId"))
        if (const Json* codex = jsonMember(*byId, "codex"); codex && codex->is_object()) return codex;
    const Json* single = jsonMember(payload, "rateLimits");
    return single && single->is_object() ? single : nullptr;
}

}  // namespace

AccountState readAccount(const Json& payload, bool topLevel, AccountState state) {
    if (const Json* snapshot = accountSnapshot(payload)) {
        state.planType = text(jsonMember(*snapshot, "planType"));
        if (state.planType && std::ranges::find(planNames, *state.planType) == planNames.end()) state.planType.reset();
        const Json* credits = jsonMember(*snapshot, "credits");
        state.hasCredits = credits ? flag(jsonMember(*credits, "hasCredits")) : std::nullopt;
        state.unlimited = credits ? flag(jsonMember(*credits, "unlimited")) : std::nullopt;
        state.balance = credits ? text(jsonMember(*credits, "balance")) : std::nullopt;
        if (state.balance && !plainDecimal(*state.balance)) state.balance.reset();
        state.reachedType = text(jsonMember(*snapshot, "rateLimitReachedType"));
        state.spendControlReached = flag(jsonMember(*snapshot, "spendControlReached"));
    }
    if (topLevel) {
        state.ordinaryUsageAllowed = flag(jsonMember(payload, "ordinaryUsageAllowed"));
        state.resetCredits.reset();
        if (const Json* summary = jsonMember(payload, "rateLimitResetCredits"))
            if (const Json* count = jsonMember(*summary, "availableCount"))
                if (const auto n = jsonIntegral(*count); n && *n >= 0) state.resetCredits = n;
    }
    return state;
}

}  // namespace tallyvane
