#include "platform/posix/child_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tallyvane {
namespace {

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

bool openPipe(Pipe& pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    return true;
}

// The child moves its descriptors onto 0, 1 and 2; one already sitting there (this process
// running with a closed standard stream) would keep its close-on-exec flag through dup2.
bool liftAboveStandardStreams(UniqueFd& fd) {
    if (fd.get() > STDERR_FILENO) return true;
    UniqueFd lifted(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!lifted.valid()) return false;
    fd = std::move(lifted);
    return true;
}

// NUL-terminated pointer arrays into strings that outlive the exec.
std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (auto& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Everything the child needs, prepared before fork.
struct ChildSetup {
    const char* path;
    char* const* argv;
    char* const* envp;
    int input;
    int output;
    int nullDevice;
    int status;
    long parent;
    int highestFd;
};

// Between fork and exec the child makes raw system calls only: the sanitizers' wrappers around
// sigaction, close and the like take locks that another thread may have held at fork time.
long rawCall(long number, long a = 0, long b = 0, long c = 0, long d = 0) { return ::syscall(number, a, b, c, d); }

// The kernel's struct sigaction. Everything after the handler is zero, so the order of the
// other members, which differs between architectures, does not matter.
struct KernelSigaction {
    void (*handler)(int);
    unsigned long words[3];
};
constexpr long kernelSigsetSize = 8;
constexpr int kernelSignalCount = 64;

// close_range, or one close per descriptor up to the limit on kernels without it.
void closeDescriptors(unsigned first, unsigned last, int highestFd) {
    if (first > last) return;
    if (rawCall(SYS_close_range, first, last, 0) == 0) return;
    for (unsigned fd = first; fd <= last && fd <= static_cast<unsigned>(highestFd); ++fd) rawCall(SYS_close, fd);
}

[[noreturn]] void reportAndExit(int statusFd) {
    const int error = errno;
    rawCall(SYS_write, statusFd, reinterpret_cast<long>(&error), sizeof error);
    for (;;) rawCall(SYS_exit_group, 127);
}

[[noreturn]] void becomeChild(const ChildSetup& setup) {
    rawCall(SYS_setpgid, 0, 0);
    rawCall(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL);
    // The parent died before the death signal was armed.
    if (rawCall(SYS_getppid) != setup.parent) {
        for (;;) rawCall(SYS_exit_group, 127);
    }

    const KernelSigaction defaultAction{SIG_DFL, {}};
    for (int signal = 1; signal <= kernelSignalCount; ++signal) {
        rawCall(SYS_rt_sigaction, signal, reinterpret_cast<long>(&defaultAction), 0, kernelSigsetSize);
    }
    const unsigned long nothing = 0;
    rawCall(SYS_rt_sigprocmask, SIG_SETMASK, reinterpret_cast<long>(&nothing), 0, kernelSigsetSize);

    // Sources are all above 2 (liftAboveStandardStreams), so dup3 never sees equal descriptors.
    if (rawCall(SYS_dup3, setup.input, STDIN_FILENO, 0) < 0 || rawCall(SYS_dup3, setup.output, STDOUT_FILENO, 0) < 0 ||
        rawCall(SYS_dup3, setup.nullDevice, STDERR_FILENO, 0) < 0) {
        reportAndExit(setup.status);
    }
    // The status pipe stays open (close-on-exec) so that an exec failure can be reported.
    const auto status = static_cast<unsigned>(setup.status);
    closeDescriptors(STDERR_FILENO + 1, status - 1, setup.highestFd);
    closeDescriptors(status + 1, ~0U, setup.highestFd);
    rawCall(SYS_execve, reinterpret_cast<long>(setup.path), reinterpret_cast<long>(setup.argv),
            reinterpret_cast<long>(setup.envp));
    reportAndExit(setup.status);
}

}  // namespace

std::optional<SpawnedChild> spawnChild(const LaunchRequest& request) {
    std::vector<std::string> arguments{request.executable};
    arguments.insert(arguments.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> environment = request.environment;
    const std::vector<char*> argv = pointersTo(arguments);
    const std::vector<char*> envp = pointersTo(environment);

    UniqueFd nullDevice(::open("/dev/null", O_RDWR | O_CLOEXEC));
    Pipe input;
    Pipe output;
    Pipe status;
    if (!nullDevice.valid() || !openPipe(input) || !openPipe(output) || !openPipe(status)) return std::nullopt;
    if (!liftAboveStandardStreams(input.read) || !liftAboveStandardStreams(output.write) ||
        !liftAboveStandardStreams(nullDevice) || !liftAboveStandardStreams(status.write)) {
        return std::nullopt;
    }

    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const ChildSetup setup{request.executable.c_str(),
                           argv.data(),
                           envp.data(),
                           input.read.get(),
                           output.write.get(),
                           nullDevice.get(),
                           status.write.get(),
                           ::getpid(),
                           openMax > 0 ? static_cast<int>(openMax) - 1 : 65535};

    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) becomeChild(setup);

    // Both sides ask for the same group, so whichever runs first wins the race.
    ::setpgid(pid, pid);
    input.read.reset();
    output.write.reset();
    nullDevice.reset();
    status.write.reset();

    int execError = 0;
    ssize_t got;
    do {
        got = ::read(status.read.get(), &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return std::nullopt;
    }

    ::fcntl(output.read.get(), F_SETFL, ::fcntl(output.read.get(), F_GETFL) | O_NONBLOCK);
    return SpawnedChild{pid, std::move(input.write), std::move(output.read)};
}

}  // namespace tallyvane
