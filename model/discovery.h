#pragma once
// Where the codex executable may stand, in priority order.
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tallyvane {

// The desktop's application registry has no bundle identifiers here: the four fixed locations.
std::vector<std::string> codexBundles(const std::string& home);
std::vector<std::string> codexCandidates(const std::vector<std::string>& bundles, const std::string& home);

// `dir/name` for each entry of a colon-separated PATH value, in order. Empty and relative entries are
// skipped, so the current directory is never searched.
std::vector<std::string> pathEntries(const std::string& name, const std::string& pathVariable);

// The first of pathEntries that `files` finds executable.
std::optional<std::string> findOnPath(const std::string& name, const std::string& pathVariable,
                                      const FileSystem& files);

// "dir" + "/" + "rest" without doubling the slash.
std::string joinPath(const std::string& dir, const std::string& rest);

}  // namespace tallyvane
