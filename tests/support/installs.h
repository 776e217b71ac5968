#pragma once
// Installs of Codex laid out for real under a temporary HOME, as the installers leave them.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tallyvane::testing {

#if defined(__aarch64__)
inline const std::string platformPackage = "@openai/codex-linux-arm64", nativeTriple = "aarch64-unknown-linux-musl";
#else
inline const std::string platformPackage = "@openai/codex-linux-x64", nativeTriple = "x86_64-unknown-linux-musl";
#endif
// Where npm puts the native program, below the folder holding node_modules.
inline const std::string nativeInModules = "node_modules/" + platformPackage + "/vendor/" + nativeTriple + "/bin/codex";

using Entries = std::vector<std::string>;
inline Entries operator+(Entries a, const Entries& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

// npm's install under `prefix` (`lib` holds node_modules): the launcher, which would exit 127 if it ever ran, its
// link in `bin`, and the native program's package unless `withNative` is false.
inline Entries npm(const std::string& prefix, bool withNative = true, const std::string& lib = "lib/") {
    const std::string modules = prefix + lib + "node_modules/";
    Entries entries{"J " + modules + "@openai/codex @openai/codex", "X " + modules + "@openai/codex/bin/codex.js",
                    "L " + prefix + "bin/codex ../" + lib + "node_modules/@openai/codex/bin/codex.js"};
    if (withNative) entries.insert(entries.end(), {"J " + modules + platformPackage + " " + platformPackage, "N " + prefix + lib + nativeInModules});
    return entries;
}

// Writes `entries` under `home` ("~/" starts each path): J path name (a package.json naming `name`), T path text,
// X path [text] (executable; by default a script that exits 127), N path (a link to `native`), L path target (a link),
// F path (a FIFO), D path (a folder nobody may read).
inline void lay(const std::string& home, const Entries& entries, const std::string& native) {
    namespace fs = std::filesystem;
    for (const std::string& entry : entries) {
        const auto space = entry.find(' ', 2);
        const std::string path = home + entry.substr(3, space - 3), rest = space == std::string::npos ? "" : entry.substr(space + 1);
        const char kind = entry[0];
        fs::create_directories(kind == 'J' ? fs::path(path) : fs::path(path).parent_path());
        if (kind == 'J') std::ofstream(path + "/package.json") << R"({"name": ")" + rest + R"(", "version": "0.171.0"})";
        if (kind == 'T' || kind == 'X') std::ofstream(path) << (kind == 'X' && rest.empty() ? "#!/bin/sh\nexit 127\n" : rest);
        if (kind == 'X') fs::permissions(path, fs::perms(0755));
        if (kind == 'N' || kind == 'L') fs::create_symlink(kind == 'N' ? native : rest, path);
        if (kind == 'F') ::mkfifo(path.c_str(), 0644);
        if (kind == 'D') fs::create_directory(path), ::chmod(path.c_str(), 0);
    }
}

}  // namespace tallyvane::testing
