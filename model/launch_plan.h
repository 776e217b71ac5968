#pragma once
// What to run for a `codex` that was found. npm's JavaScript launcher only starts the native program of its
// install, with two variables set: running that program directly spares a Node process, and works where
// no `node` is on the child's PATH (nvm, fnm, asdf...).
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tallyvane {

struct LaunchPlan {
    std::string executable;
    std::vector<std::string> arguments;  // without argv[0]
    std::vector<std::string> managed;    // "CODEX_MANAGED_…=…" as npm's launcher sets them; empty otherwise
};

// For npm's launcher (`@openai/codex`'s bin/codex.js, linked to or named by pnpm's script): its install's native
// program, found as Node would resolve the platform package; else the `node` beside `codex` running the launcher;
// else `codex` itself. nullopt for a launcher that cannot run: no native program and no `node` beside it or on
// `childPath`. Anything else runs as it is.
std::optional<LaunchPlan> planLaunch(const std::string& codex, const std::string& childPath, const FileSystem& files);

}  // namespace tallyvane
