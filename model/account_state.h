#pragma once
// What Codex says about the account beside its windows: the plan, the credits, whether a limit has
// been reached and how many limit-reset credits are left. Each part is unknown until Codex gives it
// with the right type; nothing here can fail a reading.
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace tallyvane {

struct AccountState {
    std::optional<std::string> planType;  // one of the protocol's plan names, never another text
    std::optional<bool> hasCredits;
    std::optional<bool> unlimited;
    std::optional<std::string> balance;      // a plain decimal text ("5.39")
    std::optional<std::string> reachedType;  // any text Codex sends: an unknown kind is still a limit
    std::optional<bool> spendControlReached;
    std::optional<bool> ordinaryUsageAllowed;
    std::optional<std::int64_t> resetCredits;  // limit-reset credits available, 0 or more

    bool operator==(const AccountState&) const = default;
};

// `previous` updated from a rate-limit payload: the snapshot's members when it carries one (the
// `codex` entry of rateLimitsByLimitId, else rateLimits), the top-level ones only when `topLevel`
// (a read result; the update notification carries a snapshot alone).
AccountState readAccount(const nlohmann::json& payload, bool topLevel, AccountState previous);

}  // namespace tallyvane
