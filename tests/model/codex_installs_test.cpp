// Which codex the model starts, and how, from the files installers leave in a real temporary HOME.
#include <gtest/gtest.h>

#include "model/launch_plan.h"
#include "platform/posix/posix_file_system.h"
#include "tests/support/fakes.h"
#include "tests/support/installs.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;  // the layouts

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
    return text;
}

// What the model starts for npm's install under `prefix`: the native program, with the launcher's two variables.
std::string nativeOf(const std::string& prefix, const std::string& by = "NPM", const std::string& lib = "lib/") {
    return prefix + lib + "NATIVE app-server root=" + prefix + lib + "node_modules/@openai/codex " + by + "=1";
}

// The launch the model makes for `entries` laid under a temporary HOME, with `environment` ("~" for that HOME),
// paths from HOME as "~/" and npm's native program as NATIVE; "none" when it finds nothing that runs.
std::string launchFor(const Entries& entries, const Entries& environment) {
    std::string home = (fs::temp_directory_path() / "tallyvane-installs-XXXXXX").string(), started = "none";
    if (!::mkdtemp(home.data())) return "mkdtemp failed";
    lay(home, entries, FAKE_CODEX_PATH);
    const fs::path workingFolder = fs::current_path();
    fs::current_path(home);  // where a relative PATH entry would look
    Entries variables = environment + Entries{"PATH=/nowhere", "LANG=C"};
    for (auto& variable : variables) variable = replaced(variable, "~", home);
    ModelRig rig;
    rig.model = UsageModel::create({rig.clock, rig.loop, std::make_shared<InlineExecutor>(), rig.launcher,
                                    std::make_shared<PosixFileSystem>(), {home, variables, 1}});
    rig.model->start();
    if (const auto child = rig.launcher->last()) {
        started = child->request.executable;
        for (const auto& word : child->request.arguments) started += " " + word;
        for (const auto& variable : child->request.environment) started += variable.starts_with("CODEX_MANAGED_") ? " " + variable : "";
    }
    ::chmod((home + "/.asdf/installs/nodejs").c_str(), 0700);  // the unreadable folder, for its removal
    fs::current_path(workingFolder), fs::remove_all(home);
    for (const auto& [from, to] : {std::pair<std::string, std::string>{home, "~"}, {nativeInModules, "NATIVE"},
                                   {"CODEX_MANAGED_BY_", ""}, {"CODEX_MANAGED_PACKAGE_ROOT=", "root="}})
        started = replaced(started, from, to);
    return started;
}

