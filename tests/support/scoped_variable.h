#pragma once
// An environment variable set for the length of a test, then put back as it was.
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace tallyvane::testing {

inline std::shared_ptr<void> setUntilTheEnd(const char* name, const std::string& value) {
    const char* was = std::getenv(name);
    const auto previous = was ? std::optional<std::string>(was) : std::nullopt;
    setenv(name, value.c_str(), 1);
    return std::shared_ptr<void>(nullptr, [name, previous](void*) { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); });
}

}  // namespace tallyvane::testing
