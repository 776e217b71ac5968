// From one line of the child's output to published state: decoding, matching, the rate-limit
// parser, the change callback and the status text, on the fakes (no I/O).
#include <benchmark/benchmark.h>

#include <string>

#include "model/line_decoder.h"
#include "tests/support/fakes.h"

namespace {

using tallyvane::testing::ModelRig;

// The real peer's answer to account/rateLimits/read (codex-cli 0.171.0), after `{"id":N,`.
const std::string rateLimitsResult =
    R"("result":{"ordinaryUsageAllowed":null,"rateLimits":{"limitId":"codex","limitName":null,)"
    R"("primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},)"
    R"("secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},)"
    R"("credits":{"hasCredits":true,"unlimited":false,"balance":"5.39"},"planType":"pro","rateLimitReachedType":null},)"
    R"("rateLimitsByLimitId":{"codex":{"limitId":"codex","limitName":null,)"
    R"("primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},)"
    R"("secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},"credits":null},)"
    R"("codex_other":{"limitId":"codex_other","limitName":"codex_other",)"
    R"("primary":{"usedPercent":88,"windowDurationMins":30,"resetsAt":1796594000},"secondary":null}},)"
    R"("rateLimitResetCredits":null,"accountId":null,"rateLimitUpsell":null}})";

void decodeOnly(benchmark::State& state) {
    const std::string line = R"({"id":11,)" + rateLimitsResult;
    for (auto _ : state) benchmark::DoNotOptimize(tallyvane::decodeObjectLine(line));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(decodeOnly);

// Each round: refresh sends the next quota request; its answer comes back through the model.
void answerThroughTheModel(benchmark::State& state) {
    ModelRig rig;
    rig.startReady();
    rig.answerTokens("{}");  // only the quota request cycles from here on
    for (auto _ : state) {
        rig.model->refresh();
        rig.receive(R"({"id":)" + std::to_string(rig.pendingId("quota")) + "," + rateLimitsResult);
        rig.child().written.clear();
        rig.files->writes.clear();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(answerThroughTheModel);

void notificationThroughTheModel(benchmark::State& state) {
    ModelRig rig;
    rig.startReady();
    const std::string line = R"({"method":"account/rateLimits/updated","emittedAtMs":1796593570468,"params":{)" +
                             rateLimitsResult.substr(std::string(R"("result":{)").size());
    for (auto _ : state) {
        rig.receive(line);
        rig.files->writes.clear();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(notificationThroughTheModel);

}  // namespace

BENCHMARK_MAIN();
