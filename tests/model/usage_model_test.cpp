// The usage model against a scripted in-process child: which codex it starts, what it sends, publishes,
// signals and writes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "model/run_flags.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

using testing::ModelRig;

const std::string& twoWindows = testing::twoWindowsAnswer;
const std::string& tokens = testing::tokensAnswer;
const std::string handshake = " 1:initialize initialized 11:account/rateLimits/read 12:account/usage/read";

// What the user reads, by a short name; "none" for no text.
std::string nameOf(const std::string& text) {
    static const std::map<std::string, std::string> names = {
        {"Le service tarde à répondre. Dernières données conservées.", "late"}, {"", "none"},
        {"Connexion interrompue. Nouvel essai automatique.", "lost"}, {"Connexion Codex indisponible.", "writeFailed"},
        {"Données temporairement indisponibles. Nouvel essai automatique.", "unavailable"},
        {"Reconnecte ton compte ChatGPT dans Codex.", "signIn"}, {"Aucun quota communiqué pour ce compte.", "noQuota"},
        {"Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.", "notFound"},
        {"Impossible de démarrer la connexion Codex.", "refused"},
        {"Codex s’arrête au démarrage (code 127). Vérifie son installation, puis actualise.", "start127"},
        {"Codex s’arrête au démarrage (signal 9). Vérifie son installation, puis actualise.", "startSIGKILL"}};
    return names.contains(text) ? names.at(text) : text;
}

// Each step is a JSON line the child prints, "raw:" and bytes it prints as they are, "!<id> <message>" (it
// answers with that error), "init" (it answers `initialize`), "quota" / "tokens" (it answers that read),
// "exit" (it exits), "code N" / "signal N" (it exits so), "ghost" (the first child reports its exit again and prints a late line), "+S" (S
// seconds pass), "nocodex", "refuse" (launches fail), "nowrite" (the child's input fails), "demo", "fire"
// (the timer), "finish" (finishStopping), or a call to the model.
void run(ModelRig& rig, const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
        testing::FakeChild* child = rig.launcher->last().get();
        if (step[0] == '{') child->print(step + "\n");
        else if (step.starts_with("raw:")) child->print(step.substr(4));
        else if (const auto space = step.find(' '); step[0] == '!')
            child->print(R"({"error":{"message":")" + step.substr(space + 1) + R"("},"id":)" + step.substr(1, space - 1) + "}\n");
        else if (step[0] == '+') rig.clock->advance(std::chrono::milliseconds(std::lround(std::stod(step) * 1000)));
        else if (step == "init") child->print(R"({"id":1,"result":{}})" "\n");
        else if (step == "quota" || step == "tokens") rig.answer(step, step == "quota" ? twoWindows : tokens);
        else if (step == "exit") child->exit();
        else if (step.starts_with("code ") || step.starts_with("signal ")) child->exit({step[0] == 's', std::stoi(step.substr(space + 1))});
        else if (step == "ghost") {
            rig.launcher->children[0]->events.exited({});
            rig.launcher->children[0]->events.output(R"({"id":1,"result":{}})" "\n");
        }
        else if (step == "nocodex") rig.files->executables.clear();
        else if (step == "refuse") rig.launcher->refuse = true;
        else if (step == "nowrite") child->failWrites = true;
        else if (step == "demo") setDemo(true);
        else if (step == "fire") rig.loop->fireTimers();
        else if (step == "finish") rig.model->finishStopping(std::chrono::milliseconds(10));
        else if (step == "start" || step == "refresh" || step == "stop")
            step == "start" ? rig.model->start() : step == "refresh" ? rig.model->refresh() : rig.model->stop();
        else ADD_FAILURE() << "unknown step " << step;
        rig.loop->drain();
    }
    setDemo(false);
}

// " id:method ..." of what each child was sent, children apart with " |".
std::string sent(const ModelRig& rig) {
    std::string all;
    for (const auto& child : rig.launcher->children) {
        all += all.empty() ? "" : " |";
        std::istringstream written(child->written);
        for (std::string line; std::getline(written, line);) {
            const Json message = Json::parse(line);
            all += " " + (message.contains("id") ? message["id"].dump() + ":" : "") + message["method"].get<std::string>();
        }
    }
    return all;
}

// `outcome`: each new value of `error`, `tokenError` if any, the signals the children got and the writes of status.json;
// `status`: members the last status.json holds (texts by name), null for those it lacks.
struct Scenario { const char* name; std::vector<std::string> steps; std::string sent, outcome; const char* status = nullptr; };

