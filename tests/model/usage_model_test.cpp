#include <gtest/gtest.h>

#include "model/run_flags.h"
#include "model/usage_model.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

using testing::ModelRig;
using namespace std::chrono_literals;

constexpr const char* twoWindows =
    R"({"rateLimits":{"primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},)"
    R"("secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000}}})";

Json lastStatus(const ModelRig& rig) { return Json::parse(rig.files->writes.back().second); }

TEST(UsageModel, FreshModel) {
    ModelRig rig;
    const auto& m = *rig.model;
    EXPECT_TRUE(m.windows().empty());
    EXPECT_FALSE(m.updated() || m.tokenUpdated() || m.error() || m.tokenError() || m.lifetime() || m.lastTokens() ||
                 m.lastTokenDay());
    EXPECT_FALSE(m.refreshing() || m.ready() || m.stopped() || m.hasProcess() || m.hasTimer());
    EXPECT_EQ(m.serial(), 10);
    EXPECT_TRUE(m.pending().empty());
    EXPECT_EQ(m.support(), "/home/tester/Library/Application Support/Tallyvane");
    EXPECT_TRUE(rig.launcher->children.empty());
    EXPECT_TRUE(rig.files->writes.empty());
}

TEST(UsageModel, StartLaunchesCodexAppServerWithFixedPathAndSendsInitialize) {
    ModelRig rig;
    rig.model->start();
    ASSERT_EQ(rig.launcher->children.size(), 1u);
    const auto& request = rig.child().request;
    EXPECT_EQ(request.executable, "/home/tester/.local/bin/codex");
    EXPECT_EQ(request.arguments, std::vector<std::string>{"app-server"});
    EXPECT_EQ(request.environment,
              (std::vector<std::string>{"LANG=fr_FR.UTF-8", "PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"}));

    auto lines = rig.child().writtenLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Json::parse(lines[0]),
              Json::parse(R"({"id":1,"method":"initialize","params":{"clientInfo":{"name":"kestrane_quota_bar",)"
                          R"("title":"Tallyvane","version":"1.4.0"},"capabilities":{"experimentalApi":true}}})"));
    EXPECT_EQ(lines[0].find('\n'), std::string::npos);
    ASSERT_EQ(rig.model->pending().size(), 1u);
    EXPECT_EQ(rig.model->pending().at(1).kind, "initialize");
    EXPECT_TRUE(rig.model->refreshing());
    EXPECT_EQ(rig.changes, 0);
    EXPECT_TRUE(rig.model->hasTimer());
    EXPECT_EQ(rig.loop->lastInterval, 30s);
    EXPECT_EQ(rig.loop->lastTolerance, 3s);
}

TEST(UsageModel, HandshakeThenReadRequestsWithIncreasingIds) {
    ModelRig rig;
    rig.startReady();
    auto lines = rig.child().writtenLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Json::parse(lines[1]), Json::parse(R"({"method":"initialized"})"));
    EXPECT_EQ(Json::parse(lines[2]), Json::parse(R"({"id":11,"method":"account/rateLimits/read"})"));
    EXPECT_EQ(Json::parse(lines[3]), Json::parse(R"({"id":12,"method":"account/usage/read"})"));
    EXPECT_TRUE(rig.model->ready());
    EXPECT_EQ(rig.changes, 0);  // the handshake alone publishes nothing
    EXPECT_TRUE(rig.files->writes.empty());
}

