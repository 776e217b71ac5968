// A scripted stand-in for `codex app-server`: newline-delimited JSON-RPC on standard input and output, with
// the real peer's habits (no "jsonrpc" member, error answers with the id last, "emittedAtMs" on notifications).
// FAKE_CODEX_SCRIPT names a JSON file whose members are all optional:
//   "log": path   every line received is appended, after a "#launch <pid>" line per start
//   "ignoreSigterm": bool (only SIGKILL ends it)   "grandchild": bool (a sleeping child in its group, like npm's launcher)
//   "atStart", "afterInitialized": steps   before anything is read, and when "initialized" arrives
//   "initialize": answer   "account/rateLimits/read", "account/usage/read": [answer, ...] (the n-th request gets the
//                          n-th answer, the last one repeats); by default, realistic results
// An answer is one step, a list of steps (none: no answer), or "default" (the realistic result). Steps:
//   {"result": value}  {"error": {"code": c, "message": m}}  {"notify": method, "params": value}  {"raw": text}
//   {"flood": bytes, "line": text} (copies of text and a line feed)  {"floodUnterminated": bytes} (that many "x")
//   {"floodStderr": bytes} (log lines)  {"sleepMs": n}  {"closeStdin": true} (later client writes fail)  {"exit": status}
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

namespace {

using Json = nlohmann::json;

// Shapes as the real peer (codex-cli 0.171.0) sends them for a signed-in ChatGPT account.
const Json defaultInitialize = Json::parse(R"json({"result":{"codexHome":"/tmp/.codex","platformFamily":"unix",
    "platformOs":"linux","userAgent":"kestrane_quota_bar/0.171.0 (Debian 12.0.0; x86_64) unknown (kestrane_quota_bar; 1.4.0)"}})json");
const Json defaultRateLimits = Json::parse(R"json({"result":{"ordinaryUsageAllowed":null,"rateLimits":{"limitId":"codex",
    "limitName":null,"primary":{"usedPercent":42,"windowDurationMins":300,"resetsAt":1796600000},
    "secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},
    "credits":{"hasCredits":true,"unlimited":false,"balance":"5.39"},"planType":"pro","rateLimitReachedType":null},
    "rateLimitsByLimitId":{"codex":{"limitId":"codex","limitName":null,"primary":{"usedPercent":42,"windowDurationMins":300,
    "resetsAt":1796600000},"secondary":{"usedPercent":5,"windowDurationMins":10080,"resetsAt":1797000000},"credits":null,
    "planType":"pro","rateLimitReachedType":null}},"rateLimitResetCredits":null,"accountId":null,"rateLimitUpsell":null}})json");
const Json defaultUsage = Json::parse(R"json({"result":{"summary":{"lifetimeTokens":123456789,"peakDailyTokens":4000000,
    "longestRunningTurnSec":3600,"currentStreakDays":3,"longestStreakDays":9},"dailyUsageBuckets":[
    {"startDate":"2026-12-04","tokens":900000},{"startDate":"2026-12-05","tokens":1500000}],"threadUsage":null}})json");

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) ::_exit(0);  // the client has gone
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void writeRepeated(int fd, const std::string& unit, std::size_t total) {
    std::string chunk;
    while (chunk.size() < 64 * 1024) chunk += unit;
    for (std::size_t left = total; left > 0; left -= std::min(left, chunk.size()))
        writeAll(fd, std::string_view(chunk).substr(0, std::min(left, chunk.size())));
}

// "default", a single step or a list of steps, as a list of steps.
Json asSteps(const Json& answer, const Json& defaultAnswer) {
    Json steps = Json::array();
    for (const Json& step : answer.is_array() ? answer : Json::array({answer}))
        steps.push_back(step == "default" ? defaultAnswer : step);
    return steps;
}