TEST(UsageModel, Scenarios) {
    const std::string relaunched = handshake + " | 1:initialize initialized 13:account/rateLimits/read 14:account/usage/read";
    const Scenario table[] = {
        {"a full cycle", {"start", "init", "quota", "tokens"}, handshake, "2 writes",
         R"({"running": true, "pollSeconds": 30, "windowCount": 2, "pid": 777, "usedPercent": 42, "error": "none",
             "tokenError": "none", "lastTokenDay": "2026-12-05", "quotaUpdatedAt": "2026-11-30T00:53:20Z",
             "tokensFetchedAt": "2026-11-30T00:53:20Z"})"},
        {"one request of each kind at a time", {"start", "init", "+35", "refresh", "fire", "tokens", "refresh"},
         handshake + " 13:account/usage/read", "1 writes"},
        {"exactly 40 s is not late", {"start", "init", "+40", "refresh"}, handshake, "0 writes"},
        {"late: SIGTERM, then SIGKILL, then a new child whose ids go on",
         {"start", "init", "+40.5", "refresh", "refresh", "exit", "refresh", "init"}, relaunched, "late lost TERM KILL 2 writes"},
        {"an unanswered initialize is late too, and its end is no failed start", {"start", "+41", "fire", "signal 15"},
         " 1:initialize", "late lost TERM 2 writes"},
        {"an initialize error ends the child", {"start", "!1 Not initialized", "refresh", "signal 9"}, " 1:initialize",
         "unavailable lost TERM KILL 2 writes"},
        {"a child that ends by itself before answering did not start", {"start", "code 127", "refresh", "signal 9", "refresh", "init"},
         " 1:initialize | 1:initialize | 1:initialize initialized 11:account/rateLimits/read 12:account/usage/read",
         "start127 startSIGKILL 2 writes"},
        {"stopped while starting", {"start", "stop", "code 0"}, " 1:initialize", "TERM 0 writes"},
        {"a failed write", {"start", "nowrite", "init"}, " 1:initialize", "writeFailed 1 writes"},
        {"no codex anywhere", {"nocodex", "start"}, "", "notFound 1 writes",
         R"({"error": "notFound", "windowCount": 0, "usedPercent": null, "quotaUpdatedAt": null, "lastTokenDay": "none"})"},
        {"a refused launch", {"refuse", "start"}, "", "refused 1 writes"},
        {"stop ends the child quietly and for good", {"start", "init", "stop", "exit", "refresh", "fire"},
         handshake, "TERM 0 writes"},
        {"stop before start", {"stop", "start", "fire", "refresh"}, "", "0 writes"},
        {"quitting kills a child that outlives the grace", {"start", "init", "stop", "finish"}, handshake, "TERM KILL 0 writes"},
        {"a dead child's late lines and exit notices", {"start", "init", "exit", "refresh", "ghost"},
         handshake + " | 1:initialize", "lost 1 writes"},
        {"a dead child's unterminated line", {"start", "init", R"(raw:{"id":11,"res)", "exit", "refresh", "init"}, relaunched,
         "lost 1 writes"},
        {"lines split, joined, blank or not objects",
         {"start", R"(raw:{"id":1,)", "raw:\"result\":{}}\r\n\n  \n[1,2]\n\"text\"\nnot json\n",
          R"(raw:{"id":11,"result":{"rateLimits":{"primary":{"usedPercent":10}}}})" "\n"
          R"({"method":"account/rateLimits/updated","params":{"rateLimits":{"primary":{"usedPercent":20}}}})" "\n"},
         handshake, "1 writes", R"({"windowCount": 1, "usedPercent": 20})"},
        {"messages that match no request",
         {"start", "init", R"({"id":99,"result":{}})", R"({"id":"11","result":{}})", R"({"id":11.5,"result":{}})",
          R"({"id":1e300,"result":{}})", R"({"id":true,"result":{}})", R"({"id":null,"result":{}})", R"({"result":{}})",
          R"({"method":"configWarning","params":{}})", R"({"method":"account/rateLimits/updated","params":[1]})", "refresh",
          R"({"id":11.0,"result":null})", "refresh"},
         handshake + " 13:account/rateLimits/read", "1 writes"},
        // Whatever Codex says about signing in asks the user to reconnect; anything else is temporary.
        {"error answers keep the data",
         {"start", "init", "quota", "refresh", "!13 codex account authentication required to read rate limits", "refresh",
          "!14 rate limited", "refresh", "!15 Unauthorized", "refresh", "!16 GET failed: 429 Too Many Requests", "refresh",
          "!17 AUTH", "refresh", R"({"id":18,"error":{"code":-32603}})", "!12 GET https://x failed: 401"},
         handshake + " 13:account/rateLimits/read 14:account/rateLimits/read 15:account/rateLimits/read 16:account/rateLimits/read"
         " 17:account/rateLimits/read 18:account/rateLimits/read",
         "signIn unavailable signIn unavailable signIn unavailable tokens:signIn 8 writes",
         R"({"windowCount": 2, "error": "unavailable", "tokenError": "signIn"})"},
        {"an error that is text", {"start", "init", R"({"id":12,"error":"auth","result":{"dailyUsageBuckets":[]}})"},
         handshake, "1 writes", R"({"tokenError": "none", "tokensFetchedAt": "2026-11-30T00:53:20Z"})"},
        {"an empty quota keeps the windows it had",
         {"start", "init", "quota", "+30", R"({"method":"account/rateLimits/updated","params":{"rateLimits":null}})"},
         handshake, "noQuota 2 writes", R"({"windowCount": 2, "quotaUpdatedAt": "2026-11-30T00:53:20Z"})"},
        {"status.json once per burst, and only when its bytes change",
         {"start", "init", "raw:{\"id\":11,\"result\":" + twoWindows + "}\n{\"id\":12,\"result\":{}}\n", "refresh",
          "raw:{\"id\":13,\"result\":" + twoWindows + "}\n", "+30", "tokens"},
         handshake + " 13:account/rateLimits/read 14:account/usage/read", "2 writes", R"({"lastTokenDay": "2026-12-05"})"},
        {"demo data touch nothing", {"demo", "start", "refresh"}, "", "0 writes"},
    };
    for (const Scenario& row : table) {
        SCOPED_TRACE(row.name);
        ModelRig rig;
        std::string outcome, error;
        rig.model->onChange = [&] {
            if (rig.model->error().value_or("") != error) outcome += nameOf(error = rig.model->error().value_or("")) + " ";
        };
        run(rig, row.steps);
        EXPECT_EQ(sent(rig), row.sent);
        if (rig.model->tokenError()) outcome += "tokens:" + nameOf(*rig.model->tokenError()) + " ";
        for (const auto& child : rig.launcher->children)
            outcome += std::string(child->terminateCount ? "TERM " : "") + (child->killCount ? "KILL " : "");
        EXPECT_EQ(outcome + std::to_string(rig.files->writes.size()) + " writes", row.outcome);
        if (!row.status) continue;
        const Json status = Json::parse(rig.files->writes.back().second), expected = Json::parse(row.status);
        EXPECT_EQ(rig.files->writes.back().first, "/home/tester/Library/Application Support/Tallyvane/status.json");
        for (const auto& [member, value] : expected.items()) {
            const Json actual = status.contains(member) ? status[member] : Json();
            EXPECT_EQ(actual.is_string() ? Json(nameOf(actual)) : actual, value) << member;
        }
    }
}

