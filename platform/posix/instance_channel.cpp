#include "platform/posix/instance_channel.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace tallyvane {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto requestPatience = std::chrono::seconds(1);  // for a copy that connects and says nothing

std::optional<sockaddr_un> addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

int millisecondsUntil(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// One line (without its '\n') from `fd`, or nothing when it did not come before `deadline` or
// `alsoWatch` became readable.
std::optional<std::string> readLine(int fd, SteadyClock::time_point deadline, int alsoWatch = -1) {
    std::string line;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {alsoWatch, POLLIN, 0}};
        const int ready = ::poll(fds, 2, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || fds[1].revents != 0) return std::nullopt;
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return std::nullopt;
        line.append(buffer, static_cast<std::size_t>(got));
        if (const auto end = line.find('\n'); end != std::string::npos) return line.substr(0, end);
        if (line.size() > 256) return std::nullopt;
    }
}

bool sendLine(int fd, std::string_view text) {
    const std::string line = std::string(text) + "\n";
    return ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
}

}  // namespace

HolderReply askHolderToOpen(const std::string& socketPath, std::chrono::milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    const std::optional<sockaddr_un> address = addressOf(socketPath);
    if (!address) return HolderReply::silent;
    UniqueFd connection;
    // The holder may have taken the lock a moment before it listens.
    for (;;) {
        connection.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!connection.valid()) return HolderReply::silent;
        if (::connect(connection.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) break;
        if (SteadyClock::now() >= deadline) return HolderReply::silent;
        ::usleep(50'000);
    }
    if (!sendLine(connection.get(), openRequest)) return HolderReply::silent;
    const std::optional<std::string> reply = readLine(connection.get(), deadline);
    if (reply == openedReply) return HolderReply::opened;
    if (reply == handoverReply) return HolderReply::handingOver;
    return HolderReply::silent;
}

InstanceServer::InstanceServer(std::string socketPath, std::string_view reply, std::function<void()> answered)
    : socketPath_(std::move(socketPath)), reply_(reply), answered_(std::move(answered)) {
    const std::optional<sockaddr_un> address = addressOf(socketPath_);
    if (!address) return;
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
    if (!listener.valid() || !stop.valid()) return;
    ::unlink(socketPath_.c_str());
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) return;
    // The folder is already private; this keeps the socket so wherever it lives.
    ::chmod(socketPath_.c_str(), 0600);
    if (::listen(listener.get(), 8) != 0) {
        ::unlink(socketPath_.c_str());
        return;
    }
    listener_ = std::move(listener);
    stop_ = std::move(stop);
    thread_ = std::thread([this] { serve(); });
}

InstanceServer::~InstanceServer() {
    if (!listening()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(stop_.get(), &one, sizeof one);
    thread_.join();
    ::unlink(socketPath_.c_str());
}

void InstanceServer::serve() {
    for (;;) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0 || (fds[0].revents & POLLIN) == 0) return;
        const UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.valid()) answer(connection.get());
    }
}

void InstanceServer::answer(int connection) {
    const std::optional<std::string> request = readLine(connection, SteadyClock::now() + requestPatience, stop_.get());
    if (request != openRequest || !answered_ || !sendLine(connection, reply_)) return;
    if (reply_ == handoverReply) std::exchange(answered_, nullptr)();
    else answered_();
}

}  // namespace tallyvane
