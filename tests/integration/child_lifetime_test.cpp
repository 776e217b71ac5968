// Children end when the model says so, even those that ignore SIGTERM, and leave no process behind.
#include <gtest/gtest.h>

#include "tests/integration/live_rig.h"
#include "tests/integration/peer_texts.h"
#include "tests/integration/process_table.h"

namespace tallyvane::integration {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

TEST(ChildLifetime, StopThenFinishStoppingEndsAPeerThatIgnoresSigtermAndItsGrandchild) {
    LiveRig rig(json::parse(R"({"ignoreSigterm": true, "grandchild": true})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] {
        return rig.model->updated() && rig.model->tokenUpdated() && !rig.model->refreshing() &&
               rig.survivors().size() == 2;
    }));
    const int pid = rig.model->processId();
    const auto published = rig.errors.size();

    rig.model->stop();
    rig.model->finishStopping(300ms);
    EXPECT_FALSE(processExists(pid));
    EXPECT_TRUE(rig.runUntil([&] { return rig.survivors().empty(); }, 2s));
    rig.runUntil([&] { return !rig.model->hasProcess(); }, 2s);
    EXPECT_FALSE(rig.model->hasProcess());
    EXPECT_EQ(rig.errors.size(), published);  // a stopped model publishes nothing about the exit
}

TEST(ChildLifetime, PolitePeerEndsOnStopWithinTheGrace) {
    LiveRig rig(json::parse(R"({"grandchild": true})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->updated() && rig.survivors().size() == 2; }));
    const int pid = rig.model->processId();
    rig.model->stop();
    rig.model->finishStopping(5s);
    EXPECT_FALSE(processExists(pid));
    EXPECT_TRUE(rig.runUntil([&] { return rig.survivors().empty(); }, 2s));
}

TEST(ChildLifetime, RefreshAfterATimeOutKillsAPeerThatIgnoresSigterm) {
    LiveRig rig(json::parse(R"({"ignoreSigterm": true, "grandchild": true, "account/usage/read": ["silent"]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.hasPending(12) && rig.model->updated(); }));
    const int pid = rig.model->processId();

    rig.clock->advance(41s);
    rig.model->refresh();
    EXPECT_EQ(rig.model->error(), texts::late);
    // SIGTERM is ignored: the child stays until something stronger comes.
    EXPECT_FALSE(rig.runUntil([&] { return !rig.model->hasProcess(); }, 500ms));
    EXPECT_TRUE(processExists(pid));

    rig.model->refresh();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_EQ(rig.model->error(), texts::childLost);
    EXPECT_FALSE(processExists(pid));
    EXPECT_TRUE(rig.runUntil([&] { return rig.survivors().empty(); }, 2s));
}

TEST(ChildLifetime, OutputAndExitOfAChildOutlivingItsModelFindNothing) {
    LiveRig rig(json::parse(R"({"account/usage/read": [[{"sleepMs": 300}, "default", {"exit": 0}]]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.hasPending(12); }));
    const int pid = rig.model->processId();
    rig.model.reset();
    // The child answers, then exits, after its model is gone.
    EXPECT_TRUE(rig.runUntil([&] { return !processExists(pid); }, 5s));
    rig.runUntil([] { return false; }, 200ms);
}

}  // namespace
}  // namespace tallyvane::integration
