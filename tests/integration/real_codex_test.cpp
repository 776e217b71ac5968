// The real `codex app-server` from npm, signed out in a fresh HOME, as the model's child.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/integration/live_rig.h"
#include "tests/integration/peer_texts.h"
#include "tests/integration/process_table.h"

namespace tallyvane::integration {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

TEST(RealCodex, SignedOutAsksToReconnectAndLeavesNoProcessBehind) {
    const std::string launcher = std::string(CODEX_NPM_DIR) + "/node_modules/.bin/codex";
    if (!std::filesystem::exists(launcher))
        GTEST_SKIP() << "npm was unreachable: @openai/codex could not be installed into " << CODEX_NPM_DIR
                     << " (see install.log there)";

    LiveRig rig(launcher, nullptr);
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->error() && rig.model->tokenError() && !rig.model->refreshing(); },
                             60s))
        << "error: " << rig.model->error().value_or("-") << ", tokenError: " << rig.model->tokenError().value_or("-");
    EXPECT_EQ(rig.model->error(), texts::signIn);
    EXPECT_EQ(rig.model->tokenError(), texts::signIn);
    EXPECT_TRUE(rig.model->windows().empty());

    ASSERT_TRUE(rig.runUntil([&] {
        const json status = rig.status();
        return status.value("error", "") != "" && status.value("tokenError", "") != "";
    }));
    const json status = rig.status();
    EXPECT_EQ(status["error"], texts::signIn);
    EXPECT_EQ(status["tokenError"], texts::signIn);

    // The node launcher and, on older Node, the native binary as its child.
    const auto started = rig.survivors();
    EXPECT_FALSE(started.empty());
    rig.stopAndFinish();
    EXPECT_TRUE(rig.runUntil([&] { return rig.survivors().empty(); }, 3s))
        << rig.survivors().size() << " of " << started.size() << " codex processes still run";
}

}  // namespace
}  // namespace tallyvane::integration
