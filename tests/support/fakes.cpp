#include "tests/support/fakes.h"

#include <algorithm>

namespace tallyvane::testing {

class ManualLoop::ManualTimer final : public Timer {
public:
    explicit ManualTimer(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
    ~ManualTimer() override { invalidate(); }
    void invalidate() override { state_->live = false; }

private:
    std::shared_ptr<TimerState> state_;
};

void ManualLoop::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
}

std::unique_ptr<Timer> ManualLoop::scheduleRepeating(std::chrono::milliseconds interval,
                                                     std::chrono::milliseconds tolerance,
                                                     std::function<void()> tick) {
    lastInterval = interval;
    lastTolerance = tolerance;
    auto state = std::make_shared<TimerState>(TimerState{std::move(tick)});
    timers_.push_back(state);
    return std::make_unique<ManualTimer>(state);
}

void ManualLoop::postDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    delayed.emplace_back(delay, std::move(task));
}

int ManualLoop::drain() {
    int ran = 0;
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return ran;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
        ++ran;
    }
}

void ManualLoop::fireTimers() {
    auto timers = timers_;
    for (const auto& timer : timers)
        if (timer->live) timer->tick();
}

int ManualLoop::liveTimers() const {
    return static_cast<int>(std::count_if(timers_.begin(), timers_.end(), [](const auto& t) { return t->live; }));
}

bool FakeChild::write(std::string_view bytes) {
    if (failWrites || exitedFlag || inputClosed) return false;
    written.append(bytes);
    return true;
}

void FakeChild::print(std::string_view bytes) {
    if (!outputStopped) events.output(bytes);
}

void FakeChild::exit() {
    exitedFlag = true;
    events.exited();
}

std::vector<std::string> FakeChild::writtenLines() const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t lf = written.find('\n'); lf != std::string::npos; lf = written.find('\n', start)) {
        lines.push_back(written.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

std::shared_ptr<ChildProcess> FakeLauncher::launch(const LaunchRequest& request, ChildEvents events) {
    if (refuse) return nullptr;
    children.push_back(std::make_shared<FakeChild>(request, std::move(events)));
    return children.back();
}

bool FakeFileSystem::isExecutable(const std::string& path) const {
    return std::find(executables.begin(), executables.end(), path) != executables.end();
}

bool FakeFileSystem::createDirectories(const std::string&, mode_t) { return true; }

bool FakeFileSystem::replaceAtomically(const std::string& path, std::string_view bytes, mode_t) {
    writes.emplace_back(path, std::string(bytes));
    return true;
}

ModelRig::ModelRig() {
    files->executables.push_back("/home/tester/.local/bin/codex");
    ModelServices services;
    services.clock = clock;
    services.mainLoop = loop;
    services.ioQueue = std::make_shared<InlineExecutor>();
    services.launcher = launcher;
    services.files = files;
    services.environment.home = "/home/tester";
    services.environment.variables = {"PATH=/home/tester/bin:/usr/bin", "LANG=fr_FR.UTF-8"};
    services.environment.pid = 777;
    model = UsageModel::create(std::move(services));
    model->onChange = [this] { ++changes; };
    model->willChange().connect([this] { ++willChanges; });
}

void ModelRig::startReady() {
    model->start();
    receive(R"({"id":1,"result":{}})");
}

void ModelRig::receive(const std::string& json) {
    child().printLine(json);
    loop->drain();
}

std::int64_t ModelRig::pendingId(const std::string& kind) const {
    for (const auto& [id, request] : model->pending())
        if (request.kind == kind) return id;
    return -1;
}

void ModelRig::answerQuota(const std::string& resultJson) {
    receive(R"({"id":)" + std::to_string(pendingId("quota")) + R"(,"result":)" + resultJson + "}");
}

void ModelRig::answerTokens(const std::string& resultJson) {
    receive(R"({"id":)" + std::to_string(pendingId("tokens")) + R"(,"result":)" + resultJson + "}");
}

void ModelRig::answerError(std::int64_t id, const std::string& message) {
    receive(R"({"error":{"code":-32600,"message":")" + message + R"("},"id":)" + std::to_string(id) + "}");
}

}  // namespace tallyvane::testing