TEST(UsageModel, TokenCounts) {
    // A usage answer, and the latest day, its count and the lifetime total it publishes, then every day kept.
    const std::pair<const char*, const char*> table[] = {
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-02","tokens":10},{"startDate":"2024-05-10","tokens":7},)"
         R"({"startDate":"2024-05-10","tokens":2},{"startDate":"2024-05-09","tokens":3}]})",
         "2024-05-10 7 - / 2024-05-02:10 2024-05-10:7 2024-05-10:2 2024-05-09:3"},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10"},{"startDate":5,"tokens":2},{"startDate":"2024-01-01","tokens":4}]})",
         "2024-01-01 4 - / 2024-01-01:4"},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":1},null],"summary":{"lifetimeTokens":12.9}})", "- - 12 /"},
        {R"({"dailyUsageBuckets":[{"startDate":"2024-05-10","tokens":true}],"summary":{"lifetimeTokens":false}})", "- - - /"},
    };
    for (const auto& [answer, published] : table) {
        SCOPED_TRACE(answer);
        ModelRig rig;
        run(rig, {"start", "init", "tokens", "refresh", std::string(R"({"id":13,"result":)") + answer + "}"});  // nothing lingers
        const auto number = [](const std::optional<std::int64_t>& n) { return n ? std::to_string(*n) : "-"; };
        std::string text = rig.model->lastTokenDay().value_or("-") + " " + number(rig.model->lastTokens()) + " " +
                           number(rig.model->lifetime()) + " /";
        for (const DailyTokens& d : rig.model->dailyTokens()) text += " " + d.day + ":" + std::to_string(d.tokens);
        EXPECT_EQ(text, published);
    }
}

// App bundles first, then the usual places (those under HOME and the user's PATH are in codex_installs_test.cpp).
TEST(Discovery, TheFirstCodexFoundIsStartedAsAnAppServerWithAFixedPath) {
    const std::string bundled = "/Applications/ChatGPT.app/Contents/Resources/codex-cli/CodexCLI.app/Contents/MacOS/codex";
    const std::pair<std::vector<std::string>, std::string> table[] = {  // executables present, the one started
        {{"/home/tester/bin/codex", "/usr/local/bin/codex", "/opt/homebrew/bin/codex"}, "/opt/homebrew/bin/codex"},
        {{"/home/tester/.local/bin/codex", "/usr/local/bin/codex"}, "/usr/local/bin/codex"},
        {{"/home/tester/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex", "/usr/local/bin/codex", bundled}, bundled},
        {{"/home/tester/.local/bin/codex", "/home/tester/Applications/ChatGPT.app/Contents/Resources/codex"},
         "/home/tester/Applications/ChatGPT.app/Contents/Resources/codex"},
    };
    for (const auto& [executables, started] : table) {
        ModelRig rig;
        rig.files->executables = executables;
        rig.model->start();
        const LaunchRequest& r = rig.child().request;
        EXPECT_EQ(r.executable + " " + r.arguments.at(0) + " " + r.environment.at(0) + " " + r.environment.at(1) + " " +
                      std::to_string(r.environment.size()),
                  started + " app-server LANG=fr_FR.UTF-8 PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin 2");
    }
}

}  // namespace
}  // namespace tallyvane
