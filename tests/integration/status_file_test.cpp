// status.json on a real file system: its members, and the modes of what it creates.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/run_flags.h"
#include "tests/integration/live_rig.h"
#include "tests/integration/peer_texts.h"

namespace tallyvane::integration {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

// Modes must not depend on the umask the program happens to run under.
class WithoutUmask : public ::testing::Test {
protected:
    void SetUp() override { saved_ = ::umask(0); }
    void TearDown() override { ::umask(saved_); }

private:
    mode_t saved_ = 0;
};

TEST_F(WithoutUmask, AfterACycleEveryMemberHasItsTypeAndValue) {
    LiveRig rig(json::object());
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.status().contains("tokensFetchedAt"); }));

    const json status = rig.status();
    ASSERT_TRUE(status.is_object());
    EXPECT_EQ(status["running"], true);
    EXPECT_TRUE(status["pollSeconds"].is_number_integer());
    EXPECT_EQ(status["pollSeconds"], 30);
    EXPECT_TRUE(status["windowCount"].is_number_integer());
    EXPECT_EQ(status["windowCount"], 2);
    EXPECT_TRUE(status["pid"].is_number_integer());
    EXPECT_EQ(status["pid"], ::getpid());
    // The hand-moved clock stands at 1,796,000,000 s since 1970.
    EXPECT_EQ(status["quotaUpdatedAt"], "2026-11-30T00:53:20Z");
    EXPECT_EQ(status["tokensFetchedAt"], "2026-11-30T00:53:20Z");
    EXPECT_EQ(status["error"], "");
    EXPECT_EQ(status["tokenError"], "");
    EXPECT_EQ(status["lastTokenDay"], "2026-12-05");
    EXPECT_TRUE(status["usedPercent"].is_number());
    EXPECT_EQ(status["usedPercent"], 42);
    EXPECT_EQ(status.size(), 10u);

    EXPECT_EQ(modeOf(rig.home + "/Library"), 0700);
    EXPECT_EQ(modeOf(rig.home + "/Library/Application Support"), 0700);
    EXPECT_EQ(modeOf(rig.model->support()), 0700);
    EXPECT_EQ(modeOf(rig.statusPath()), 0600);
    // Only status.json itself: the atomic replace leaves no temporary behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.model->support()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(WithoutUmask, ExistingDirectoriesKeepTheirMode) {
    LiveRig rig(json::object());
    std::filesystem::create_directory(rig.home + "/Library");
    ::chmod((rig.home + "/Library").c_str(), 0755);
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return std::filesystem::exists(rig.statusPath()) && rig.model->updated(); }));
    EXPECT_EQ(modeOf(rig.home + "/Library"), 0755);
    EXPECT_EQ(modeOf(rig.home + "/Library/Application Support"), 0700);
    EXPECT_EQ(modeOf(rig.model->support()), 0700);
    EXPECT_EQ(modeOf(rig.statusPath()), 0600);
}

TEST(StatusFile, ErrorsAndNoWindows) {
    LiveRig rig(json::parse(R"({
        "account/rateLimits/read": [{"error": {"code": -32603, "message": "failed to fetch codex rate limits: 500"}}],
        "account/usage/read": [{"error": {"code": -32600, "message": "codex account authentication required"}}]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] {
        const json status = rig.status();
        return status.value("error", "") != "" && status.value("tokenError", "") != "";
    }));
    const json status = rig.status();
    EXPECT_EQ(status["error"], texts::unavailable);
    EXPECT_EQ(status["tokenError"], texts::signIn);
    EXPECT_EQ(status["windowCount"], 0);
    EXPECT_EQ(status["lastTokenDay"], "");
    EXPECT_FALSE(status.contains("usedPercent"));
    EXPECT_FALSE(status.contains("quotaUpdatedAt"));
    EXPECT_FALSE(status.contains("tokensFetchedAt"));
}

TEST(StatusFile, DemoModeWritesNothingAndLaunchesNothing) {
    setDemo(true);
    LiveRig rig(json::object());
    rig.model->start();
    rig.model->refresh();
    rig.runUntil([] { return false; }, 300ms);
    setDemo(false);
    EXPECT_EQ(rig.model->windows().size(), 2u);
    EXPECT_TRUE(rig.launcher->requests.empty());
    EXPECT_FALSE(std::filesystem::exists(rig.home + "/Library"));
}

}  // namespace
}  // namespace tallyvane::integration
