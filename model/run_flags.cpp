#include "model/run_flags.h"

namespace tallyvane {
namespace {
bool demoFlag = false;
}  // namespace

bool isDemo() { return demoFlag; }

void setDemo(bool demo) { demoFlag = demo; }

const std::vector<std::string>& codexLayouts() {
    static const std::vector<std::string> layouts{
        "Contents/Resources/codex-cli/bin/codex",
        "Contents/Resources/codex-cli/CodexCLI.app/Contents/MacOS/codex",
        "Contents/Resources/codex",
    };
    return layouts;
}

}  // namespace tallyvane