TEST(UsageModel, AnswersPublishDataAndRewriteStatus) {
    ModelRig rig;
    rig.startReady();
    rig.answerQuota(twoWindows);
    ASSERT_EQ(rig.model->windows().size(), 2u);
    EXPECT_EQ(rig.model->windows()[0].name, "5 heures");
    EXPECT_EQ(rig.model->updated(), rig.clock->now());
    EXPECT_TRUE(rig.model->refreshing());  // tokens still pending
    EXPECT_EQ(rig.changes, 2);             // acceptQuota, then the tail

    rig.answerTokens(R"({"summary":{"lifetimeTokens":123456789},"dailyUsageBuckets":[{"startDate":"2026-12-05","tokens":1500000}]})");
    EXPECT_EQ(rig.model->lifetime(), 123456789);
    EXPECT_EQ(rig.model->lastTokens(), 1500000);
    EXPECT_EQ(rig.model->lastTokenDay(), "2026-12-05");
    EXPECT_FALSE(rig.model->refreshing());
    EXPECT_TRUE(rig.model->pending().empty());

    const Json status = lastStatus(rig);
    EXPECT_EQ(rig.files->writes.back().first, "/home/tester/Library/Application Support/Tallyvane/status.json");
    EXPECT_EQ(status["running"], true);
    EXPECT_EQ(status["pollSeconds"], 30);
    EXPECT_EQ(status["windowCount"], 2);
    EXPECT_EQ(status["pid"], 777);
    EXPECT_EQ(status["usedPercent"], 42);
    EXPECT_EQ(status["error"], "");
    EXPECT_EQ(status["tokenError"], "");
    EXPECT_EQ(status["lastTokenDay"], "2026-12-05");
    EXPECT_EQ(status["quotaUpdatedAt"], "2026-11-30T00:53:20Z");
    EXPECT_EQ(status["tokensFetchedAt"], "2026-11-30T00:53:20Z");
}

TEST(UsageModel, ObserversAreToldBeforeTheValueChanges) {
    ModelRig rig;
    rig.startReady();
    std::vector<std::size_t> seen;
    rig.model->willChange().connect([&] { seen.push_back(rig.model->windows().size()); });
    rig.answerQuota(twoWindows);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0u);  // the first signal came while windows were still empty
}

TEST(UsageModel, AtMostOneRequestOfEachKind) {
    ModelRig rig;
    rig.startReady();
    rig.answerTokens("{}");
    rig.clock->advance(35s);
    rig.loop->fireTimers();
    auto lines = rig.child().writtenLines();
    ASSERT_EQ(lines.size(), 5u);  // only a new tokens request
    EXPECT_EQ(Json::parse(lines[4]), Json::parse(R"({"id":13,"method":"account/usage/read"})"));
    EXPECT_TRUE(rig.model->refreshing());
}

TEST(UsageModel, LateRequestTerminatesThenKillsAndTheNextRefreshRelaunches) {
    ModelRig rig;
    rig.startReady();
    rig.clock->advance(40s);
    rig.model->refresh();  // exactly 40 s is not late
    EXPECT_FALSE(rig.model->error());
    EXPECT_EQ(rig.child().terminateCount, 0);

    rig.clock->advance(500ms);
    rig.model->refresh();
    EXPECT_EQ(rig.model->error(), "Le service tarde à répondre. Dernières données conservées.");
    EXPECT_FALSE(rig.model->refreshing());
    EXPECT_EQ(rig.child().terminateCount, 1);
    EXPECT_EQ(rig.model->pending().size(), 2u);  // a time-out does not remove entries

    rig.model->refresh();  // still there: no second polite request
    EXPECT_EQ(rig.child().terminateCount, 1);
    EXPECT_GE(rig.child().killCount, 1);

    auto first = rig.launcher->last();
    first->exit();
    rig.loop->drain();
    EXPECT_EQ(rig.model->error(), "Connexion interrompue. Nouvel essai automatique.");
    EXPECT_FALSE(rig.model->hasProcess());
    EXPECT_TRUE(rig.model->pending().empty());

    rig.model->refresh();
    ASSERT_EQ(rig.launcher->children.size(), 2u);
    EXPECT_EQ(Json::parse(rig.child().writtenLines()[0])["id"], 1);
    rig.receive(R"({"id":1,"result":{}})");
    auto lines = rig.child().writtenLines();
    EXPECT_EQ(Json::parse(lines[2])["id"], 13);
    EXPECT_EQ(Json::parse(lines[3])["id"], 14);
}

TEST(UsageModel, UnansweredInitializeTimesOutToo) {
    ModelRig rig;
    rig.model->start();
    rig.clock->advance(41s);
    rig.loop->fireTimers();
    EXPECT_EQ(rig.model->error(), "Le service tarde à répondre. Dernières données conservées.");
    EXPECT_EQ(rig.child().terminateCount, 1);
}

struct ErrorCase {
    const char* message;
    const char* expected;
};

