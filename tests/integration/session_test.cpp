// One model, real children running the scripted peer: the exchange as it happens on the pipes, children that
// end when the model says so even if they ignore SIGTERM, leaving no process behind, and a peer that writes far
// too much on both outputs, whose answers after the noise still count while memory stays bounded.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/integration/live_rig.h"

namespace tallyvane::integration {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
const std::string late = "Le service tarde à répondre. Dernières données conservées.",
                  lost = "Connexion interrompue. Nouvel essai automatique.";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool memoryIsMeasurable = false;  // sanitizers keep freed memory back or shadow it
#else
constexpr bool memoryIsMeasurable = true;
#endif
// Where memory is not measured a fifth of the flood takes the same paths (the long line still passes 8 MB).
constexpr long floodDivisor = memoryIsMeasurable ? 1 : 5;

// A "VmRSS:"-like field of this process, in KiB.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field)) return std::stol(line.substr(field.size()));
    return 0;
}

// A crash keeps what was read and the next child's ids go on. status.json and the folders made for it are
// private whatever the umask; a folder that already exists keeps its mode.
TEST(LiveSession, CyclesAcrossACrashAndKeepsStatusFilePrivate) {
    struct UmaskZero {
        mode_t saved = ::umask(0);
        ~UmaskZero() { ::umask(saved); }
    } umaskZero;
    LiveRig rig(json::parse(R"({"atStart": [{"notify": "configWarning", "params": {"summary": "no bubblewrap"}}],
        "afterInitialized": [{"notify": "remoteControl/status/changed", "params": {"status": "disabled"}}],
        "account/usage/read": ["default", {"exit": 3}]})"));
    fs::create_directory(rig.home + "/Library");
    fs::permissions(rig.home + "/Library", fs::perms(0755));
    const auto cycled = [&] { return rig.model->tokenUpdated() && !rig.model->refreshing() && rig.model->pending().empty(); };
    rig.model->start();
    ASSERT_TRUE(rig.runUntil(cycled));
    const std::vector<QuotaWindow> windows = rig.model->windows();
    rig.model->refresh();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_EQ(rig.model->windows(), windows);
    EXPECT_EQ(rig.model->lifetime(), 123456789);
    rig.model->refresh();
    const std::string expected = " 1:initialize initialized 11:account/rateLimits/read 12:account/usage/read "
                                 "13:account/rateLimits/read 14:account/usage/read | 1:initialize initialized "
                                 "15:account/rateLimits/read 16:account/usage/read";
    EXPECT_TRUE(rig.runUntil([&] { return cycled() && !rig.model->error() && rig.received() == expected; }));
    EXPECT_EQ(rig.received(), expected);
    EXPECT_EQ(rig.errors, (std::vector<std::string>{lost, ""}));

    const std::string support = rig.model->support();
    const auto mode = [](const std::string& path) { return static_cast<int>(fs::status(path).permissions()); };
    EXPECT_EQ(mode(rig.home + "/Library"), 0755);
    EXPECT_EQ(mode(rig.home + "/Library/Application Support"), 0700);
    EXPECT_EQ(mode(support), 0700);
    EXPECT_EQ(mode(support + "/status.json"), 0600);
    // Nothing else: the atomic replace leaves no temporary behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(support), fs::directory_iterator()), 1);
}

TEST(LiveSession, PeersThatFailEndAsALostConnectionAndAreReplaced) {
    const struct { const char *script, *textBefore, *receivedFirst; } table[] = {
        {R"({"initialize": {"error": {"code": -32600, "message": "Unauthorized"}}})", "Reconnecte ton compte ChatGPT dans Codex.",
         " 1:initialize |"},
        {R"({"initialize": [{"closeStdin": true}, "default", {"sleepMs": 200}]})", "Connexion Codex indisponible.", " 1:initialize |"},
        {R"({"initialize": ["default", {"exit": 0}]})", lost.c_str(), ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.script);
        LiveRig rig(json::parse(row.script));
        rig.model->start();
        ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
        EXPECT_EQ(rig.errors.back(), lost);
        EXPECT_NE(std::find(rig.errors.begin(), rig.errors.end(), row.textBefore), rig.errors.end());
        rig.model->refresh();
        EXPECT_TRUE(rig.runUntil([&] { return rig.received().find('|') != std::string::npos; }));
        EXPECT_TRUE(rig.received().starts_with(row.receivedFirst)) << rig.received();
    }
}

TEST(ChildLifetime, EveryWayOfEndingLeavesNoProcess) {
    // Asleep in its answer, it reads nothing, not even the end of its input: only SIGKILL ends it.
    const std::string stubborn = R"({"grandchild": true, "ignoreSigterm": true, "account/usage/read": [{"sleepMs": 60000}]})";
    const struct { std::string script, end; std::vector<std::string> errors; } table[] = {
        {R"({"grandchild": true})", "stop", {}},
        {stubborn, "stop", {}},
        {stubborn, "late", {late, lost}},
        {R"({"grandchild": true, "account/usage/read": [[{"sleepMs": 300}, "default", {"exit": 0}]]})", "model gone", {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.script + " " + row.end);
        LiveRig rig(json::parse(row.script));
        rig.model->start();
        ASSERT_TRUE(rig.runUntil([&] { return rig.model->updated() && rig.survivors().size() == 2; }));
        const int pid = rig.model->processId();
        if (row.end == "stop") {
            rig.model->stop();
            rig.model->finishStopping(300ms);
        } else if (row.end == "late") {
            rig.clock->advance(41s);
            rig.model->refresh();  // SIGTERM
            rig.runUntil([] { return false; }, 300ms);
            rig.model->refresh();  // then SIGKILL
            EXPECT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
        } else {
            rig.model.reset();  // its output and exit find nothing
        }
        EXPECT_TRUE(rig.runUntil([&] { return !processExists(pid) && rig.survivors().empty(); }, 5s));
        EXPECT_EQ(rig.errors, row.errors);
    }
}

TEST(Flood, JunkLinesAHugeUnterminatedLineAndStandardErrorBeforeTheAnswers) {
    const auto bytes = [](long count) { return std::to_string(count / floodDivisor); };
    LiveRig rig(json::parse(R"({"initialize": [{"floodStderr": )" + bytes(20000000) + R"(}, "default"],
        "account/rateLimits/read": [[{"flood": )" + bytes(200000000) + R"(}, {"floodUnterminated": )" +
                            bytes(50000000) + R"(}, {"raw": ""}, "default"]],
        "account/usage/read": [[{"floodStderr": )" + bytes(20000000) + R"(}, "default"]]})"));
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak comes down to the present
    const long before = statusKiB("VmRSS:");
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->updated() && rig.model->tokenUpdated(); }, 100s));
    const long growthMiB = (statusKiB("VmHWM:") - before) / 1024;
    RecordProperty("peakGrowthMiB", std::to_string(growthMiB));
    EXPECT_EQ(rig.model->windows().size(), 2u);
    EXPECT_FALSE(rig.model->error() || rig.model->tokenError());
    EXPECT_TRUE(!memoryIsMeasurable || growthMiB < 100) << growthMiB << " MiB more at the peak: the noise must not be held";
}

}  // namespace
}  // namespace tallyvane::integration
