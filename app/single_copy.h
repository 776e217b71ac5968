#pragma once
// One live copy per user, as the run modes apply it (platform/posix/instance_lock.h), and the
// French lines of a copy that steps back. Demo copies take no lock.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/posix/instance_channel.h"
#include "platform/posix/instance_lock.h"

namespace tallyvane {

// Held while headless mode runs.
struct HeadlessClaim {
    std::optional<InstanceLock> lock;        // none in demo mode
    std::unique_ptr<InstanceServer> server;  // ends before the lock is let go
};

// Takes the lock and serves the socket; `handOver` runs (on another thread) when a desktop copy
// asks to take over. Nothing when another live copy runs: it has been said on standard error.
std::optional<HeadlessClaim> claimHeadless(const std::string& supportDirectory, std::function<void()> handOver);

// "Tallyvane tourne déjà (pid N)."
std::string alreadyRunningText(std::optional<int> pid);
// The holder kept the lock but did not answer, or promised a handover and did not go.
std::string silentHolderText(std::optional<int> pid);
std::string notHandedOverText(std::optional<int> pid);

}  // namespace tallyvane