class Peer {
public:
    explicit Peer(Json script) : script_(std::move(script)) {
        if (script_.contains("log"))
            logFd_ = ::open(script_["log"].get<std::string>().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        log("#launch " + std::to_string(::getpid()));
        if (script_.value("ignoreSigterm", false)) ::signal(SIGTERM, SIG_IGN);
        if (script_.value("grandchild", false) && (grandchild_ = ::fork()) == 0)
            for (;;) ::pause();
        run(asSteps(script_.value("atStart", Json::array()), nullptr), nullptr);
    }

    void receive(const std::string& line) {
        log(line);
        const Json message = Json::parse(line, nullptr, false);
        if (!message.is_object()) return;
        const std::string method = message.value("method", std::string());
        if (!message.contains("id")) {
            if (method == "initialized") run(asSteps(script_.value("afterInitialized", Json::array()), nullptr), nullptr);
            return;
        }
        const Json id = message["id"];
        if (method == "initialize") {
            if (initialized_) return reject(id, "Already initialized");
            initialized_ = true;
            return run(asSteps(script_.value("initialize", defaultInitialize), defaultInitialize), id);
        }
        if (!initialized_) return reject(id, "Not initialized");
        const Json& fallback = method == "account/usage/read" ? defaultUsage : defaultRateLimits;
        if (method != "account/rateLimits/read" && method != "account/usage/read")
            return reject(id, "Invalid request: unknown variant `" + method + "`");
        const Json answers = script_.value(method, Json::array({"default"}));
        run(asSteps(answers[std::min(served_[method]++, answers.size() - 1)], fallback), id);
    }

    // Like the npm launcher, which mirrors the native binary's exit: no grandchild outlives it.
    [[noreturn]] void exit(int status) {
        if (grandchild_ > 0) ::kill(grandchild_, SIGKILL), ::waitpid(grandchild_, nullptr, 0);
        ::_exit(status);
    }

private:
    void log(const std::string& line) { if (logFd_ >= 0) writeAll(logFd_, line + "\n"); }

    // Members come out in key order: "error" before "id", "id" before "result", as the real peer sends them.
    void send(const Json& message) { writeAll(STDOUT_FILENO, message.dump() + "\n"); }

    void reject(const Json& id, const std::string& text) { send(Json{{"error", {{"code", -32600}, {"message", text}}}, {"id", id}}); }

    void run(const Json& steps, const Json& id) {
        for (const Json& step : steps) {
            if (step.contains("result")) send(Json{{"id", id}, {"result", step["result"]}});
            if (step.contains("error")) send(Json{{"error", step["error"]}, {"id", id}});
            if (step.contains("notify"))
                send(Json{{"method", step["notify"]}, {"params", step.value("params", Json::object())}, {"emittedAtMs", 1796000000000}});
            if (step.contains("raw")) writeAll(STDOUT_FILENO, step["raw"].get<std::string>() + "\n");
            if (step.contains("flood"))
                writeRepeated(STDOUT_FILENO, step.value("line", std::string(199, '#')) + "\n", step["flood"].get<std::size_t>());
            if (step.contains("floodUnterminated")) writeRepeated(STDOUT_FILENO, "x", step["floodUnterminated"].get<std::size_t>());
            if (step.contains("floodStderr"))
                writeRepeated(STDERR_FILENO, "\x1b[2m2026-12-05T09:30:00Z\x1b[0m TRACE codex_core: noise\n",
                              step["floodStderr"].get<std::size_t>());
            if (step.contains("sleepMs")) std::this_thread::sleep_for(std::chrono::milliseconds(step["sleepMs"].get<int>()));
            if (step.contains("closeStdin")) ::close(STDIN_FILENO);
            if (step.contains("exit")) exit(step["exit"].get<int>());
        }
    }

    Json script_;
    int logFd_ = -1;
    pid_t grandchild_ = 0;
    bool initialized_ = false;
    std::map<std::string, std::size_t> served_;
};

}  // namespace

int main() {
    ::signal(SIGTERM, [](int) { ::_exit(0); });  // with nothing in flight, the real peer exits at once
    try {
        const char* path = std::getenv("FAKE_CODEX_SCRIPT");
        Peer peer(path && *path ? Json::parse(std::ifstream(path)) : Json::object());
        std::string pending;
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) peer.exit(0);  // end of input, or input closed by the script
            pending.append(buffer, static_cast<std::size_t>(got));
            for (auto lf = pending.find('\n'); lf != std::string::npos; lf = pending.find('\n'))
                peer.receive(pending.substr(0, lf)), pending.erase(0, lf + 1);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fake_codex: %s\n", e.what());
        return 2;
    }
}
