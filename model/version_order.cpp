#include "model/version_order.h"

#include <algorithm>

namespace tallyvane {

std::optional<std::vector<int>> versionNumbers(std::string_view name) {
    if (name.starts_with('v')) name.remove_prefix(1);
    std::vector<int> numbers;
    for (;;) {
        const auto dot = name.find('.');
        const std::string_view part = name.substr(0, dot);
        // Nine digits at most: always fits an int.
        if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        numbers.push_back(std::stoi(std::string(part)));
        if (dot == std::string_view::npos) return numbers;
        name.remove_prefix(dot + 1);
    }
}

std::vector<std::string> newestFirst(const std::vector<std::string>& names) {
    std::vector<std::pair<std::vector<int>, std::string>> versions;
    for (const std::string& name : names)
        if (auto numbers = versionNumbers(name)) versions.emplace_back(std::move(*numbers), name);
    std::stable_sort(versions.begin(), versions.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> sorted;
    for (auto& version : versions) sorted.push_back(std::move(version.second));
    return sorted;
}

std::optional<std::string> newestMatching(const std::vector<std::string>& installed, std::string_view wanted) {
    if (wanted == "node" || wanted == "stable") {
        if (installed.empty()) return std::nullopt;
        return installed.front();
    }
    const auto prefix = versionNumbers(wanted);
    if (!prefix) return std::nullopt;
    for (const std::string& name : installed) {
        const auto numbers = versionNumbers(name);
        if (numbers && numbers->size() >= prefix->size() && std::equal(prefix->begin(), prefix->end(), numbers->begin()))
            return name;
    }
    return std::nullopt;
}

}  // namespace tallyvane
