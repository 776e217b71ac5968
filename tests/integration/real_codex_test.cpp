// The real `codex app-server` from npm, signed out in a fresh HOME, as the model's child.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/integration/live_rig.h"

namespace tallyvane::integration {
namespace {

using namespace std::chrono_literals;

TEST(RealCodex, SignedOutAsksToReconnectAndLeavesNoProcessBehind) {
    const std::string codex = std::string(CODEX_NPM_DIR) + "/node_modules/.bin/codex";
    if (!std::filesystem::exists(codex)) GTEST_SKIP() << "npm was unreachable: see install.log in " << CODEX_NPM_DIR;
    LiveRig rig(nullptr, codex);
    rig.model->start();
    const auto answered = [&] { return rig.model->error() && rig.model->tokenError() && !rig.model->refreshing(); };
    ASSERT_TRUE(rig.runUntil(answered, 60s)) << rig.model->error().value_or("-") << " / " << rig.model->tokenError().value_or("-");
    const std::string signIn = "Reconnecte ton compte ChatGPT dans Codex.";
    EXPECT_EQ(std::pair(*rig.model->error(), *rig.model->tokenError()), std::pair(signIn, signIn));
    EXPECT_TRUE(rig.model->windows().empty());
    // The node launcher and, on older Node, the native binary as its child.
    EXPECT_FALSE(rig.survivors().empty());
    rig.model->stop();
    rig.model->finishStopping(300ms);
    EXPECT_TRUE(rig.runUntil([&] { return rig.survivors().empty(); }, 3s)) << rig.survivors().size() << " still run";
}

}  // namespace
}  // namespace tallyvane::integration
