#pragma once
// The usage model on the real seams (event loop, child launcher, I/O queue, file system) with a
// temporary HOME whose ~/.local/bin/codex is the program under test, and a hand-moved clock.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/usage_model.h"
#include "platform/posix/event_loop.h"
#include "tests/support/fakes.h"

namespace tallyvane::integration {

// Passes launches to the real launcher and remembers them and every line written to a child.
class RecordingLauncher final : public ChildLauncher {
public:
    std::shared_ptr<ChildProcess> launch(const LaunchRequest& request, ChildEvents events) override;
    std::vector<LaunchRequest> requests;
    std::vector<std::string> written;  // each write, in order, across children
    int failedWrites = 0;

private:
    std::shared_ptr<ChildLauncher> real_;
};

struct LiveRig {
    // `codex` becomes $HOME/.local/bin/codex; `script` (when not null) is the fake peer's script.
    LiveRig(const std::string& codex, const nlohmann::json& script);
    explicit LiveRig(const nlohmann::json& script) : LiveRig(fakeCodexPath(), script) {}
    // Stops the model if the test did not, then fails the test if any child is still alive.
    ~LiveRig();
    LiveRig(const LiveRig&) = delete;
    LiveRig& operator=(const LiveRig&) = delete;

    static std::string fakeCodexPath();

    // Runs the main loop until `done` holds or `limit` passes; returns `done()`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // stop, then finishStopping with the grace the application uses when it quits.
    void stopAndFinish();

    // Lines the peer received, one list per launch, as its log recorded them.
    std::vector<std::vector<std::string>> receivedPerLaunch() const;
    // How many lines the `launch`-th child (from 0) has received so far.
    std::size_t receivedCount(std::size_t launch) const;
    bool hasPending(std::int64_t id) const { return model->pending().count(id) != 0; }
    // Processes started from this rig (children and their children) that are still alive.
    std::vector<pid_t> survivors() const;
    std::string statusPath() const { return model->support() + "/status.json"; }
    // status.json as it stands; an empty object while there is none.
    nlohmann::json status() const;

    std::string home;
    std::string logPath;
    std::string marker;  // an environment entry that every process started from this rig inherits
    std::shared_ptr<testing::ManualClock> clock = std::make_shared<testing::ManualClock>();
    std::shared_ptr<EventLoop> loop = std::make_shared<EventLoop>();
    std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
    std::shared_ptr<UsageModel> model;
    std::vector<std::string> errors;       // `error` at each onChange, "" when absent
    std::vector<std::string> tokenErrors;  // `tokenError` at each onChange
};

}  // namespace tallyvane::integration
