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

void ManualLoop::drain() {
    while (!queue_.empty()) {
        auto task = std::move(queue_.front());
        queue_.pop_front();
        task();
    }
}

void ManualLoop::fireTimers() {
    for (const auto& tick : std::vector(ticks_))
        if (auto run = *tick) run();  // a copy: the tick may invalidate its own timer
}

ModelRig::ModelRig() {
    files->executables.push_back("/home/tester/.local/bin/codex");
    ModelServices services{clock, loop, std::make_shared<InlineExecutor>(), launcher, files,
                           {"/home/tester", {"PATH=/home/tester/bin:/usr/bin", "LANG=fr_FR.UTF-8"}, 777}};
    model = UsageModel::create(std::move(services));
    model->onChange = [this] { ++changes; };
}

void ModelRig::startReady() {
    model->start();
    receive(R"({"id":1,"result":{}})");
}

void ModelRig::receive(const std::string& json) {
    child().print(json + "\n");
    loop->drain();
}

std::int64_t ModelRig::pendingId(const std::string& kind) const {
    for (const auto& [id, request] : model->pending())
        if (request.kind == kind) return id;
    return -1;
}

void ModelRig::answer(const std::string& kind, const std::string& resultJson) {
    receive(R"({"id":)" + std::to_string(pendingId(kind)) + R"(,"result":)" + resultJson + "}");
}

void ModelRig::answerError(std::int64_t id, const std::string& message) {
    receive(R"({"error":{"code":-32600,"message":")" + message + R"("},"id":)" + std::to_string(id) + "}");
}

}  // namespace tallyvane::testing
