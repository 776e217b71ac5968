#pragma once
// One live copy per user: an flock on "tallyvane.lock" (released by the kernel however the holder
// ends) with the holder's pid written in it, and beside it the socket "tallyvane.socket" on
// which the holder hears later copies (see instance_channel.h).
#include <chrono>
#include <optional>
#include <string>

#include "platform/posix/unique_fd.h"

namespace tallyvane {

// `runtimeDirectory` ($XDG_RUNTIME_DIR) when it names a directory, else /run/user/<uid> when it
// exists, else `supportDirectory`.
std::string instanceDirectory(const std::string& runtimeDirectory, const std::string& supportDirectory);

class InstanceLock {
public:
    enum class Take {
        held,         // this process holds the lock now
        heldElsewhere,
        unavailable,  // no lock can be made there: run without one
    };

    explicit InstanceLock(const std::string& directory);

    // Never blocks. The directory is made (0700) when missing.
    Take take();
    // After a holder promised to hand over: tries until it has gone or `limit` has passed.
    bool takeWithin(std::chrono::milliseconds limit);
    // The pid the holder wrote; nothing when it cannot be read.
    std::optional<int> holder() const;

    const std::string& socketPath() const { return socketPath_; }

private:
    std::string directory_;
    std::string lockPath_;
    std::string socketPath_;
    UniqueFd fd_;  // close-on-exec: the codex child never carries the lock past our end
};

}  // namespace tallyvane
