#pragma once
// The usage model on the real seams (event loop, child launcher, I/O queue, file system) with a hand-moved
// clock and a temporary HOME whose ~/.local/bin/codex is the program under test.
#include <sys/types.h>

#include <chrono>
#include <functional>

#include <nlohmann/json.hpp>

#include "model/usage_model.h"
#include "platform/posix/event_loop.h"
#include "tests/support/fakes.h"

namespace tallyvane::integration {

struct LiveRig {
    // `script` is the scripted peer's (tests/fake_peer) when `codex` is that peer; its log records what it receives.
    explicit LiveRig(const nlohmann::json& script, const std::string& codex = FAKE_CODEX_PATH);
    // Stops the model if the test did not, then fails the test if any process started here is still alive.
    ~LiveRig();

    // Runs the main loop until `done` holds or `limit` passes; returns `done()`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // " id:method ..." of the lines each launch of the scripted peer received, launches apart with " |".
    std::string received() const;
    // Processes started from this rig, its children's children included, that are alive and not zombies.
    std::vector<pid_t> survivors() const;

    std::string home;
    std::string marker;  // an environment entry that every process started from this rig inherits
    std::shared_ptr<testing::ManualClock> clock = std::make_shared<testing::ManualClock>();
    std::shared_ptr<EventLoop> loop = std::make_shared<EventLoop>();
    std::shared_ptr<UsageModel> model;
    std::vector<std::string> errors;  // each new value of `error`, "" when it clears
};

// True while the pid names a process, zombies included.
bool processExists(pid_t pid);

}  // namespace tallyvane::integration
