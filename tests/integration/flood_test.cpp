// A peer that writes far too much: the answer after the noise still counts, memory stays bounded,
// and nothing blocks.
#include <gtest/gtest.h>

#include "tests/integration/live_rig.h"
#include "tests/integration/process_table.h"

namespace tallyvane::integration {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// Growth of this process's peak resident memory while `run` runs, in MiB.
template <typename Run>
long peakGrowthMiB(Run&& run) {
    resetResidentPeak();
    const long before = residentKiB();
    run();
    return (residentPeakKiB() - before) / 1024;
}

// Far below the flood itself: the noise is dropped as it comes, not held.
constexpr long memoryBoundMiB = 100;

// Sanitizers keep freed memory back or shadow it, so resident memory proves nothing there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool memoryIsMeasurable = false;
#elif defined(__has_feature)
constexpr bool memoryIsMeasurable = !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer);
#else
constexpr bool memoryIsMeasurable = true;
#endif

TEST(Flood, TwoHundredMegabytesOfJunkLinesBeforeTheAnswer) {
    LiveRig rig(json::parse(R"({"account/rateLimits/read": [[{"flood": 200000000}, "default"]]})"));
    const long growth = peakGrowthMiB([&] {
        rig.model->start();
        ASSERT_TRUE(rig.runUntil([&] { return rig.model->updated().has_value(); }, 90s));
    });
    RecordProperty("peakGrowthMiB", std::to_string(growth));
    EXPECT_EQ(rig.model->windows().size(), 2u);
    EXPECT_FALSE(rig.model->error());
    if (memoryIsMeasurable) {
        EXPECT_LT(growth, memoryBoundMiB);
    }
}

TEST(Flood, FiftyMegabytesWithoutALineFeedAreDroppedAndTheNextLineCounts) {
    LiveRig rig(json::parse(R"({"account/rateLimits/read": [[{"floodUnterminated": 50000000}, {"raw": ""}, "default"]]})"));
    const long growth = peakGrowthMiB([&] {
        rig.model->start();
        ASSERT_TRUE(rig.runUntil([&] { return rig.model->updated().has_value(); }, 60s));
    });
    RecordProperty("peakGrowthMiB", std::to_string(growth));
    EXPECT_EQ(rig.model->windows().size(), 2u);
    if (memoryIsMeasurable) {
        EXPECT_LT(growth, memoryBoundMiB);
    }
}

TEST(Flood, StandardErrorIsNeverReadAndNeverBlocksThePeer) {
    LiveRig rig(json::parse(R"({"initialize": [{"floodStderr": 20000000}, "default"],
                                "account/usage/read": [[{"floodStderr": 20000000}, "default"]]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->tokenUpdated() && rig.model->updated(); }, 30s));
    EXPECT_FALSE(rig.model->error() || rig.model->tokenError());
}

}  // namespace
}  // namespace tallyvane::integration
