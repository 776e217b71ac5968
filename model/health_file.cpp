#include "model/health_file.h"

#include <ctime>

#include <nlohmann/json.hpp>

#include "model/account_texts.h"
#include "model/usage_model.h"

namespace tallyvane {

std::string iso8601(Instant t) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string healthJson(const UsageModel& model, int pid) {
    nlohmann::ordered_json health;
    health["running"] = true;
    health["pollSeconds"] = 30;
    health["windowCount"] = model.windows().size();
    health["pid"] = pid;
    if (model.updated()) health["quotaUpdatedAt"] = iso8601(*model.updated());
    if (model.tokenUpdated()) health["tokensFetchedAt"] = iso8601(*model.tokenUpdated());
    health["error"] = model.error().value_or("");
    health["tokenError"] = model.tokenError().value_or("");
    health["lastTokenDay"] = model.lastTokenDay().value_or("");
    if (const auto highest = highestUse(model.windows())) health["usedPercent"] = *highest;
    const AccountState& account = model.account();
    health["planType"] = account.planType.value_or("");
    health["creditsBalance"] = account.balance.value_or("");
    health["limitReached"] = limitReached(account, model.windows());
    health["resetCreditsAvailable"] = account.resetCredits.value_or(0);
    return health.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace tallyvane
