// One model, one real child running the scripted peer: the exchange as it happens on the pipes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/integration/live_rig.h"
#include "tests/integration/peer_texts.h"
#include "tests/integration/process_table.h"

namespace tallyvane::integration {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// The lines the `launch`-th child received, once it has logged at least `count` of them.
std::vector<json> received(LiveRig& rig, std::size_t launch, std::size_t count) {
    rig.runUntil([&] { return rig.receivedCount(launch) >= count; });
    std::vector<json> lines;
    const auto launches = rig.receivedPerLaunch();
    if (launches.size() > launch)
        for (const auto& line : launches[launch]) lines.push_back(json::parse(line));
    return lines;
}

json readRequest(std::int64_t id, const char* method) { return json{{"id", id}, {"method", method}}; }

bool cycleDone(const UsageModel& model) { return model.updated() && model.tokenUpdated() && !model.refreshing(); }

TEST(LiveSession, HandshakeThenReadsAndIdsKeepCountingOnTheSameChild) {
    LiveRig rig(json::object());
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return cycleDone(*rig.model); }));

    ASSERT_EQ(rig.launcher->requests.size(), 1u);
    const LaunchRequest& launch = rig.launcher->requests[0];
    EXPECT_EQ(launch.executable, rig.home + "/.local/bin/codex");
    EXPECT_EQ(launch.arguments, std::vector<std::string>{"app-server"});
    EXPECT_EQ(std::count(launch.environment.begin(), launch.environment.end(),
                         "PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"),
              1);
    EXPECT_EQ(std::count_if(launch.environment.begin(), launch.environment.end(),
                            [](const std::string& v) { return v.rfind("PATH=", 0) == 0; }),
              1);

    auto lines = received(rig, 0, 4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["id"], 1);
    EXPECT_EQ(lines[0]["method"], "initialize");
    EXPECT_EQ(lines[0]["params"]["clientInfo"],
              (json{{"name", "kestrane_quota_bar"}, {"title", "Tallyvane"}, {"version", "1.4.0"}}));
    EXPECT_EQ(lines[0]["params"]["capabilities"], (json{{"experimentalApi", true}}));
    EXPECT_EQ(lines[1], (json{{"method", "initialized"}}));
    EXPECT_EQ(lines[2], readRequest(11, "account/rateLimits/read"));
    EXPECT_EQ(lines[3], readRequest(12, "account/usage/read"));

    const UsageModel& m = *rig.model;
    ASSERT_EQ(m.windows().size(), 2u);
    EXPECT_EQ(m.windows()[0].name, "5 heures");
    EXPECT_EQ(m.windows()[0].used, 42);
    EXPECT_EQ(m.windows()[1].name, "Semaine");
    EXPECT_EQ(m.lifetime(), 123456789);
    EXPECT_EQ(m.lastTokenDay(), "2026-12-05");
    EXPECT_EQ(m.lastTokens(), 1500000);
    EXPECT_FALSE(m.error() || m.tokenError());

    rig.model->refresh();
    lines = received(rig, 0, 6);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], readRequest(13, "account/rateLimits/read"));
    EXPECT_EQ(lines[5], readRequest(14, "account/usage/read"));
    EXPECT_TRUE(rig.runUntil([&] { return !rig.model->refreshing(); }));
    EXPECT_EQ(rig.launcher->requests.size(), 1u);
}

TEST(LiveSession, UnsolicitedNotificationsBeforeAndAfterTheHandshakeAreHarmless) {
    LiveRig rig(json::parse(R"({
        "atStart": [{"notify": "configWarning", "params": {"summary": "no bubblewrap", "details": null}}],
        "afterInitialized": [{"notify": "remoteControl/status/changed", "params": {"status": "disabled"}}],
        "account/rateLimits/read": ["silent"],
        "account/usage/read": [[
            {"notify": "account/rateLimits/updated",
             "params": {"rateLimits": {"primary": {"usedPercent": 88, "windowDurationMins": 30, "resetsAt": 1796594000}}}},
            "default"]]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->tokenUpdated() && rig.model->updated(); }));
    ASSERT_EQ(rig.model->windows().size(), 1u);
    EXPECT_EQ(rig.model->windows()[0].used, 88);
    EXPECT_FALSE(rig.model->error());
}

