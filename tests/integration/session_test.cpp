// One model on its real seams with a hand-moved clock, and as ~/.local/bin/codex of a temporary HOME the scripted
// peer (tests/fake_peer) or the real one from npm: the exchange on the pipes, children that end when the model says
// so even if they ignore SIGTERM, and a flood on both outputs whose answers still count while memory stays bounded.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/live_services.h"
#include "model/account_texts.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/user_environment.h"
#include "tests/support/fakes.h"
#include "tests/support/installs.h"
#include "tests/support/loopback_backend.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
const std::string late = "Le service tarde à répondre. Dernières données conservées.",
                  lost = "Connexion interrompue. Nouvel essai automatique.";

struct LiveRig {
    // `script` is the scripted peer's, whose log records what it receives; `codex`, when given, is linked as ~/.local/bin/codex.
    explicit LiveRig(const json& script, const std::string& codex = FAKE_CODEX_PATH) {
        if (::mkdtemp(home.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        marker += home;
        fs::create_directories(home + "/.local/bin");
        if (!codex.empty()) fs::create_symlink(codex, home + "/.local/bin/codex");
        json logged = script;
        logged["log"] = home + "/peer.log";
        std::ofstream(home + "/script.json") << logged.dump();
        // This process's environment, with HOME pointing here, the script named and a marker every process inherits.
        std::vector<std::string> variables{"HOME=" + home, marker, "FAKE_CODEX_SCRIPT=" + home + "/script.json"};
        for (const auto& variable : currentEnvironment())
            if (!variable.starts_with("HOME=") && !variable.starts_with("CODEX_HOME=") && !variable.starts_with("FAKE_CODEX_SCRIPT="))
                variables.push_back(variable);
        ModelServices services = liveServices(loop, ProcessEnvironment{home, variables, static_cast<int>(::getpid())});
        services.clock = clock;
        model = UsageModel::create(std::move(services));
        model->onChange = [this] {
            if (model->error().value_or("") != (errors.empty() ? "" : errors.back())) errors.push_back(model->error().value_or(""));
        };
    }
    // Stops the model if the test did not, then fails the test if any process started here is still alive.
    ~LiveRig() {
        if (model && !model->stopped()) model->stop(), model->finishStopping(300ms);
        runUntil([&] { return survivors().empty(); }, 2s);  // a killed group may take a moment to disappear
        for (pid_t pid : survivors()) {
            ADD_FAILURE() << "process " << pid << " outlived the model";
            ::kill(pid, SIGKILL);
        }
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
        auto poll = loop->scheduleRepeating(10ms, 0ms, [] {});  // the peer's log and /proc change without any event
        return loop->runUntil(done, limit);
    }
    // " id:method ..." of the lines each launch of the scripted peer received, launches apart with " |".
    std::string received() const {
        std::ifstream log(home + "/peer.log");
        std::string all;
        for (std::string line; std::getline(log, line);) {
            const json message = json::parse(line, nullptr, false);
            if (line.starts_with("#launch ")) all += all.empty() ? "" : " |";
            else if (message.is_object())  // else a line still being written
                all += " " + (message.contains("id") ? message["id"].dump() + ":" : "") + message.value("method", std::string("?"));
        }
        return all;
    }
    // Processes started from this rig, its children's children included, that are alive and not zombies.
    std::vector<pid_t> survivors() const {
        std::vector<pid_t> found;
        std::error_code error;
        for (const auto& item : fs::directory_iterator("/proc", error)) {
            const std::string name = item.path().filename();
            std::string stat, entry;
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::getline(std::ifstream(item.path() / "stat"), stat);
            if (stat.rfind(')') == std::string::npos || stat.compare(stat.rfind(')'), 4, ") Z ") == 0) continue;  // gone, or a zombie
            for (std::ifstream environment(item.path() / "environ"); std::getline(environment, entry, '\0');)
                if (entry == marker) found.push_back(static_cast<pid_t>(std::stol(name)));
        }
        return found;
    }

    std::string home = (fs::temp_directory_path() / "tallyvane-it-XXXXXX").string(), marker = "TALLYVANE_TEST_RIG=";
    std::shared_ptr<testing::ManualClock> clock = std::make_shared<testing::ManualClock>();
    std::shared_ptr<EventLoop> loop = std::make_shared<EventLoop>();
    std::shared_ptr<UsageModel> model;
    std::vector<std::string> errors;  // each new value of `error`, "" when it clears
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool memoryIsMeasurable = false;  // sanitizers keep freed memory back or shadow it
#else
constexpr bool memoryIsMeasurable = true;
#endif
// Where memory is not measured a fifth of the flood takes the same paths (the long line still passes 8 MB).
constexpr long floodDivisor = memoryIsMeasurable ? 1 : 5;

// A "VmRSS:"-like field of this process, in KiB.
long statusKiB(const std::string& field) {
    std::string line;
    for (std::ifstream status("/proc/self/status"); std::getline(status, line);)
        if (line.starts_with(field)) return std::stol(line.substr(field.size()));
    return 0;
}

// The child that runs is `program` itself, given the variables npm's launcher would give it for `package`.
void expectNativeProgram(const LiveRig& rig, const std::string& program, const std::string& package) {
    const std::string proc = "/proc/" + std::to_string(rig.model->processId());
    EXPECT_EQ(fs::read_symlink(proc + "/exe"), fs::canonical(program));
    std::ostringstream environment;
    environment << std::ifstream(proc + "/environ").rdbuf();
    EXPECT_TRUE(environment.str().find("CODEX_MANAGED_PACKAGE_ROOT=" + fs::canonical(package).string() + '\0' + "CODEX_MANAGED_BY_NPM=1") !=
                std::string::npos) << environment.str();
}

// npm's layout under nvm, whose launcher would exit 127 if it ever ran: the scripted peer, as native program, starts
// directly. A crash keeps what was read and the next child's ids go on. status.json and the folders made for it are
// private whatever the umask; a folder that already exists keeps its mode.
TEST(LiveSession, CyclesAcrossACrashFromAnNvmInstallAndKeepsStatusFilePrivate) {
    ::umask(0);  // each test runs in a process of its own
    LiveRig rig(json::parse(R"({"atStart": [{"notify": "configWarning", "params": {"summary": "no bubblewrap"}}],
        "afterInitialized": [{"notify": "remoteControl/status/changed", "params": {"status": "disabled"}}],
        "account/usage/read": ["default", {"exit": 3}]})"), "");
    testing::lay(rig.home, testing::npm("~/.nvm/versions/node/v22.1.0/"), FAKE_CODEX_PATH);
    ::mkdir((rig.home + "/Library").c_str(), 0755);
    const auto cycled = [&] { return rig.model->tokenUpdated() && !rig.model->refreshing() && rig.model->pending().empty(); };
    rig.model->start();
    ASSERT_TRUE(rig.runUntil(cycled)) << rig.model->error().value_or("-");
    expectNativeProgram(rig, FAKE_CODEX_PATH, rig.home + "/.nvm/versions/node/v22.1.0/lib/node_modules/@openai/codex");
    const std::vector<QuotaWindow> windows = rig.model->windows();
    rig.model->refresh();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
    EXPECT_TRUE(rig.model->windows() == windows && rig.model->lifetime() == 123456789);
    rig.model->refresh();
    const std::string expected = " 1:initialize initialized 11:account/rateLimits/read 12:account/usage/read "
                                 "13:account/rateLimits/read 14:account/usage/read | 1:initialize initialized "
                                 "15:account/rateLimits/read 16:account/usage/read";
    EXPECT_TRUE(rig.runUntil([&] { return cycled() && !rig.model->error() && rig.received() == expected; })) << rig.received();
    EXPECT_EQ(rig.errors, (std::vector<std::string>{lost, ""}));

    const std::string support = rig.model->support();
    for (const auto& [path, mode] : {std::pair{rig.home + "/Library", 0755}, {rig.home + "/Library/Application Support", 0700},
                                     {support, 0700}, {support + "/status.json", 0600}})
        EXPECT_EQ(static_cast<int>(fs::status(path).permissions()), mode) << path;
    // Nothing else: the atomic replace leaves no temporary behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(support), fs::directory_iterator()), 1);
}

// A peer that ends by itself before answering did not start; one that had answered lost its connection.
TEST(LiveSession, PeersThatFailSayHowAndAreReplaced) {
    const struct { const char *script, *textBefore; std::string textAfter; const char* receivedFirst; } table[] = {
        {R"({"initialize": {"error": {"message": "Unauthorized"}}})", "Reconnecte ton compte ChatGPT dans Codex.", lost, " 1:initialize |"},
        {R"({"initialize": [{"closeStdin": true}, "default", {"sleepMs": 200}]})", "Connexion Codex indisponible.", lost, " 1:initialize |"},
        {R"({"initialize": ["default", {"exit": 0}]})", lost.c_str(), lost, ""},
        {R"({"atStart": [{"exit": 127}]})", "", "Codex s’arrête au démarrage (code 127). Vérifie son installation, puis actualise.", nullptr},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.script);
        LiveRig rig(json::parse(row.script));
        rig.model->start();
        ASSERT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
        EXPECT_TRUE(rig.errors.back() == row.textAfter && (!*row.textBefore || std::ranges::find(rig.errors, row.textBefore) != rig.errors.end()));
        if (!row.receivedFirst) continue;  // it never reads: its relaunch is checked by the model's own tests
        rig.model->refresh();
        EXPECT_TRUE(rig.runUntil([&] { return rig.received().find('|') != std::string::npos; }));
        EXPECT_TRUE(rig.received().starts_with(row.receivedFirst)) << rig.received();
    }
}

TEST(ChildLifetime, EveryWayOfEndingLeavesNoProcess) {
    // Asleep in its answer, it reads nothing, not even the end of its input: only SIGKILL ends it.
    const std::string stubborn = R"({"grandchild": true, "ignoreSigterm": true, "account/usage/read": [{"sleepMs": 60000}]})";
    const struct { std::string script, end; std::vector<std::string> errors; } table[] = {
        {R"({"grandchild": true})", "stop", {}}, {stubborn, "stop", {}}, {stubborn, "late", {late, lost}},
        {R"({"grandchild": true, "account/usage/read": [[{"sleepMs": 300}, "default", {"exit": 0}]]})", "model gone", {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.script + " " + row.end);
        LiveRig rig(json::parse(row.script));
        rig.model->start();
        ASSERT_TRUE(rig.runUntil([&] { return rig.model->updated() && rig.survivors().size() == 2; }));
        const int pid = rig.model->processId();
        if (row.end == "stop") {
            rig.model->stop(), rig.model->finishStopping(300ms);
        } else if (row.end == "late") {
            rig.clock->advance(41s), rig.model->refresh();  // SIGTERM
            rig.runUntil([] { return false; }, 300ms);
            rig.model->refresh();  // then SIGKILL
            EXPECT_TRUE(rig.runUntil([&] { return !rig.model->hasProcess(); }));
        } else {
            rig.model.reset();  // its output and exit find nothing
        }
        EXPECT_TRUE(rig.runUntil([&] { return (::kill(pid, 0) != 0 && errno != EPERM) && rig.survivors().empty(); }, 5s));
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
    EXPECT_TRUE(rig.model->windows().size() == 2 && !rig.model->error() && !rig.model->tokenError());
    EXPECT_TRUE(!memoryIsMeasurable || growthMiB < 100) << growthMiB << " MiB more at the peak: the noise must not be held";
}

TEST(RealCodex, SignedOutAsksToReconnectAndLeavesNoProcessBehind) {
    const std::string codex = std::string(CODEX_NPM_DIR) + "/node_modules/.bin/codex";
    if (!fs::exists(codex)) GTEST_SKIP() << "npm was unreachable: see install.log in " << CODEX_NPM_DIR;
    LiveRig rig(nullptr, codex);
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->error() && rig.model->tokenError() && !rig.model->refreshing(); }, 60s))
        << rig.model->error().value_or("-") << " / " << rig.model->tokenError().value_or("-");
    EXPECT_EQ(*rig.model->error() + " / " + *rig.model->tokenError() + " / " + std::to_string(rig.model->windows().size()),
              "Reconnecte ton compte ChatGPT dans Codex. / Reconnecte ton compte ChatGPT dans Codex. / 0");
    EXPECT_FALSE(rig.survivors().empty());  // the native program, started without its Node launcher
    rig.model->stop(), rig.model->finishStopping(300ms);
    EXPECT_TRUE(rig.runUntil([&] { return rig.survivors().empty(); }, 3s)) << rig.survivors().size() << " still run";
}

// npm's install of the real codex in an nvm folder, with no node beside it: its native program runs, signed in,
// at the limit with credits, as the backend says it and the real codex passes it on.
TEST(RealCodex, SignedInThroughALoopbackBackendReadsTheWindowsThePlanAndTheCredits) {
    const std::string modules = std::string(CODEX_NPM_DIR) + "/node_modules/", nvm = "~/.nvm/versions/node/v22.1.0/";
    if (!fs::exists(modules + ".bin/codex")) GTEST_SKIP() << "npm was unreachable: see install.log in " << CODEX_NPM_DIR;
    testing::LoopbackBackend backend(testing::usageBody(100, 40, R"("plan_type":"plus","credits":{"has_credits":true,)"
        R"("unlimited":false,"balance":"5.39"},"rate_limit_reached_type":{"type":"rate_limit_reached"},)"
        R"("rate_limit_reset_credits":{"available_count":1})"));
    LiveRig rig(nullptr, "");
    testing::lay(rig.home, {"L " + nvm + "lib/node_modules/@openai/codex " + modules + "@openai/codex", "L " + nvm + "bin/codex ../lib/" +
        "node_modules/@openai/codex/bin/codex.js", "L " + nvm + "lib/node_modules/" + testing::platformPackage + " " + modules + testing::platformPackage}, "");
    testing::signInCodex(rig.home, backend);
    rig.model->start();
    ASSERT_TRUE(rig.runUntil([&] { return rig.model->windows().size() == 2; }, 60s)) << rig.model->error().value_or("-");
    EXPECT_TRUE(rig.model->windows()[0].used == 100 && rig.model->windows()[1].used == 40);
    EXPECT_EQ(accountLineText(rig.model->account()).value_or("-") + " | " + limitBlockText(rig.model->account(), rig.model->windows()).value_or("-"),
              "Forfait Plus · 5,39 crédits · 1 réinitialisation disponible | Limite atteinte · les crédits prennent le relais (5,39 restants)");
    expectNativeProgram(rig, std::string(CODEX_NPM_DIR) + "/" + testing::nativeInModules, modules + "@openai/codex");
}

}  // namespace
}  // namespace tallyvane
