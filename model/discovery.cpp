#include "model/discovery.h"

#include "model/run_flags.h"

namespace tallyvane {

std::string joinPath(const std::string& dir, const std::string& rest) {
    if (!dir.empty() && dir.back() == '/') return dir + rest;
    return dir + "/" + rest;
}

std::vector<std::string> codexBundles(const std::string& home) {
    return {"/Applications/Codex.app", "/Applications/ChatGPT.app", joinPath(home, "Applications/Codex.app"),
            joinPath(home, "Applications/ChatGPT.app")};
}

std::vector<std::string> codexCandidates(const std::vector<std::string>& bundles, const std::string& home) {
    std::vector<std::string> candidates;
    candidates.reserve(bundles.size() * codexLayouts().size() + 3);
    for (const auto& bundle : bundles)
        for (const auto& layout : codexLayouts()) candidates.push_back(joinPath(bundle, layout));
    candidates.push_back("/opt/homebrew/bin/codex");
    candidates.push_back("/usr/local/bin/codex");
    candidates.push_back(joinPath(home, ".local/bin/codex"));
    return candidates;
}

std::vector<std::string> pathEntries(const std::string& name, const std::string& pathVariable) {
    std::vector<std::string> entries;
    std::string_view rest = pathVariable;
    for (;;) {
        const auto colon = rest.find(':');
        const std::string directory(rest.substr(0, colon));
        if (!directory.empty() && directory.front() == '/') entries.push_back(joinPath(directory, name));
        if (colon == std::string_view::npos) return entries;
        rest.remove_prefix(colon + 1);
    }
}

std::optional<std::string> findOnPath(const std::string& name, const std::string& pathVariable,
                                      const FileSystem& files) {
    for (const std::string& candidate : pathEntries(name, pathVariable))
        if (files.isExecutable(candidate)) return candidate;
    return std::nullopt;
}

}  // namespace tallyvane
