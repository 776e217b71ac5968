#include "platform/posix/posix_child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/posix/child_exit_watch.h"

namespace tallyvane {

struct PosixChildProcess::Watched {
    Watched(pid_t pid, ChildEvents events) : pid(pid), events(std::move(events)) {}

    const pid_t pid;
    const ChildEvents events;

    // Held while `output` runs so that stopOutput can wait for a call in progress; recursive
    // because the callback itself may stop the output.
    std::recursive_mutex outputMutex;
    bool outputStopped = false;

    mutable std::mutex stateMutex;
    std::condition_variable exitChanged;
    bool reaped = false;    // the pid may belong to someone else from now on
    bool finished = false;  // reaped and all of its output delivered
};

namespace {

using Watched = PosixChildProcess::Watched;
constexpr std::size_t readSize = 64 * 1024;

void deliver(Watched& watched, const char* bytes, std::size_t size) {
    std::lock_guard lock(watched.outputMutex);
    if (!watched.outputStopped && watched.events.output) watched.events.output(std::string_view(bytes, size));
}

enum class ReadResult { delivered, empty, closed };

// One read per wakeup, so that the exit is noticed even while output keeps coming.
ReadResult readOnce(Watched& watched, int fd, std::vector<char>& buffer) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0) {
            deliver(watched, buffer.data(), static_cast<std::size_t>(got));
            return ReadResult::delivered;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return ReadResult::empty;
        return ReadResult::closed;
    }
}

// After the exit: everything the child wrote is already in the pipe. Reading only what is
// there now keeps a grandchild that goes on writing from delaying the exit report.
void drainRemainder(Watched& watched, int fd, std::vector<char>& buffer) {
    int available = 0;
    if (::ioctl(fd, FIONREAD, &available) != 0) return;
    auto left = static_cast<std::size_t>(available);
    while (left > 0) {
        const ssize_t got = ::read(fd, buffer.data(), std::min(buffer.size(), left));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        deliver(watched, buffer.data(), static_cast<std::size_t>(got));
        left -= static_cast<std::size_t>(got);
    }
}

ChildExit reap(Watched& watched) {
    std::lock_guard lock(watched.stateMutex);
    int status = 0;
    while (::waitpid(watched.pid, &status, 0) < 0 && errno == EINTR) {
    }
    watched.reaped = true;
    if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
    return {false, WIFEXITED(status) ? WEXITSTATUS(status) : 0};
}

void watchUntilExit(const std::shared_ptr<Watched>& watched, UniqueFd output, UniqueFd exit) {
    std::vector<char> buffer(readSize);
    pollfd fds[2] = {{output.get(), POLLIN, 0}, {exit.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) continue;  // EINTR, or a passing lack of memory
        if (fds[0].revents != 0 && readOnce(*watched, output.get(), buffer) == ReadResult::closed) {
            output.reset();
            fds[0].fd = -1;
        }
        if (fds[1].revents != 0) break;
    }
    const ChildExit status = reap(*watched);
    if (output.valid()) drainRemainder(*watched, output.get(), buffer);
    output.reset();
    exit.reset();
    {
        std::lock_guard lock(watched->stateMutex);
        watched->finished = true;
    }
    watched->exitChanged.notify_all();
    if (watched->events.exited) watched->events.exited(status);
}

}  // namespace

std::shared_ptr<PosixChildProcess> PosixChildProcess::watch(SpawnedChild child, ChildEvents events) {
    auto watched = std::make_shared<Watched>(child.pid, std::move(events));
    UniqueFd exit = watchChildExit(child.pid);
    bool started = false;
    if (exit.valid()) {
        try {
            std::thread(watchUntilExit, watched, std::move(child.output), std::move(exit)).detach();
            started = true;
        } catch (const std::system_error&) {
        }
    }
    if (!started) {
        ::kill(-child.pid, SIGKILL);
        reap(*watched);
        return nullptr;
    }
    return std::shared_ptr<PosixChildProcess>(new PosixChildProcess(child.pid, std::move(child.input), watched));
}

PosixChildProcess::PosixChildProcess(pid_t pid, UniqueFd input, std::shared_ptr<Watched> watched)
    : pid_(pid), input_(std::move(input)), watched_(std::move(watched)) {}

bool PosixChildProcess::write(std::string_view bytes) {
    std::lock_guard lock(inputMutex_);
    if (!input_.valid() || hasExited()) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(input_.get(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;  // EPIPE among others: SIGPIPE is ignored
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void PosixChildProcess::closeInput() {
    std::lock_guard lock(inputMutex_);
    input_.reset();
}

void PosixChildProcess::stopOutput() {
    std::lock_guard lock(watched_->outputMutex);
    watched_->outputStopped = true;
}

void PosixChildProcess::signalGroup(int signal) {
    std::lock_guard lock(watched_->stateMutex);
    if (!watched_->reaped) ::kill(-pid_, signal);
}

void PosixChildProcess::terminate() { signalGroup(SIGTERM); }

void PosixChildProcess::kill() { signalGroup(SIGKILL); }

bool PosixChildProcess::waitForExit(std::chrono::milliseconds limit) {
    std::unique_lock lock(watched_->stateMutex);
    return watched_->exitChanged.wait_for(lock, limit, [this] { return watched_->finished; });
}

bool PosixChildProcess::hasExited() const {
    std::lock_guard lock(watched_->stateMutex);
    return watched_->finished;
}

}  // namespace tallyvane
