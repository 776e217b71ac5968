#include "platform/posix/posix_child_launcher.h"

#include <signal.h>

#include "platform/posix/child_spawn.h"
#include "platform/posix/posix_child_process.h"

namespace tallyvane {

void ignoreSigpipe() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

PosixChildLauncher::PosixChildLauncher() { ignoreSigpipe(); }

std::shared_ptr<ChildProcess> PosixChildLauncher::launch(const LaunchRequest& request, ChildEvents events) {
    auto child = spawnChild(request);
    if (!child) return nullptr;
    return PosixChildProcess::watch(std::move(*child), std::move(events));
}

}  // namespace tallyvane
