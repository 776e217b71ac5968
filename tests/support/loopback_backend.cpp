#include "tests/support/loopback_backend.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tallyvane::testing {

namespace {

std::string base64Url(const std::string& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    unsigned value = 0, bits = 0;
    for (unsigned char c : bytes) {
        value = (value << 8) | c, bits += 8;
        while (bits >= 6) out.push_back(alphabet[(value >> (bits -= 6)) & 63]);
    }
    if (bits > 0) out.push_back(alphabet[(value << (6 - bits)) & 63]);
    return out;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace

LoopbackBackend::LoopbackBackend(std::string usageBody) : usageBody_(std::move(usageBody)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe2(stopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("loopback backend: cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackBackend::~LoopbackBackend() {
    (void)!write(stopPipe_[1], "x", 1);
    thread_.join();
    close(listener_), close(stopPipe_[0]), close(stopPipe_[1]);
}

std::string LoopbackBackend::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/backend-api"; }

void LoopbackBackend::serve() {
    for (;;) {
        pollfd fds[] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        answer(connection);
        close(connection);
    }
}

// One request per connection: the answer says so, and codex opens another for the next.
void LoopbackBackend::answer(int connection) {
    const timeval patience{5, 0};  // a client that stalls cannot hold the server
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = read(connection, buffer, sizeof buffer);
        if (n <= 0) return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string target = request.substr(0, request.find("\r\n"));
    const bool usage = target.find("/wham/usage") != std::string::npos;
    const bool profile = target.find("/wham/profiles/me") != std::string::npos;
    const std::string status = usage || profile ? "200 OK" : "404 Not Found", body = usage ? usageBody_ : !profile ? "{}" :
        R"({"stats":{"lifetime_tokens":4200000,"daily_usage_buckets":[{"start_date":"2026-12-06","tokens":123456}]}})";
    const std::string response = "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    (void)!send(connection, response.data(), response.size(), MSG_NOSIGNAL);
}

std::string usageBody(int primaryUsed, int secondaryUsed, const std::string& extraMembers) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    auto window = [&](int used, int seconds) {
        return R"({"used_percent":)" + std::to_string(used) + R"(,"limit_window_seconds":)" + std::to_string(seconds) +
               R"(,"reset_after_seconds":3600,"reset_at":)" + std::to_string(now + 3600) + "}";
    };
    // Codex refuses a usage answer without a plan: "pro" unless `extraMembers` names one.
    const std::string plan = extraMembers.find(R"("plan_type")") == std::string::npos ? R"("plan_type":"pro",)" : "";
    return "{" + plan + R"("rate_limit":{"allowed":true,"limit_reached":false,"primary_window":)" +
           window(primaryUsed, 18'000) + R"(,"secondary_window":)" + window(secondaryUsed, 604'800) + "}" +
           (extraMembers.empty() ? "" : "," + extraMembers) + "}";
}

void signInCodex(const std::string& home, const LoopbackBackend& backend) {
    const std::filesystem::path dir = std::filesystem::path(home) / ".codex";
    std::filesystem::create_directories(dir);
    const auto now = std::chrono::system_clock::now();
    const auto exp = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count() + 86'400;
    const std::string payload = R"({"email":"tests@example.invalid","exp":)" + std::to_string(exp) +
        R"(,"https://api.openai.com/auth":{"chatgpt_plan_type":"pro","chatgpt_user_id":"user-tests","chatgpt_account_id":"account-tests"}})";
    const std::string jwt = base64Url(R"({"alg":"none","typ":"JWT"})") + "." + base64Url(payload) + "." + base64Url("unchecked");  // an empty signature is refused
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    char refreshed[32];
    std::strftime(refreshed, sizeof refreshed, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    writeFile(dir / "auth.json", R"({"auth_mode":"chatgpt","OPENAI_API_KEY":null,"tokens":{"id_token":")" + jwt +
                                     R"(","access_token":")" + jwt + R"(","refresh_token":"refresh-tests","account_id":"account-tests"},"last_refresh":")" +
                                     refreshed + R"("})");
    writeFile(dir / "config.toml", "chatgpt_base_url = \"" + backend.baseUrl() + "\"\n");
}

}  // namespace tallyvane::testing
