#pragma once
// fork/exec of one child: its own process group, killed when this process dies, standard
// input and output on pipes, standard error on /dev/null, no other descriptor of ours.
#include <sys/types.h>

#include <optional>

#include "platform/child_process.h"
#include "platform/posix/unique_fd.h"

namespace tallyvane {

struct SpawnedChild {
    pid_t pid = -1;
    UniqueFd input;   // write end of the child's standard input
    UniqueFd output;  // read end of the child's standard output, non-blocking
};

// Empty when the child could not be created or its exec failed (the failed child is reaped).
// The parent-death signal follows the calling thread: call from one that outlives the child.
std::optional<SpawnedChild> spawnChild(const LaunchRequest& request);

}  // namespace tallyvane
