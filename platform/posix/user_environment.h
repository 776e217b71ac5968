#pragma once
// What this process knows about its user and environment.
#include <string>
#include <vector>

namespace tallyvane {

// HOME when set and not empty, else the password database's entry; "" when neither is known.
std::string homeDirectory();

// This process's environment as "NAME=value" entries, in order.
std::vector<std::string> currentEnvironment();

}  // namespace tallyvane
