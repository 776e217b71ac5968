#pragma once
// Test doubles for the model's seams: a clock moved by hand, a main loop whose queue and timers
// the test drains, and an in-process child that records what it was sent.
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/services.h"
#include "model/usage_model.h"
#include "platform/url_opener.h"

namespace tallyvane::testing {

class ManualClock final : public Clock {
public:
    Instant now() const override { return now_; }
    void advance(std::chrono::milliseconds by) { now_ += by; }
    void set(Instant at) { now_ = at; }

private:
    Instant now_ = Instant{} + std::chrono::seconds(1'796'000'000);
};

// Runs nothing by itself: the test calls drain() and fire().
class ManualLoop final : public MainLoop {
public:
    void post(std::function<void()> task) override;
    std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval, std::chrono::milliseconds tolerance,
                                             std::function<void()> tick) override;
    void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;

    // Runs posted tasks (and the ones they post) until the queue is empty; returns how many ran.
    int drain();
    // Fires every live repeating timer once.
    void fireTimers();
    int liveTimers() const;
    std::chrono::milliseconds lastInterval{0}, lastTolerance{0};
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> delayed;

private:
    struct TimerState {
        std::function<void()> tick;
        bool live = true;
    };
    class ManualTimer;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::shared_ptr<TimerState>> timers_;
};

// Runs each task at once, on the posting thread.
class InlineExecutor final : public Executor {
public:
    void post(std::function<void()> task) override { task(); }
};

class FakeChild final : public ChildProcess {
public:
    FakeChild(LaunchRequest request, ChildEvents events) : request(std::move(request)), events(std::move(events)) {}
    int pid() const override { return 4242; }
    bool write(std::string_view bytes) override;
    void closeInput() override { inputClosed = true; }
    void stopOutput() override { outputStopped = true; }
    void terminate() override { ++terminateCount; }
    void kill() override { ++killCount; }
    bool waitForExit(std::chrono::milliseconds) override { return exitedFlag; }
    bool hasExited() const override { return exitedFlag; }

    // The child writes bytes to its standard output, respectively exits (through the real event path).
    void print(std::string_view bytes);
    void printLine(const std::string& json) { print(json + "\n"); }
    void exit();
    // Lines the model wrote, without their line feeds.
    std::vector<std::string> writtenLines() const;

    LaunchRequest request;
    ChildEvents events;
    std::string written;
    bool failWrites = false;
    bool inputClosed = false;
    bool outputStopped = false;
    bool exitedFlag = false;
    int terminateCount = 0;
    int killCount = 0;
};

class FakeLauncher final : public ChildLauncher {
public:
    std::shared_ptr<ChildProcess> launch(const LaunchRequest& request, ChildEvents events) override;
    std::shared_ptr<FakeChild> last() const { return children.empty() ? nullptr : children.back(); }
    bool refuse = false;
    std::vector<std::shared_ptr<FakeChild>> children;
};

// Says every listed path is executable; remembers writes in memory.
class FakeFileSystem final : public FileSystem {
public:
    bool isExecutable(const std::string& path) const override;
    bool createDirectories(const std::string& path, mode_t mode) override;
    bool replaceAtomically(const std::string& path, std::string_view bytes, mode_t mode) override;
    std::vector<std::string> executables;
    std::vector<std::pair<std::string, std::string>> writes;  // path, contents
};

// Remembers what it was asked to open.
class RecordingOpener final : public UrlOpener {
public:
    bool open(const std::string& urlOrPath) override {
        opened.push_back(urlOrPath);
        return accept;
    }
    bool accept = true;
    std::vector<std::string> opened;
};

// A model wired to the fakes above, with an executable codex in ~/.local/bin.
struct ModelRig {
    ModelRig();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualLoop> loop = std::make_shared<ManualLoop>();
    std::shared_ptr<FakeLauncher> launcher = std::make_shared<FakeLauncher>();
    std::shared_ptr<FakeFileSystem> files = std::make_shared<FakeFileSystem>();
    std::shared_ptr<UsageModel> model;
    int changes = 0;      // onChange calls
    int willChanges = 0;  // will-change signals

    FakeChild& child() const { return *launcher->last(); }
    // Starts the model and answers `initialize`, leaving the two read requests (11, 12) pending.
    void startReady();
    // The child sends one line; the main loop delivers it.
    void receive(const std::string& json);
    void answerQuota(const std::string& resultJson);
    void answerTokens(const std::string& resultJson);
    void answerError(std::int64_t id, const std::string& message);
    // Id of the pending request of this kind, or -1.
    std::int64_t pendingId(const std::string& kind) const;
};

}  // namespace tallyvane::testing
