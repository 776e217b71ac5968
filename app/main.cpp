#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/desktop_loader.h"
#include "app/headless.h"
#include "app/live_services.h"
#include "app/run_mode.h"
#include "app/self_test.h"
#include "app/terminal/terminal_view.h"
#include "model/run_flags.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/posix_child_launcher.h"

namespace {

bool hasDisplay() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tallyvane;
    // Before any thread exists, so every thread inherits the mask and the loop alone reads them.
    EventLoop::blockQuitSignals();
    ignoreSigpipe();
    // Sent to the background with `stty tostop`, a write to the terminal must not stop polling.
    ::signal(SIGTTOU, SIG_IGN);

    const RunMode mode = readRunMode(argc, argv);
    setDemo(mode.demo);

    if (mode.selfTest) {
        runSelfTest(liveServices(nullptr));
        return 0;
    }
    if (!hasDisplay()) {
        if (mayWriteTo(STDERR_FILENO)) std::fputs("Tallyvane : aucun affichage trouvé.\n", stderr);
    } else if (auto status = runDesktopModule(argc, argv)) {
        return *status;
    }
    return runHeadless();
}