TEST(UsageModel, ErrorAnswersForEachKind) {
    const ErrorCase cases[] = {
        {"codex account authentication required to read rate limits", "Reconnecte ton compte ChatGPT dans Codex."},
        {"Unauthorized", "Reconnecte ton compte ChatGPT dans Codex."},
        {"GET https://x failed: 401 Unauthorized", "Reconnecte ton compte ChatGPT dans Codex."},
        {"AUTH", "Reconnecte ton compte ChatGPT dans Codex."},
        {"rate limited", "Données temporairement indisponibles. Nouvel essai automatique."},
        {"GET failed: 429 Too Many Requests", "Données temporairement indisponibles. Nouvel essai automatique."},
    };
    for (const auto& c : cases) {
        ModelRig rig;
        rig.startReady();
        rig.answerQuota(twoWindows);
        rig.answerError(12, c.message);
        EXPECT_EQ(rig.model->tokenError(), c.expected) << c.message;
        EXPECT_FALSE(rig.model->error());
        EXPECT_FALSE(rig.model->refreshing());

        rig.model->refresh();
        rig.answerError(rig.pendingId("quota"), c.message);
        EXPECT_EQ(rig.model->error(), c.expected) << c.message;
        EXPECT_EQ(rig.model->windows().size(), 2u);  // data stays
        EXPECT_EQ(lastStatus(rig)["error"], c.expected);
    }
}

TEST(UsageModel, ErrorWithoutTextMessageAndErrorThatIsNotAnObject) {
    ModelRig rig;
    rig.startReady();
    rig.receive(R"({"id":11,"error":{"code":-32603}})");
    EXPECT_EQ(rig.model->error(), "Données temporairement indisponibles. Nouvel essai automatique.");
    // An "error" that is text counts as no error: the result is looked at.
    rig.receive(std::string(R"({"id":12,"error":"auth","result":)") + R"({"summary":{"lifetimeTokens":5}})" + "}");
    EXPECT_EQ(rig.model->lifetime(), 5);
    EXPECT_FALSE(rig.model->tokenError());
}

TEST(UsageModel, InitializeErrorFailsAndTerminatesTheChild) {
    ModelRig rig;
    rig.model->start();
    rig.answerError(1, "Not initialized");
    EXPECT_EQ(rig.model->error(), "Données temporairement indisponibles. Nouvel essai automatique.");
    EXPECT_FALSE(rig.model->ready());
    EXPECT_EQ(rig.child().terminateCount, 1);
    // The child ignores SIGTERM: the next refresh kills it rather than waiting for ever.
    rig.model->refresh();
    EXPECT_EQ(rig.child().killCount, 1);
    rig.child().exit();
    rig.loop->drain();
    EXPECT_EQ(rig.model->error(), "Connexion interrompue. Nouvel essai automatique.");
}

TEST(UsageModel, InitializeErrorAsTextCompletesTheHandshake) {
    ModelRig rig;
    rig.model->start();
    rig.receive(R"({"id":1,"error":"whatever"})");
    EXPECT_TRUE(rig.model->ready());
    EXPECT_EQ(rig.model->pending().size(), 2u);
}

TEST(UsageModel, MessagesThatMatchNothingChangeNothing) {
    ModelRig rig;
    rig.startReady();
    const int changesBefore = rig.changes;
    for (const char* line : {R"({"id":99,"result":{}})", R"({"id":"11","result":{}})", R"({"id":11.5,"result":{}})",
                             R"({"id":1e300,"result":{}})", R"({"id":-0.5,"result":{}})", R"({"id":true,"result":{}})",
                             R"({"id":null,"result":{}})", R"({"method":"configWarning","params":{}})",
                             R"({"method":"account/rateLimits/updated","params":[1]})", R"({"result":{}})"})
        rig.receive(line);
    EXPECT_EQ(rig.changes, changesBefore);
    EXPECT_TRUE(rig.files->writes.empty());
    EXPECT_EQ(rig.model->pending().size(), 2u);
    // 11.0 is integral.
    rig.receive(R"({"id":11.0,"result":{}})");
    EXPECT_EQ(rig.model->pending().size(), 1u);
}

