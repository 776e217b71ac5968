// A scripted stand-in for `codex app-server`: newline-delimited JSON-RPC on standard input and
// output, with the real peer's habits (no "jsonrpc" member, error answers with the id last,
// "emittedAtMs" on notifications, exit on invalid UTF-8). The script is described in peer_script.h.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <string_view>
#include <thread>

#include "tests/fake_peer/peer_script.h"

namespace fake_codex {
namespace {

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) ::_exit(0);  // the client has gone
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void writeRepeated(int fd, const std::string& unit, std::size_t total) {
    if (unit.empty()) return;
    std::string chunk;
    while (chunk.size() < 64 * 1024) chunk += unit;
    for (std::size_t left = total; left > 0;) {
        const std::size_t n = std::min(left, chunk.size());
        writeAll(fd, std::string_view(chunk).substr(0, n));
        left -= n;
    }
}

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool isValidUtf8(const std::string& text) {
    try {
        (void)Json(text).dump();
        return true;
    } catch (const Json::type_error&) {
        return false;
    }
}

class Peer {
public:
    explicit Peer(PeerScript script) : script_(std::move(script)) {}

    void start() {
        if (const auto path = script_.logPath(); !path.empty())
            logFd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        log("#launch " + std::to_string(::getpid()));
        if (script_.ignoreSigterm()) ::signal(SIGTERM, SIG_IGN);
        if (script_.grandchild()) startGrandchild();
        run(script_.atStart(), nullptr);
    }

    void receive(const std::string& line) {
        log(line);
        if (!isValidUtf8(line)) exit(0);
        const Json message = Json::parse(line, nullptr, false);
        if (!message.is_object()) {
            std::fputs("ERROR codex_app_server: failed to deserialize message\n", stderr);
            return;
        }
        const std::string method = message.value("method", std::string());
        if (!message.contains("id")) {
            if (method == "initialized") run(script_.afterInitialized(), nullptr);
            return;
        }
        const Json id = message["id"];
        if (id.is_null()) return;
        if (method == "initialize") {
            if (initialized_) return reject(id, "Already initialized");
            initialized_ = true;
            return run(script_.initializeAnswer(), id);
        }
        if (!initialized_) return reject(id, "Not initialized");
        if (method == "account/rateLimits/read" || method == "account/usage/read")
            return run(script_.readAnswer(method, served_[method]++), id);
        reject(id, "Invalid request: unknown variant `" + method +
                       "`, expected one of `initialize`, `account/rateLimits/read`, `account/usage/read`");
    }

    // Like the npm launcher, which mirrors the native binary's exit: no grandchild outlives it.
    [[noreturn]] void exit(int status) {
        if (grandchild_ > 0) {
            ::kill(grandchild_, SIGKILL);
            ::waitpid(grandchild_, nullptr, 0);
        }
        ::_exit(status);
    }

private:
    void log(const std::string& line) {
        if (logFd_ >= 0) writeAll(logFd_, line + "\n");
    }

    void startGrandchild() {
        grandchild_ = ::fork();
        if (grandchild_ != 0) return;
        for (;;) ::pause();
    }

    // Members come out in key order: "error" before "id", "id" before "result", as the real peer sends them.
    void send(const Json& message) { writeAll(STDOUT_FILENO, message.dump() + "\n"); }

    void reject(const Json& id, const std::string& text) {
        send(Json{{"error", {{"code", -32600}, {"message", text}}}, {"id", id}});
    }

    void run(const Json& steps, const Json& id) {
        for (const Json& step : steps) runStep(step, id);
    }

    void runStep(const Json& step, const Json& id) {
        if (step.contains("result")) {
            send(Json{{"id", id}, {"result", step["result"]}});
        } else if (step.contains("error")) {
            send(Json{{"error", step["error"]}, {"id", id}});
        } else if (step.contains("notify")) {
            send(Json{{"method", step["notify"]},
                      {"params", step.value("params", Json::object())},
                      {"emittedAtMs", nowMs()}});
        } else if (step.contains("raw")) {
            std::string text = step["raw"].get<std::string>();
            for (auto at = text.find("$ID"); at != std::string::npos; at = text.find("$ID", at))
                text.replace(at, 3, id.dump());
            if (step.value("newline", true)) text += "\n";
            writeAll(STDOUT_FILENO, text);
        } else if (step.contains("flood")) {
            writeRepeated(STDOUT_FILENO, step.value("line", std::string(199, '#')) + "\n",
                          step["flood"].get<std::size_t>());
        } else if (step.contains("floodUnterminated")) {
            writeRepeated(STDOUT_FILENO, "x", step["floodUnterminated"].get<std::size_t>());
        } else if (step.contains("floodStderr")) {
            writeRepeated(STDERR_FILENO, "\x1b[2m2026-12-05T09:30:00Z\x1b[0m TRACE codex_core: noise\n",
                          step["floodStderr"].get<std::size_t>());
        } else if (step.contains("sleepMs")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(step["sleepMs"].get<int>()));
        } else if (step.contains("closeStdin")) {
            ::close(STDIN_FILENO);
        } else if (step.contains("exit")) {
            exit(step["exit"].get<int>());
        }
    }

    PeerScript script_;
    int logFd_ = -1;
    pid_t grandchild_ = 0;
    bool initialized_ = false;
    std::map<std::string, std::size_t> served_;
};

// SIGTERM with nothing in flight: the real peer exits 0 at once.
void exitOnTerm(int) { ::_exit(0); }

}  // namespace
}  // namespace fake_codex

int main() {
    using namespace fake_codex;
    ::signal(SIGTERM, exitOnTerm);
    try {
        Peer peer(PeerScript::fromEnvironment());
        peer.start();
        std::string pending;
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) peer.exit(0);  // end of input, or input closed by the script
            pending.append(buffer, static_cast<std::size_t>(got));
            for (auto lf = pending.find('\n'); lf != std::string::npos; lf = pending.find('\n')) {
                const std::string line = pending.substr(0, lf);
                pending.erase(0, lf + 1);
                peer.receive(line);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fake_codex: %s\n", e.what());
        return 2;
    }
}