TEST(LiveSession, RefreshWhileBothReadsArePendingSendsNothingAgain) {
    LiveRig rig(json::parse(R"({"account/rateLimits/read": ["silent"], "account/usage/read": ["silent"]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.hasPending(12); }));
    const auto writes = rig.launcher->written.size();
    rig.clock->advance(35s);
    rig.model->refresh();
    rig.model->refresh();
    EXPECT_EQ(rig.launcher->written.size(), writes);
    EXPECT_TRUE(rig.model->refreshing());
    EXPECT_EQ(received(rig, 0, 4).size(), 4u);
    EXPECT_EQ(rig.model->pending().size(), 2u);
}

TEST(LiveSession, UnansweredReadTimesOutThenTheChildIsReplacedWithAFreshHandshake) {
    LiveRig rig(json::parse(R"({"account/rateLimits/read": ["silent"], "account/usage/read": ["silent"]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.hasPending(12); }));
    const int firstPid = rig.model->processId();

    rig.clock->advance(41s);
    rig.model->refresh();
    EXPECT_EQ(rig.model->error(), texts::late);
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_EQ(rig.model->error(), texts::childLost);
    EXPECT_TRUE(rig.model->pending().empty());
    EXPECT_FALSE(processExists(firstPid));
    ASSERT_GE(rig.errors.size(), 2u);
    EXPECT_EQ(rig.errors[rig.errors.size() - 2], texts::late);

    rig.model->refresh();
    ASSERT_TRUE(rig.runUntil([&] { return rig.hasPending(14); }));
    EXPECT_NE(rig.model->processId(), firstPid);
    const auto lines = received(rig, 1, 4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["id"], 1);
    EXPECT_EQ(lines[0]["method"], "initialize");
    EXPECT_EQ(lines[2], readRequest(13, "account/rateLimits/read"));
    EXPECT_EQ(lines[3], readRequest(14, "account/usage/read"));
}

TEST(LiveSession, UnansweredInitializeTimesOutToo) {
    LiveRig rig(json::parse(R"({"initialize": "silent"})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.receivedCount(0) == 1; }));
    rig.clock->advance(40s);
    rig.model->refresh();
    EXPECT_FALSE(rig.model->error());  // exactly 40 s is not late
    rig.clock->advance(1s);
    rig.model->refresh();
    EXPECT_EQ(rig.model->error(), texts::late);
    EXPECT_TRUE(rig.runUntil([&] { return rig.model->error() == texts::childLost; }));
}

struct ErrorCase {
    const char* method;
    const char* message;
    const char* expected;
};

class LiveErrorAnswer : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(LiveErrorAnswer, BecomesTheFrenchTextOfItsKindAndKeepsTheOtherKind) {
    const ErrorCase& c = GetParam();
    json script;
    script[c.method] = json::array({json::parse(R"({"error": {"code": -32600}})")});
    script[c.method][0]["error"]["message"] = c.message;
    LiveRig rig(script);
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->pending().empty() && !rig.model->refreshing(); }));
    const bool tokens = std::string(c.method) == "account/usage/read";
    EXPECT_EQ(rig.model->error().value_or(""), tokens ? "" : c.expected);
    EXPECT_EQ(rig.model->tokenError().value_or(""), tokens ? c.expected : "");
    EXPECT_EQ(rig.model->windows().empty(), !tokens);
    EXPECT_EQ(rig.model->lifetime().has_value(), !tokens);
    EXPECT_TRUE(rig.model->hasProcess());  // an error answer does not end the child
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LiveErrorAnswer,
    ::testing::Values(
        ErrorCase{"account/rateLimits/read", "codex account authentication required to read rate limits", texts::signIn},
        ErrorCase{"account/rateLimits/read", "chatgpt authentication required to read rate limits", texts::signIn},
        ErrorCase{"account/rateLimits/read", "failed to fetch codex rate limits: GET http://127.0.0.1:9/wham/usage failed: 401",
                  texts::signIn},
        ErrorCase{"account/rateLimits/read",
                  "failed to fetch codex rate limits: GET http://127.0.0.1:9/wham/usage failed: 429 Too Many Requests",
                  texts::unavailable},
        ErrorCase{"account/usage/read", "codex account authentication required to read token usage", texts::signIn},
        ErrorCase{"account/usage/read", "GET http://127.0.0.1:9/wham/profiles/me failed: 401", texts::signIn},
        ErrorCase{"account/usage/read", "token usage profile fetch timed out", texts::unavailable}));

TEST(LiveSession, InitializeErrorEndsTheChild) {
    LiveRig rig(json::parse(R"({"initialize": {"error": {"code": -32600, "message": "Unauthorized"}}})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->error() == texts::childLost; }));
    ASSERT_GE(rig.errors.size(), 2u);
    EXPECT_EQ(rig.errors[0], texts::signIn);
    EXPECT_FALSE(rig.model->ready());
    EXPECT_EQ(received(rig, 0, 1).size(), 1u);  // no "initialized", no reads
}

TEST(LiveSession, CrashMidCycleKeepsTheDataAndTheNextRefreshRelaunches) {
    LiveRig rig(json::parse(R"({"account/rateLimits/read": ["default", {"exit": 3}]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return cycleDone(*rig.model); }));
    const auto windows = rig.model->windows();

    rig.model->refresh();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_EQ(rig.model->error(), texts::childLost);
    EXPECT_FALSE(rig.model->refreshing());
    EXPECT_EQ(rig.model->windows(), windows);
    EXPECT_EQ(rig.model->lifetime(), 123456789);
    EXPECT_TRUE(rig.model->pending().empty());

    rig.model->refresh();
    ASSERT_TRUE(rig.runUntil([&] { return cycleDone(*rig.model) && rig.model->pending().empty() && !rig.model->error(); }));
    const auto lines = received(rig, 1, 4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["id"], 1);
    EXPECT_EQ(lines[2], readRequest(15, "account/rateLimits/read"));
    EXPECT_EQ(lines[3], readRequest(16, "account/usage/read"));
}

TEST(LiveSession, PeerClosingItsInputMakesWritesFailWithoutHarm) {
    LiveRig rig(json::parse(R"({"initialize": [{"closeStdin": true}, "default", {"sleepMs": 200}]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_GE(rig.launcher->failedWrites, 1);
    EXPECT_NE(std::find(rig.errors.begin(), rig.errors.end(), texts::writeFailed), rig.errors.end());
    EXPECT_EQ(rig.model->error(), texts::childLost);

    rig.model->refresh();
    EXPECT_TRUE(rig.runUntil([&] { return rig.receivedCount(1) >= 1; }));
}

TEST(LiveSession, PeerExitingRightAfterTheHandshakeAnswer) {
    LiveRig rig(json::parse(R"({"initialize": ["default", {"exit": 0}]})"));
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_EQ(rig.model->error(), texts::childLost);
    EXPECT_FALSE(rig.model->ready());
    EXPECT_TRUE(rig.model->pending().empty());
}

TEST(LiveSession, StopBeforeStartLaunchesNothingEver) {
    LiveRig rig(json::object());
    rig.model->stop();
    rig.model->start();
    rig.model->refresh();
    rig.runUntil([] { return false; }, 300ms);
    EXPECT_TRUE(rig.launcher->requests.empty());
    EXPECT_FALSE(rig.model->hasProcess());
    EXPECT_TRUE(rig.errors.empty());
    EXPECT_FALSE(std::filesystem::exists(rig.home + "/Library"));
}

}  // namespace
}  // namespace tallyvane::integration
