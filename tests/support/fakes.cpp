#include "tests/support/fakes.h"

namespace tallyvane::testing {
namespace {

struct ManualTimer final : Timer {
    ~ManualTimer() override { invalidate(); }
    void invalidate() override { *tick = nullptr; }
    std::shared_ptr<std::function<void()>> tick;
};

}  // namespace

std::unique_ptr<Timer> ManualLoop::scheduleRepeating(std::chrono::milliseconds, std::chrono::milliseconds,
                                                     std::function<void()> tick) {
    auto timer = std::make_unique<ManualTimer>();
    timer->tick = ticks_.emplace_back(std::make_shared<std::function<void()>>(std::move(tick)));
    return timer;
}

std::string windowsAt(const std::vector<double>& percentages) {
    std::string limits;
    for (std::size_t i = 0; i < percentages.size(); ++i)
        limits += (i ? "," : "") + std::string(R"("lim)") + std::to_string(i) + R"(":{"limitName":"Palier )" +
                  std::to_string(i + 1) + R"(","primary":{"usedPercent":)" + std::to_string(percentages[i]) +
                  R"(,"windowDurationMins":300)" + (i == 0 ? R"(,"resetsAt":1796600000)" : "") + "}}";
    return R"({"rateLimitsByLimitId":{)" + limits + "}}";
}

ModelRig::ModelRig() {
    files->executables.push_back("/home/tester/.local/bin/codex");
    model = UsageModel::create({clock, loop, std::make_shared<InlineExecutor>(), launcher, files,
                                {"/home/tester", {"PATH=/home/tester/bin:/usr/bin", "LANG=fr_FR.UTF-8"}, 777}});
}

}  // namespace tallyvane::testing
