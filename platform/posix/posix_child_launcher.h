#pragma once
// Children through fork/exec, each in its own process group and killed if this process dies.
#include "platform/child_process.h"

namespace tallyvane {

// Writing to a child that has gone must be a failed write, not the death of the program.
void ignoreSigpipe();

class PosixChildLauncher final : public ChildLauncher {
public:
    // Ignores SIGPIPE process-wide (see ignoreSigpipe).
    PosixChildLauncher();

    // Standard error goes to /dev/null. Call from a thread that outlives the children (the
    // main thread): the kernel's parent-death signal follows the launching thread.
    std::shared_ptr<ChildProcess> launch(const LaunchRequest& request, ChildEvents events) override;
};

}  // namespace tallyvane
