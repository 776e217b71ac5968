// quotaWindows on what the peer really sends, and on a 1 MB payload with thousands of limit ids.
#include <benchmark/benchmark.h>

#include "model/quota_window.h"

namespace {

using tallyvane::Json;

Json realisticPayload() {
    return Json::parse(R"({"ordinaryUsageAllowed":null,
      "rateLimits":{"limitId":"codex","limitName":null,"primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},
        "secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},
        "credits":{"hasCredits":true,"unlimited":false,"balance":"5.39"},"planType":"pro","rateLimitReachedType":null},
      "rateLimitsByLimitId":{
        "codex":{"limitId":"codex","limitName":null,"primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},
          "secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},"planType":"pro"},
        "codex_other":{"limitId":"codex_other","limitName":"codex_other","primary":{"usedPercent":88,"windowDurationMins":30,"resetsAt":1796594000},"secondary":null}},
      "rateLimitResetCredits":null,"accountId":null,"rateLimitUpsell":null})");
}

Json largePayload() {
    Json byId = Json::object();
    for (int i = 0; byId.dump().size() < 1'000'000; ++i) {
        const std::string id = "limit_" + std::to_string(i * 7919 % 100000);
        byId[id] = Json{{"limitId", id},
                        {"limitName", "Limite " + std::to_string(i)},
                        {"primary", {{"usedPercent", i % 101}, {"windowDurationMins", 300}, {"resetsAt", 1796600000 + i}}},
                        {"secondary", {{"usedPercent", 12.5}, {"windowDurationMins", 10080}, {"resetsAt", 1797000000}}}};
    }
    return Json{{"rateLimitsByLimitId", byId}};
}

void realistic(benchmark::State& state) {
    const Json payload = realisticPayload();
    for (auto _ : state) benchmark::DoNotOptimize(tallyvane::quotaWindows(payload));
}
BENCHMARK(realistic);

void oneMegabyte(benchmark::State& state) {
    const Json payload = largePayload();
    state.counters["limitIds"] = static_cast<double>(payload["rateLimitsByLimitId"].size());
    for (auto _ : state) benchmark::DoNotOptimize(tallyvane::quotaWindows(payload));
}
BENCHMARK(oneMegabyte)->Unit(benchmark::kMicrosecond);

}  // namespace
