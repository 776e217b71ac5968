#pragma once
// The two process-wide values the entry sets once, before anything else runs.
#include <string>
#include <vector>

namespace tallyvane {

bool isDemo();
const std::vector<std::string>& codexLayouts();

// Called by the entry only (and by tests that need demo mode).
void setDemo(bool demo);

}  // namespace tallyvane
