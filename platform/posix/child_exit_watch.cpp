#include "platform/posix/child_exit_watch.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <thread>

namespace tallyvane {

UniqueFd watchChildExit(pid_t pid) {
    UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.valid()) {
        // pidfd_open has no close-on-exec flag of its own.
        ::fcntl(pidfd.get(), F_SETFD, FD_CLOEXEC);
        return pidfd;
    }
    if (errno == ENOSYS) return watchChildExitByWaiting(pid);
    return {};
}

UniqueFd watchChildExitByWaiting(pid_t pid) {
    UniqueFd readable(::eventfd(0, EFD_CLOEXEC));
    if (!readable.valid()) return {};
    UniqueFd signal(::fcntl(readable.get(), F_DUPFD_CLOEXEC, 0));
    if (!signal.valid()) return {};
    try {
        std::thread([pid, signal = std::move(signal)] {
            siginfo_t info{};
            while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
            }
            const std::uint64_t one = 1;
            [[maybe_unused]] auto written = ::write(signal.get(), &one, sizeof one);
        }).detach();
    } catch (const std::system_error&) {
        return {};
    }
    return readable;
}

}  // namespace tallyvane
