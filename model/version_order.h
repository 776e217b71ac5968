#pragma once
// Version managers' folder names ("v20.10.0", "20.9") compared as numbers, not as text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvane {

// The numbers of "v20.10.0" or "20.10.0" ({20, 10, 0}); nullopt for any other name.
std::optional<std::vector<int>> versionNumbers(std::string_view name);

// The names that are versions, newest first; the others are left out.
std::vector<std::string> newestFirst(const std::vector<std::string>& names);

// The newest of `installed` (newest first) that `wanted` names: fully ("v20.20.2"), partly ("20", "20.1"),
// or "node" / "stable" for the newest of all. nullopt when it names none of them.
std::optional<std::string> newestMatching(const std::vector<std::string>& installed, std::string_view wanted);

}  // namespace tallyvane
