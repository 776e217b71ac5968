#include "app/run_mode.h"

#include <string_view>

namespace tallyvane {

RunMode readRunMode(int argc, const char* const* argv) {
    RunMode mode;
    // argv[0] takes part in the comparison; a program path never equals a switch anyway.
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--self-test") mode.selfTest = true;
        if (argument == "--demo-data") mode.demo = true;
    }
    return mode;
}

}  // namespace tallyvane
