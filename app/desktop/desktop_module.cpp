// The desktop shell as a module the entry loads only when there is a display, so the headless
// program and the self-test never map Qt.
#include "app/desktop/desktop_app.h"
#include "app/run_mode.h"
#include "model/run_flags.h"
#include "platform/qt/display_probe.h"

#include <string>

// Null when the desktop part can start; otherwise why not, in French.
extern "C" __attribute__((visibility("default"))) const char* tallyvane_display_problem() {
    tallyvane::choosePlatform();
    static const std::string problem = tallyvane::displayProblem();
    return problem.empty() ? nullptr : problem.c_str();
}

extern "C" __attribute__((visibility("default"))) int tallyvane_desktop_main(int argc, char** argv) {
    // The module carries its own copy of the process-wide flags: set them from the same switches.
    tallyvane::setDemo(tallyvane::readRunMode(argc, argv).demo);
    return tallyvane::runDesktopApp(argc, argv);
}
