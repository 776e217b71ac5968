// Which codex the model starts, and how: app bundles first, then the usual places, then the user's PATH.
#include <gtest/gtest.h>

#include "model/discovery.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

TEST(Discovery, TheFirstCodexFoundIsStartedAsAnAppServerWithAFixedPath) {
    const std::string bundled = "/Applications/ChatGPT.app/Contents/Resources/codex-cli/CodexCLI.app/Contents/MacOS/codex";
    const std::pair<std::vector<std::string>, std::string> table[] = {  // executables present, the one started
        {{"/usr/bin/codex", "/home/tester/bin/codex"}, "/home/tester/bin/codex"},
        {{"/home/tester/bin/codex", "/usr/local/bin/codex", "/opt/homebrew/bin/codex"}, "/opt/homebrew/bin/codex"},
        {{"/home/tester/.local/bin/codex", "/usr/local/bin/codex"}, "/usr/local/bin/codex"},
        {{"/home/tester/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex", "/usr/local/bin/codex", bundled},
         bundled},
        {{"/home/tester/.local/bin/codex", "/home/tester/Applications/ChatGPT.app/Contents/Resources/codex"},
         "/home/tester/Applications/ChatGPT.app/Contents/Resources/codex"},
    };
    for (const auto& [executables, started] : table) {
        testing::ModelRig rig;
        rig.files->executables = executables;
        rig.model->start();
        const LaunchRequest& request = rig.child().request;
        EXPECT_EQ(request.executable, started);
        EXPECT_EQ(request.arguments, std::vector<std::string>{"app-server"});
        EXPECT_EQ(request.environment, (std::vector<std::string>{
                                           "LANG=fr_FR.UTF-8", "PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"}));
    }
}

TEST(Discovery, OnlyAbsoluteEntriesOfThePathCount) {
    testing::FakeFileSystem files;
    files.executables = {"/usr/bin/codex", "/opt/tools/codex", "codex", "./codex", "bin/codex"};
    EXPECT_EQ(findOnPath("codex", "/nowhere::.:bin:/opt/tools/:/usr/bin", files), "/opt/tools/codex");
    EXPECT_EQ(findOnPath("codex", ".:bin::", files), std::nullopt);
}

}  // namespace
}  // namespace tallyvane