// Versions compare as numbers in every manager's folder: v20.10.0 after v20.9.1, v10 after v9.
TEST(CodexInstalls, EachInstallerLayoutStartsTheNativeProgramOrWhatCanRun) {
    const std::string pnpmScript = "#!/bin/sh\nbasedir=$(dirname \"$0\")\nexport NODE_PATH=\"$basedir/global/5/node_modules\"\n"
                                   "exec node \"$basedir/global/5/node_modules/@openai/codex/bin/codex.js\" \"$@\"\n";
    const std::string store = "~/.local/share/pnpm/global/5/node_modules/.pnpm/@openai+codex@0.171.0/", mise = "~/.local/share/mise/installs/node/20.1.0/";
    const std::string fnm = "~/.local/share/fnm/node-versions/v20.0.0/installation/", vendor = "lib/node_modules/@openai/codex/vendor/" + nativeTriple + "/bin/codex";
    const auto nvm = [](const std::string& version, bool withNative = true) { return npm("~/.nvm/versions/node/" + version + "/", withNative); };
    const struct { const char* name; Entries entries, environment; std::string started; } table[] = {
        {"the user's PATH, whose relative entries do not count, before the installers", npm("~/.npm-global/") + Entries{"N ~/bin/codex",
         "N ~/tools/codex"}, {"PATH=bin::~/tools/"}, "~/tools/codex app-server"},
        {".npmrc's prefix, ~ expanded", npm("~/.local/npm/") + npm("~/.npm-global/") + Entries{"T ~/.npmrc ; mine\n prefix = \"~/.local/npm\"\n"},
         {}, nativeOf("~/.local/npm/")},
        {"NPM_CONFIG_PREFIX before ~/.npm-global", npm("~/p/") + npm("~/.npm-global/"), {"NPM_CONFIG_PREFIX=~/p"}, nativeOf("~/p/")},
        {"a FIFO as .npmrc; nvm: an alias of junk", nvm("v20.9.1") + Entries{"F ~/.npmrc", "T ~/.nvm/alias/default \x01\xff../x"}, {},
         nativeOf("~/.nvm/versions/node/v20.9.1/")},
        {"nvm: alias 20.1 names v20.1.5, not v20.10.0", nvm("v20.1.5") + nvm("v20.10.0") + nvm("v22.1.0") + Entries{"T ~/.nvm/alias/default 20.1\n"},
         {}, nativeOf("~/.nvm/versions/node/v20.1.5/")},
        {"nvm: lts/* through its alias files", nvm("v20.10.0") + nvm("v22.1.0") + Entries{"T ~/.nvm/alias/default lts/*",
         "T ~/.nvm/alias/lts/* lts/iron\n", "T ~/.nvm/alias/lts/iron v20.10.0"}, {}, nativeOf("~/.nvm/versions/node/v20.10.0/")},
        {"nvm: the alias names the newest version, which has no codex", nvm("v20.10.0") + nvm("v20.9.1") + Entries{"X ~/.nvm/versions/node/v22.1.0/bin/node",
         "T ~/.nvm/alias/default node"}, {"NVM_DIR=~/.nvm"}, nativeOf("~/.nvm/versions/node/v20.10.0/")},
        {"nvm: system, so fnm's default", nvm("v20.10.0") + npm(fnm) + Entries{"T ~/.nvm/alias/default system",
         "L ~/.local/share/fnm/aliases/default ../node-versions/v20.0.0/installation"}, {}, nativeOf(fnm)},
        {"nvm without the native program: the node beside", nvm("v20.10.0", false) + Entries{"X ~/.nvm/versions/node/v20.10.0/bin/node"}, {},
         "~/.nvm/versions/node/v20.10.0/bin/node ~/.nvm/versions/node/v20.10.0/lib/node_modules/@openai/codex/bin/codex.js app-server"},
        {"fnm's newest version", npm("~/.fnm/node-versions/v9.1.0/installation/") + npm("~/.fnm/node-versions/v10.0.0/installation/") +
         Entries{"T ~/.fnm/node-versions/.downloads/x"}, {}, nativeOf("~/.fnm/node-versions/v10.0.0/installation/")},
        {"asdf, a loop and a broken link before it", npm("~/.asdf/installs/nodejs/20.10.0/") + npm("~/.asdf/installs/nodejs/20.9.1/") +
         Entries{"L ~/.npm-global/bin/codex codex", "L ~/.volta/bin/codex ../nowhere"}, {}, nativeOf("~/.asdf/installs/nodejs/20.10.0/")},
        {"mise, after an unreadable asdf folder; the package's own vendor", npm(mise, false) + Entries{"D ~/.asdf/installs/nodejs", "N " + mise + vendor},
         {}, mise + vendor + " app-server root=" + mise + "lib/node_modules/@openai/codex NPM=1"},
        {"pnpm's script, read and never run, to its store", npm(store, true, "") + Entries{"X ~/.local/share/pnpm/codex " + pnpmScript,
         "L ~/.local/share/pnpm/global/5/node_modules/@openai/codex ../.pnpm/@openai+codex@0.171.0/node_modules/@openai/codex"},
         {}, nativeOf(store, "PNPM", "")},
        {"bun's link into its global folder", npm("~/.bun/install/global/", true, "") +
         Entries{"L ~/.bun/bin/codex ../install/global/node_modules/@openai/codex/bin/codex.js"}, {}, nativeOf("~/.bun/install/global/", "BUN", "")},
        {"a package.json that is no JSON, then Homebrew", npm("~/.npm-global/") + Entries{"T ~/.npm-global/lib/node_modules/@openai/codex/package.json {",
         "N ~/.linuxbrew/bin/codex"}, {}, "~/.linuxbrew/bin/codex app-server"},
        {"volta's shim runs as it is, cargo last", {"N ~/.volta/bin/codex", "N ~/.cargo/bin/codex"}, {}, "~/.volta/bin/codex app-server"},
        {"nothing that runs", {"T ~/.npm-global/bin/codex not executable", "F ~/.nvm/alias/default"}, {}, "none"},
    };
    for (const auto& row : table) EXPECT_EQ(launchFor(row.entries, row.environment), row.started) << row.name;
}

TEST(CodexInstalls, AStaleLauncherWithNoNodeToRunItIsSkipped) {
    const std::string home = ::testing::TempDir() + "tallyvane-stale", codex = home + "/usr/local/bin/codex";
    fs::remove_all(home), lay(home, npm("~/usr/local/", false) + Entries{"X ~/bin/node"}, "");
    EXPECT_FALSE(planLaunch(codex, "/nowhere:" + home + "/usr/local/lib", PosixFileSystem()));
    EXPECT_EQ(planLaunch(codex, home + "/bin", PosixFileSystem())->executable, codex);  // a node on the child's PATH runs it
    fs::remove_all(home);
}

}  // namespace
}  // namespace tallyvane
