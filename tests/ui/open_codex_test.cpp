// "Ouvrir Codex": the first bundle that carries the executable, else the documentation page.
#include <gtest/gtest.h>

#include "model/open_codex.h"
#include "model/run_flags.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

using testing::RecordingOpener;

class OpenCodex : public ::testing::Test {
protected:
    void TearDown() override { setDemo(false); }
    testing::FakeFileSystem files;
    RecordingOpener opener;
};

TEST_F(OpenCodex, OpensTheFirstBundleCarryingTheExecutable) {
    files.executables = {"/home/u/Applications/Codex.app/Contents/Resources/codex",
                         "/Applications/ChatGPT.app/Contents/Resources/codex-cli/bin/codex"};
    EXPECT_TRUE(openCodex("/home/u", files, opener));
    EXPECT_EQ(opener.opened, std::vector<std::string>{"/Applications/ChatGPT.app"});
}

TEST_F(OpenCodex, TriesEveryBundleInOrder) {
    const std::vector<std::string> bundles{"/Applications/Codex.app", "/Applications/ChatGPT.app",
                                           "/home/u/Applications/Codex.app", "/home/u/Applications/ChatGPT.app"};
    for (const auto& bundle : bundles) {
        RecordingOpener fresh;
        files.executables = {bundle + "/Contents/Resources/codex-cli/CodexCLI.app/Contents/MacOS/codex"};
        openCodex("/home/u", files, fresh);
        EXPECT_EQ(fresh.opened, std::vector<std::string>{bundle});
    }
}

TEST_F(OpenCodex, WithoutABundleOpensTheDocumentation) {
    // Command-line installs outside bundles do not count, nor does a bundle with the executable elsewhere.
    files.executables = {"/usr/local/bin/codex", "/home/u/.local/bin/codex", "/Applications/Codex.app/codex"};
    openCodex("/home/u", files, opener);
    EXPECT_EQ(opener.opened, std::vector<std::string>{codexDocumentationUrl});
}

TEST_F(OpenCodex, DoesNothingInDemoMode) {
    setDemo(true);
    files.executables = {"/Applications/Codex.app/Contents/Resources/codex"};
    EXPECT_FALSE(openCodex("/home/u", files, opener));
    EXPECT_TRUE(opener.opened.empty());
}

}  // namespace
}  // namespace tallyvane
