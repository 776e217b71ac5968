#include "model/launch_plan.h"

#include <filesystem>

#include <nlohmann/json.hpp>

#include "model/discovery.h"

namespace tallyvane {
namespace {

// Only path arithmetic: the files themselves are reached through FileSystem.
using Path = std::filesystem::path;

#if defined(__aarch64__)
constexpr const char* platformPackage = "@openai/codex-linux-arm64";
constexpr const char* nativeTriple = "aarch64-unknown-linux-musl";
#elif defined(__x86_64__)
constexpr const char* platformPackage = "@openai/codex-linux-x64";
constexpr const char* nativeTriple = "x86_64-unknown-linux-musl";
#else
constexpr const char* platformPackage = nullptr;
constexpr const char* nativeTriple = nullptr;
#endif
constexpr int linkSteps = 16;

std::string parentOf(const std::string& path) { return Path(path).parent_path().string(); }

std::string normal(const std::string& path) {
    std::string text = Path(path).lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// The path its links spell, each relative one taken from the folder the link stands in.
std::string lexicalTarget(std::string path, const FileSystem& files) {
    for (int step = 0; step < linkSteps; ++step) {
        const auto target = files.linkTarget(path);
        if (!target || target->empty()) break;
        path = normal(target->front() == '/' ? *target : parentOf(path) + "/" + *target);
    }
    return path;
}

enum class Package { codex, other, broken };

// What `real` is: `…/bin/codex.js` in a folder whose package.json names @openai/codex, or anything else. A
// package.json there that cannot be read as JSON marks a broken install.
Package packageOf(const std::string& real, const FileSystem& files) {
    if (Path(real).filename() != "codex.js" || Path(real).parent_path().filename() != "bin") return Package::other;
    const std::string manifestPath = parentOf(parentOf(real)) + "/package.json";
    if (!files.realPath(manifestPath)) return Package::other;
    const auto text = files.readSmallFile(manifestPath);
    const auto manifest = nlohmann::json::parse(text.value_or(""), nullptr, false);
    if (!manifest.is_object()) return Package::broken;
    const auto name = manifest.find("name");
    return name != manifest.end() && *name == "@openai/codex" ? Package::codex : Package::other;
}

struct Launcher {
    std::string lexical, real;  // paths of bin/codex.js
    bool broken = false;        // its package.json is no JSON
    bool fromPnpm = false;
};

// pnpm's `#!/bin/sh` script names the launcher as "$basedir/…/@openai/codex/bin/codex.js"; it is read, never run.
std::optional<std::string> pnpmLauncher(const std::string& script, const FileSystem& files) {
    const auto text = files.readSmallFile(script);
    if (!text || !text->starts_with("#!/bin/sh")) return std::nullopt;
    const std::string marker = "\"$basedir/";
    for (auto at = text->find(marker); at != std::string::npos; at = text->find(marker, at + 1)) {
        const auto start = at + marker.size(), end = text->find('"', start);
        if (end == std::string::npos) break;
        const std::string relative = text->substr(start, end - start);
        if (relative.ends_with("/@openai/codex/bin/codex.js")) return normal(parentOf(script) + "/" + relative);
    }
    return std::nullopt;
}

// The launcher `codex` is, links to or names; nullopt when there is none.
std::optional<Launcher> findLauncher(const std::string& codex, const FileSystem& files) {
    if (const auto real = files.realPath(codex)) {
        if (const Package package = packageOf(*real, files); package != Package::other)
            return Launcher{lexicalTarget(codex, files), *real, package == Package::broken};
    }
    const auto named = pnpmLauncher(codex, files);
    const auto real = named ? files.realPath(*named) : std::nullopt;
    if (!real) return std::nullopt;
    const Package package = packageOf(*real, files);
    if (package == Package::other) return std::nullopt;
    return Launcher{lexicalTarget(*named, files), *real, package == Package::broken, true};
}

// The first `node_modules/<platform package>` that holds a package.json, searched as Node does from the
// launcher's folder upwards, on each of its two paths; else the package's own vendor folder.
std::optional<std::string> nativeProgram(const Launcher& launcher, const FileSystem& files) {
    if (!platformPackage) return std::nullopt;
    const std::string inPackage = std::string("vendor/") + nativeTriple + "/bin/codex";
    for (const std::string& start : {launcher.real, launcher.lexical}) {
        for (Path folder = Path(start).parent_path(); !folder.empty(); folder = folder.parent_path()) {
            const std::string package = joinPath(folder.string(), std::string("node_modules/") + platformPackage);
            if (folder.filename() != "node_modules" && files.readSmallFile(package + "/package.json")) {
                const std::string program = joinPath(package, inPackage);
                if (files.isExecutable(program)) return program;
                break;
            }
            if (folder == folder.root_path()) break;
        }
    }
    const std::string own = joinPath(parentOf(parentOf(launcher.real)), inPackage);
    if (files.isExecutable(own)) return own;
    return std::nullopt;
}

// Which installer the launcher would name, by the same signs it looks for.
std::string managedBy(const Launcher& launcher) {
    if (launcher.fromPnpm) return "CODEX_MANAGED_BY_PNPM=1";
    for (const std::string& path : {launcher.real, launcher.lexical})
        if (path.find("/.bun/install/global/") != std::string::npos) return "CODEX_MANAGED_BY_BUN=1";
    return "CODEX_MANAGED_BY_NPM=1";
}

}  // namespace

std::optional<LaunchPlan> planLaunch(const std::string& codex, const std::string& childPath, const FileSystem& files) {
    const auto launcher = findLauncher(codex, files);
    if (!launcher) return LaunchPlan{codex, {"app-server"}, {}};
    if (launcher->broken) return std::nullopt;
    if (const auto program = nativeProgram(*launcher, files))
        return LaunchPlan{*program, {"app-server"},
                          {"CODEX_MANAGED_PACKAGE_ROOT=" + parentOf(parentOf(launcher->real)), managedBy(*launcher)}};
    if (const std::string node = joinPath(parentOf(codex), "node"); files.isExecutable(node))
        return LaunchPlan{node, {launcher->lexical, "app-server"}, {}};
    if (findOnPath("node", childPath, files)) return LaunchPlan{codex, {"app-server"}, {}};
    return std::nullopt;
}

}  // namespace tallyvane