TEST(UsageModel, ResultWithoutUsableBodyRunsOnlyTheTail) {
    ModelRig rig;
    rig.startReady();
    rig.receive(R"({"id":11,"result":null})");
    EXPECT_TRUE(rig.model->windows().empty());
    EXPECT_FALSE(rig.model->error());
    EXPECT_EQ(rig.changes, 1);
    EXPECT_TRUE(rig.model->refreshing());
}

TEST(UsageModel, EmptyQuotaKeepsOldWindowsWithAMessage) {
    ModelRig rig;
    rig.startReady();
    rig.answerQuota(twoWindows);
    const auto updated = rig.model->updated();
    rig.clock->advance(30s);
    rig.receive(R"({"method":"account/rateLimits/updated","params":{"rateLimits":null}})");
    EXPECT_EQ(rig.model->error(), "Aucun quota communiqué pour ce compte.");
    EXPECT_EQ(rig.model->windows().size(), 2u);
    EXPECT_EQ(rig.model->updated(), updated);

    rig.receive(R"({"method":"account/rateLimits/updated","params":{"rateLimits":{"primary":{"usedPercent":88}}}})");
    EXPECT_FALSE(rig.model->error());
    ASSERT_EQ(rig.model->windows().size(), 1u);
    EXPECT_EQ(rig.model->windows()[0].used, 88);
    EXPECT_EQ(lastStatus(rig)["usedPercent"], 88);
}

TEST(UsageModel, TokenBuckets) {
    struct Case {
        const char* result;
        std::optional<std::string> day;
        std::optional<std::int64_t> tokens;
        std::optional<std::int64_t> lifetime;
    };
    const Case cases[] = {
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-02","tokens":10},{"startDate":"2024-05-10","tokens":7},{"startDate":"2024-05-09","tokens":3}]})",
         "2024-05-10", 7, std::nullopt},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":1},{"startDate":"2024-05-10","tokens":2}]})", "2024-05-10", 1,
         std::nullopt},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10"},{"startDate":5,"tokens":2},{"startDate":"2024-01-01","tokens":4}]})",
         "2024-01-01", 4, std::nullopt},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":1},null]})", std::nullopt, std::nullopt, std::nullopt},
        {R"({"dailyUsageBuckets":null,"summary":{"lifetimeTokens":12.9}})", std::nullopt, std::nullopt, 12},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":true}],"summary":{"lifetimeTokens":false}})", std::nullopt,
         std::nullopt, std::nullopt},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":1e300}],"summary":{"lifetimeTokens":-1e300}})", "2024-05-10",
         std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()},
        {R"({"summary":{"lifetimeTokens":18446744073709551615}})", std::nullopt, std::nullopt,
         std::numeric_limits<std::int64_t>::max()},
        {R"({})", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        ModelRig rig;
        rig.startReady();
        rig.answerError(12, "boom");
        rig.model->refresh();
        rig.answerTokens(c.result);
        EXPECT_EQ(rig.model->lastTokenDay(), c.day) << c.result;
        EXPECT_EQ(rig.model->lastTokens(), c.tokens) << c.result;
        EXPECT_EQ(rig.model->lifetime(), c.lifetime) << c.result;
        EXPECT_EQ(rig.model->dailyTokens().empty(), !c.day) << c.result;
        EXPECT_EQ(rig.model->tokenUpdated(), rig.clock->now());
        EXPECT_FALSE(rig.model->tokenError());
    }
}

TEST(UsageModel, StatusIsWrittenOncePerBurstAndOnlyWhenItsBytesChange) {
    ModelRig rig;
    rig.startReady();
    const std::string tokens = R"({"id":12,"result":{"dailyUsageBuckets":[]}})";
    rig.child().print(R"({"id":11,"result":)" + std::string(twoWindows) + "}\n" + tokens + "\n");
    rig.loop->drain();
    EXPECT_EQ(rig.files->writes.size(), 1u);
    rig.model->refresh();  // the same answers at the same moment: nothing new to write
    rig.child().print(R"({"id":13,"result":)" + std::string(twoWindows) + "}\n");
    rig.loop->drain();
    EXPECT_EQ(rig.files->writes.size(), 1u);
    rig.clock->advance(30s);
    rig.answerTokens("{}");
    EXPECT_EQ(rig.files->writes.size(), 2u);
    EXPECT_EQ(lastStatus(rig)["lastTokenDay"], "");
}

