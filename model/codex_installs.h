#pragma once
// The per-user places where the common installers put `codex`, tried after the fixed candidates and the
// user's PATH. Only fixed paths, small regular files and one listing of a manager's version folder are
// read: no recursive scan, no shell, no npm command.
#include <string>
#include <vector>

#include "model/services.h"
#include "platform/file_system.h"

namespace tallyvane {

// In the order they are tried: npm's prefix, nvm, fnm, volta, asdf, mise, pnpm, bun, Homebrew, cargo.
// Each may be missing or not executable: the caller takes the first that runs.
std::vector<std::string> installerPlaces(const ProcessEnvironment& environment, const FileSystem& files);

}  // namespace tallyvane
