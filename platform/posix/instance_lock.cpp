#include "platform/posix/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/posix/posix_file_system.h"

namespace tallyvane {
namespace {

bool isDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string instanceDirectory(const std::string& runtimeDirectory, const std::string& supportDirectory) {
    if (isDirectory(runtimeDirectory)) return runtimeDirectory;
    const std::string perUser = "/run/user/" + std::to_string(::getuid());
    if (isDirectory(perUser)) return perUser;
    return supportDirectory;
}

InstanceLock::InstanceLock(const std::string& directory)
    : directory_(directory), lockPath_(directory + "/tallyvane.lock"), socketPath_(directory + "/tallyvane.socket") {}

InstanceLock::Take InstanceLock::take() {
    if (!fd_.valid()) {
        PosixFileSystem().createDirectories(directory_, 0700);
        fd_.reset(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!fd_.valid()) return Take::unavailable;
    }
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Take::heldElsewhere : Take::unavailable;
    // Written over the previous holder's line in one write, so a reader never finds it empty.
    const std::string line = std::to_string(::getpid()) + "\n";
    if (::pwrite(fd_.get(), line.data(), line.size(), 0) == static_cast<ssize_t>(line.size()))
        (void)!::ftruncate(fd_.get(), static_cast<off_t>(line.size()));
    return Take::held;
}

bool InstanceLock::takeWithin(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const Take taken = take();
        if (taken != Take::heldElsewhere) return taken == Take::held;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::optional<int> InstanceLock::holder() const {
    if (!fd_.valid()) return std::nullopt;
    // A holder that has only just taken the lock may not have written its line yet.
    for (int attempt = 0; attempt < 10; ++attempt) {
        char text[32] = {};
        const ssize_t got = ::pread(fd_.get(), text, sizeof text - 1, 0);
        int pid = 0;
        for (ssize_t i = 0; i < got && i < 9 && text[i] >= '0' && text[i] <= '9'; ++i) pid = pid * 10 + (text[i] - '0');
        if (pid > 0) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

}  // namespace tallyvane