TEST(UsageModel, KeepsEveryDailyBucketInOrder) {
    ModelRig rig;
    rig.startReady();
    rig.answerTokens(R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":7},{"startDate":5,"tokens":1},)"
                     R"({"startDate":"2024-05-09","tokens":3}]})");
    EXPECT_EQ(rig.model->dailyTokens(), (std::vector<DailyTokens>{{"2024-05-10", 7}, {"2024-05-09", 3}}));
}

TEST(UsageModel, NoExecutableAndRefusedLaunch) {
    {
        ModelRig rig;
        rig.files->executables.clear();
        rig.model->start();
        rig.loop->drain();
        EXPECT_EQ(rig.model->error(),
                  "Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.");
        EXPECT_FALSE(rig.model->hasProcess());
        EXPECT_EQ(rig.changes, 1);
        EXPECT_EQ(rig.files->writes.size(), 1u);
        EXPECT_TRUE(rig.model->hasTimer());
    }
    {
        ModelRig rig;
        rig.launcher->refuse = true;
        rig.model->start();
        EXPECT_EQ(rig.model->error(), "Impossible de démarrer la connexion Codex.");
        EXPECT_FALSE(rig.model->hasProcess());
        EXPECT_TRUE(rig.model->pending().empty());
    }
}

TEST(UsageModel, CandidatesComeFirstThenTheUsersOwnPath) {
    ModelRig rig;
    rig.files->executables = {"/usr/bin/codex", "/home/tester/bin/codex"};
    rig.model->start();
    EXPECT_EQ(rig.child().request.executable, "/home/tester/bin/codex");

    ModelRig preferred;
    preferred.files->executables = {"/home/tester/bin/codex", "/Applications/ChatGPT.app/Contents/Resources/codex",
                                    "/usr/local/bin/codex"};
    preferred.model->start();
    EXPECT_EQ(preferred.child().request.executable, "/Applications/ChatGPT.app/Contents/Resources/codex");
}

TEST(UsageModel, FailedWriteSaysConnectionUnavailable) {
    ModelRig rig;
    rig.model->start();
    rig.child().failWrites = true;
    rig.receive(R"({"id":1,"result":{}})");
    EXPECT_EQ(rig.model->error(), "Connexion Codex indisponible.");
    EXPECT_FALSE(rig.model->refreshing());
    EXPECT_EQ(rig.child().terminateCount, 0);  // the child is not touched
}

TEST(UsageModel, StopEndsTheChildQuietly) {
    ModelRig rig;
    rig.startReady();
    const int changesBefore = rig.changes;
    rig.model->stop();
    EXPECT_TRUE(rig.model->stopped());
    EXPECT_EQ(rig.loop->liveTimers(), 0);
    EXPECT_TRUE(rig.child().inputClosed);
    EXPECT_TRUE(rig.child().outputStopped);
    EXPECT_EQ(rig.child().terminateCount, 1);
    EXPECT_TRUE(rig.model->hasProcess());  // until its exit is handled

    rig.child().exit();
    rig.loop->drain();
    EXPECT_FALSE(rig.model->hasProcess());
    EXPECT_FALSE(rig.model->error());
    EXPECT_EQ(rig.changes, changesBefore);

    rig.model->refresh();
    rig.model->connect();
    EXPECT_EQ(rig.launcher->children.size(), 1u);
}

TEST(UsageModel, FinishStoppingKillsAChildThatOutlivesTheGrace) {
    ModelRig rig;
    rig.startReady();
    rig.model->stop();
    rig.model->finishStopping(10ms);
    EXPECT_EQ(rig.child().killCount, 1);
}

TEST(UsageModel, StopBeforeStart) {
    ModelRig rig;
    rig.model->stop();
    rig.model->start();
    EXPECT_TRUE(rig.model->hasTimer());
    EXPECT_TRUE(rig.launcher->children.empty());
    rig.loop->fireTimers();
    EXPECT_TRUE(rig.launcher->children.empty());
    EXPECT_FALSE(rig.model->error());
}

