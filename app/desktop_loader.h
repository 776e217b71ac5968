#pragma once
// Finds and runs the desktop module installed beside the program.
#include <optional>

namespace tallyvane {

// The module's exit status, or nothing (with a French message on standard error) when it cannot
// be loaded, the display does not answer or Qt has no plugin for it.
std::optional<int> runDesktopModule(int argc, char** argv);

}  // namespace tallyvane
