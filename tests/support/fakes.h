#pragma once
// Test doubles for the model's seams, all on the test's thread: a clock moved by hand, a main loop drained
// by the test, an in-process child that records what it was sent, and a model wired to them.
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/services.h"
#include "model/usage_model.h"
#include "platform/url_opener.h"

namespace tallyvane::testing {

// A queue whose tasks run at once, on the posting thread: the rig's I/O queue, a store's queue.
struct InlineExecutor final : Executor {
    void post(std::function<void()> task) override { task(); }
};

struct ManualClock final : Clock {
    Instant now() const override { return at; }
    void advance(std::chrono::milliseconds by) { at += by; }
    Instant at = Instant{} + std::chrono::seconds(1'796'000'000);  // 2026-11-30T00:53:20Z
};

// Runs nothing by itself: the test calls drain() and fireTimers(); delayed tasks are only kept.
class ManualLoop final : public MainLoop {
public:
    void post(std::function<void()> task) override { queue_.push_back(std::move(task)); }
    std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval, std::chrono::milliseconds tolerance,
                                             std::function<void()> tick) override;
    void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) override { delayed.emplace_back(delay, std::move(task)); }
    // Runs posted tasks, and the ones they post, until the queue is empty.
    void drain() {
        while (!queue_.empty()) {
            auto task = std::move(queue_.front());
            queue_.pop_front();
            task();
        }
    }
    // Fires every live repeating timer once.
    void fireTimers() {
        for (const auto& tick : std::vector(ticks_))  // a copy: the tick may invalidate its own timer
            if (auto run = *tick) run();
    }
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> delayed;

private:
    std::deque<std::function<void()>> queue_;
    std::vector<std::shared_ptr<std::function<void()>>> ticks_;  // emptied when their timer is invalidated
};

struct FakeChild final : ChildProcess {
    FakeChild(LaunchRequest request, ChildEvents events) : request(std::move(request)), events(std::move(events)) {}
    int pid() const override { return 4242; }
    bool write(std::string_view bytes) override { return !failWrites && !exited && !inputClosed && (written.append(bytes), true); }
    void closeInput() override { inputClosed = true; }
    void stopOutput() override { outputStopped = true; }
    void terminate() override { ++terminateCount; }
    void kill() override { ++killCount; }
    bool waitForExit(std::chrono::milliseconds) override { return exited; }
    bool hasExited() const override { return exited; }

    // The child writes bytes to its standard output, respectively exits (through the real event path).
    void print(std::string_view bytes) { if (!outputStopped) events.output(bytes); }
    void exit(ChildExit status = {}) { exited = true, events.exited(status); }

    LaunchRequest request;
    ChildEvents events;
    std::string written;
    bool failWrites = false, inputClosed = false, outputStopped = false, exited = false;
    int terminateCount = 0, killCount = 0;
};

struct FakeLauncher final : ChildLauncher {
    std::shared_ptr<ChildProcess> launch(const LaunchRequest& request, ChildEvents events) override {
        return refuse ? nullptr : children.emplace_back(std::make_shared<FakeChild>(request, std::move(events)));
    }
    std::shared_ptr<FakeChild> last() const { return children.empty() ? nullptr : children.back(); }
    bool refuse = false;
    std::vector<std::shared_ptr<FakeChild>> children;
};

// Says every listed path is executable; remembers writes in memory.
struct FakeFileSystem final : FileSystem {
    bool isExecutable(const std::string& path) const override { return std::ranges::find(executables, path) != executables.end(); }
    std::optional<std::string> readSmallFile(const std::string&) const override { return std::nullopt; }
    std::vector<std::string> listFolder(const std::string&) const override { return {}; }
    std::optional<std::string> realPath(const std::string& path) const override { return path; }
    std::optional<std::string> linkTarget(const std::string&) const override { return std::nullopt; }
    bool createDirectories(const std::string&, mode_t) override { return true; }
    bool replaceAtomically(const std::string& path, std::string_view bytes, mode_t) override {
        return writes.emplace_back(path, std::string(bytes)), true;
    }
    std::vector<std::string> executables;
    std::vector<std::pair<std::string, std::string>> writes;  // path, contents
};

// Remembers what it was asked to open.
struct RecordingOpener final : UrlOpener {
    bool open(const std::string& urlOrPath) override { opened.push_back(urlOrPath); return accept; }
    bool accept = true;
    std::vector<std::string> opened;
};

// Codex's answers that the panel's tests and its renderer show: two windows, tokens with one day.
inline const std::string twoWindowsAnswer =
    R"({"rateLimits":{"primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},)"
    R"("secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000}}})";
inline const std::string tokensAnswer =
    R"({"summary":{"lifetimeTokens":123456789},"dailyUsageBuckets":[{"startDate":"2026-12-05","tokens":1500000}]})";
// At the limit: the 5-hour window at 100 %, a Plus plan, one reset credit, with 5,39 credits or none.
inline std::string atTheLimitAnswer(bool credits) {
    return std::string(R"({"rateLimits":{"primary":{"usedPercent":100,"windowDurationMins":300,"resetsAt":1796600000},"secondary":)"
           R"({"usedPercent":64,"windowDurationMins":10080,"resetsAt":1797000000},"planType":"plus","credits":{"hasCredits":)") +
           (credits ? "true" : "false") + R"(,"unlimited":false,"balance":")" + (credits ? "5.39" : "0") +
           R"("},"rateLimitReachedType":"rate_limit_reached"},"rateLimitResetCredits":{"availableCount":1}})";
}
// One 5-hour limit per percentage, in this order; only the first has a reset time.
std::string windowsAt(const std::vector<double>& percentages);

// A model wired to the fakes above, with an executable codex in ~/.local/bin, HOME /home/tester,
// PATH /home/tester/bin:/usr/bin and pid 777.
struct ModelRig {
    ModelRig();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualLoop> loop = std::make_shared<ManualLoop>();
    std::shared_ptr<FakeLauncher> launcher = std::make_shared<FakeLauncher>();
    std::shared_ptr<FakeFileSystem> files = std::make_shared<FakeFileSystem>();
    std::shared_ptr<UsageModel> model;

    FakeChild& child() const { return *launcher->last(); }
    // Starts the model and answers `initialize`, leaving the two read requests (11, 12) pending.
    void startReady() { model->start(), receive(R"({"id":1,"result":{}})"); }
    // The child sends one line; the main loop delivers it.
    void receive(const std::string& json) { child().print(json + "\n"), loop->drain(); }
    void answerQuota(const std::string& resultJson) { answer("quota", resultJson); }
    void answerTokens(const std::string& resultJson) { answer("tokens", resultJson); }
    void answer(const std::string& kind, const std::string& resultJson) {  // to the pending request of that kind
        receive(R"({"id":)" + std::to_string(pendingId(kind)) + R"(,"result":)" + resultJson + "}");
    }
    void answerError(std::int64_t id, const std::string& message) {
        receive(R"({"error":{"code":-32600,"message":")" + message + R"("},"id":)" + std::to_string(id) + "}");
    }
    // Id of the pending request of this kind, or -1.
    std::int64_t pendingId(const std::string& kind) const {
        for (const auto& [id, request] : model->pending()) if (request.kind == kind) return id;
        return -1;
    }
};

}  // namespace tallyvane::testing