TEST(UsageModel, ConnectWhileRunningChangesNothing) {
    ModelRig rig;
    rig.startReady();
    rig.model->connect();
    EXPECT_EQ(rig.launcher->children.size(), 1u);
}

TEST(UsageModel, StaleExitNoticesAndLateLinesOfADeadChildAreIgnored) {
    ModelRig rig;
    rig.startReady();
    auto first = rig.launcher->last();
    first->exit();
    rig.loop->drain();
    rig.model->refresh();
    ASSERT_EQ(rig.launcher->children.size(), 2u);
    const auto errorBefore = rig.model->error();
    const int changesBefore = rig.changes;

    first->events.exited();                                      // a second notice for the old child
    first->events.output(R"({"id":1,"result":{}})" "\n");        // and a late line
    rig.loop->drain();
    EXPECT_TRUE(rig.model->hasProcess());
    EXPECT_FALSE(rig.model->ready());
    EXPECT_EQ(rig.model->error(), errorBefore);
    EXPECT_EQ(rig.changes, changesBefore);
}

TEST(UsageModel, DeadChildsUnterminatedLineDoesNotSwallowTheNextHandshake) {
    ModelRig rig;
    rig.startReady();
    rig.child().print(R"({"id":11,"res)");
    rig.child().exit();
    rig.loop->drain();
    rig.model->refresh();
    rig.receive(R"({"id":1,"result":{}})");
    EXPECT_TRUE(rig.model->ready());
}

TEST(UsageModel, FramingAcrossReads) {
    ModelRig rig;
    rig.model->start();
    auto& child = rig.child();
    child.print(R"({"id":1,)");
    rig.loop->drain();
    EXPECT_FALSE(rig.model->ready());
    child.print("\"result\":{}}\r\n\n   \n[1,2]\n\"text\"\nnot json\n");
    rig.loop->drain();
    EXPECT_TRUE(rig.model->ready());
    // Two answers in one read, handled in order.
    child.print(R"({"id":11,"result":{"rateLimits":{"primary":{"usedPercent":10}}}})" "\n"
               R"({"method":"account/rateLimits/updated","params":{"rateLimits":{"primary":{"usedPercent":20}}}})" "\n");
    rig.loop->drain();
    ASSERT_EQ(rig.model->windows().size(), 1u);
    EXPECT_EQ(rig.model->windows()[0].used, 20);
}

TEST(UsageModel, CallbacksAfterTheModelIsGoneDoNothing) {
    ModelRig rig;
    rig.startReady();
    auto child = rig.launcher->last();
    rig.model.reset();
    child->print(R"({"id":11,"result":{}})" "\n");
    child->exit();
    rig.loop->fireTimers();
    EXPECT_EQ(rig.loop->drain(), 3);  // the delivery, the output release and the exit ran and found no model
    EXPECT_EQ(child->terminateCount, 0);  // destruction does not signal the child
}

TEST(UsageModel, DemoModePublishesSampleDataAndTouchesNothing) {
    setDemo(true);
    ModelRig rig;
    rig.model->start();
    rig.model->refresh();
    rig.model->connect();
    setDemo(false);
    const auto& w = rig.model->windows();
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], (QuotaWindow{"demo-short", "5 heures", 38.0, rig.clock->now() + 7200s, 300}));
    EXPECT_EQ(w[1], (QuotaWindow{"demo-week", "Semaine", 62.0, rig.clock->now() + 172800s, 10080}));
    EXPECT_EQ(rig.model->lifetime(), 1250000);
    EXPECT_EQ(rig.model->lastTokens(), 23450);
    EXPECT_EQ(rig.model->lastTokenDay(), "2026-10-03");
    EXPECT_EQ(rig.model->updated(), rig.clock->now());
    EXPECT_FALSE(rig.model->error() || rig.model->tokenError() || rig.model->refreshing());
    EXPECT_EQ(rig.changes, 1);
    EXPECT_TRUE(rig.launcher->children.empty());
    EXPECT_FALSE(rig.model->hasTimer());
    EXPECT_TRUE(rig.model->pending().empty());
    EXPECT_TRUE(rig.files->writes.empty());
    rig.model->stop();
}

}  // namespace
}  // namespace tallyvane
