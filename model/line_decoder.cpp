#include "model/line_decoder.h"

namespace tallyvane {
namespace {
// Real messages nest a handful of levels; a line of brackets must not turn into a huge tree.
constexpr int maxDepth = 64;
}  // namespace

std::optional<nlohmann::json> decodeObjectLine(std::string_view line) {
    bool tooDeep = false;
    auto limitDepth = [&tooDeep](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        if (depth > maxDepth) tooDeep = true;
        return !tooDeep;
    };
    auto value = nlohmann::json::parse(line.begin(), line.end(), limitDepth, /*allow_exceptions=*/false);
    if (tooDeep || !value.is_object()) return std::nullopt;
    return value;
}

}  // namespace tallyvane
