#include <gtest/gtest.h>

#include "model/discovery.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

TEST(CodexCandidates, OneBundle) {
    EXPECT_EQ(codexCandidates({"/Applications/Codex.app"}, "/test-home"),
              (std::vector<std::string>{
                  "/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex",
                  "/Applications/Codex.app/Contents/Resources/codex-cli/CodexCLI.app/Contents/MacOS/codex",
                  "/Applications/Codex.app/Contents/Resources/codex",
                  "/opt/homebrew/bin/codex",
                  "/usr/local/bin/codex",
                  "/test-home/.local/bin/codex",
              }));
}

TEST(CodexCandidates, NoBundlesAndTrailingSlash) {
    EXPECT_EQ(codexCandidates({}, "/test-home/"),
              (std::vector<std::string>{"/opt/homebrew/bin/codex", "/usr/local/bin/codex", "/test-home/.local/bin/codex"}));
}

TEST(CodexCandidates, LiveListHasFifteenPathsInOrder) {
    auto candidates = codexCandidates(codexBundles("/Users/example"), "/Users/example");
    ASSERT_EQ(candidates.size(), 15u);
    EXPECT_EQ(candidates[0], "/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex");
    EXPECT_EQ(candidates[3], "/Applications/ChatGPT.app/Contents/Resources/codex-cli/bin/codex");
    EXPECT_EQ(candidates[6], "/Users/example/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex");
    EXPECT_EQ(candidates[11], "/Users/example/Applications/ChatGPT.app/Contents/Resources/codex");
    EXPECT_EQ(candidates[14], "/Users/example/.local/bin/codex");
}

TEST(CodexCandidates, RepeatedBundleIsKeptTwice) {
    EXPECT_EQ(codexCandidates({"/Applications/Codex.app", "/Applications/Codex.app"}, "/h").size(), 9u);
}

}  // namespace
}  // namespace tallyvane

namespace tallyvane {
namespace {

TEST(FindOnPath, FirstExecutableAlongAbsoluteEntries) {
    testing::FakeFileSystem files;
    files.executables = {"/usr/bin/codex", "/opt/tools/codex", "codex", "./codex"};
    EXPECT_EQ(findOnPath("codex", "/nowhere::.:bin:/opt/tools/:/usr/bin", files), "/opt/tools/codex");
    EXPECT_EQ(findOnPath("codex", "/usr/bin", files), "/usr/bin/codex");
    EXPECT_FALSE(findOnPath("codex", "", files));
    EXPECT_FALSE(findOnPath("codex", ".:bin::", files));
}

}  // namespace
}  // namespace tallyvane
