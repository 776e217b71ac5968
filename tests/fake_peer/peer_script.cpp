#include "tests/fake_peer/peer_script.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fake_codex {
namespace {

// Shapes as the real peer (codex-cli 0.171.0) sends them for a signed-in ChatGPT account.
const Json defaultInitialize = Json::parse(R"json({"result":{
    "userAgent":"kestrane_quota_bar/0.171.0 (Debian 12.0.0; x86_64) unknown (kestrane_quota_bar; 1.4.0)",
    "codexHome":"/tmp/.codex","platformFamily":"unix","platformOs":"linux"}})json");

const Json defaultRateLimits = Json::parse(R"json({"result":{"ordinaryUsageAllowed":null,
    "rateLimits":{"limitId":"codex","limitName":null,
        "primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},
        "secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},
        "credits":{"hasCredits":true,"unlimited":false,"balance":"5.39"},"planType":"pro","rateLimitReachedType":null},
    "rateLimitsByLimitId":{"codex":{"limitId":"codex","limitName":null,
        "primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},
        "secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},
        "credits":null,"planType":"pro","rateLimitReachedType":null}},
    "rateLimitResetCredits":null,"accountId":null,"rateLimitUpsell":null}})json");

const Json defaultUsage = Json::parse(R"json({"result":{
    "summary":{"lifetimeTokens":123456789,"peakDailyTokens":4000000,"longestRunningTurnSec":3600,
               "currentStreakDays":3,"longestStreakDays":9},
    "dailyUsageBuckets":[{"startDate":"2026-12-04","tokens":900000},{"startDate":"2026-12-05","tokens":1500000}],
    "threadUsage":null}})json");

}  // namespace

PeerScript PeerScript::fromEnvironment() {
    const char* path = std::getenv("FAKE_CODEX_SCRIPT");
    if (path == nullptr || *path == '\0') return PeerScript(Json::object());
    std::ifstream file(path);
    if (!file) throw std::runtime_error(std::string("cannot read ") + path);
    return PeerScript(Json::parse(file));
}

std::string PeerScript::logPath() const { return script_.value("log", std::string()); }

bool PeerScript::ignoreSigterm() const { return script_.value("ignoreSigterm", false); }

bool PeerScript::grandchild() const { return script_.value("grandchild", false); }

Json PeerScript::atStart() const { return asSteps(script_.value("atStart", Json::array()), nullptr); }

Json PeerScript::afterInitialized() const {
    return asSteps(script_.value("afterInitialized", Json::array()), nullptr);
}

Json PeerScript::initializeAnswer() const {
    return asSteps(script_.value("initialize", defaultInitialize), defaultInitialize);
}

Json PeerScript::readAnswer(const std::string& method, std::size_t index) const {
    const Json& fallback = method == "account/usage/read" ? defaultUsage : defaultRateLimits;
    const auto answers = script_.find(method);
    if (answers == script_.end() || !answers->is_array() || answers->empty()) return asSteps(fallback, fallback);
    return asSteps((*answers)[std::min(index, answers->size() - 1)], fallback);
}

Json asSteps(const Json& answer, const Json& defaultAnswer) {
    if (answer == "silent") return Json::array();
    if (answer == "default") return Json::array({defaultAnswer});
    if (!answer.is_array()) return Json::array({answer});
    Json steps = Json::array();
    for (const Json& step : answer) steps.push_back(step == "default" ? defaultAnswer : step);
    return steps;
}

}  // namespace fake_codex
