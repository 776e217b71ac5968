#pragma once
// One line of the child's output as a JSON object, or nothing.
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tallyvane {

// Lines that are not a JSON object, or nest deeper than any real message, are dropped.
std::optional<nlohmann::json> decodeObjectLine(std::string_view line);

}  // namespace tallyvane
