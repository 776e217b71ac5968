#include "platform/sqlite/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/posix/posix_file_system.h"
#include "platform/posix/unique_fd.h"

namespace tallyvane {
namespace {

constexpr std::array companions{"-wal", "-shm"};

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace

int createHistoryFile(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !PosixFileSystem().createDirectories(path.substr(0, slash), 0700))
        return errno;
    UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file.valid()) return errno == EEXIST ? 0 : errno;
    // open applied the umask.
    if (::fchmod(file.get(), 0600) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    // A log left without its database would be replayed into the new one.
    for (const char* suffix : companions) ::unlink((path + suffix).c_str());
    return 0;
}

std::string moveHistoryAside(const std::string& path, std::int64_t now) {
    std::string target = path + ".corrupt-" + std::to_string(now);
    for (int copy = 2; exists(target) || exists(target + "-wal") || exists(target + "-shm"); ++copy)
        target = path + ".corrupt-" + std::to_string(now) + "." + std::to_string(copy);
    if (::rename(path.c_str(), target.c_str()) != 0) return {};
    for (const char* suffix : companions) ::rename((path + suffix).c_str(), (target + suffix).c_str());
    return target;
}

std::string throughLinkedFolders(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    char folder[PATH_MAX];
    if (::realpath(slash == 0 ? "/" : path.substr(0, slash).c_str(), folder) == nullptr) return {};
    const std::string resolved = folder;
    return (resolved == "/" ? "" : resolved) + path.substr(slash);
}

std::optional<std::pair<dev_t, ino_t>> fileIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

bool historyFileIsLink(const std::string& path) {
    return isLink(path) || std::any_of(companions.begin(), companions.end(),
                                       [&](const char* suffix) { return isLink(path + suffix); });
}

}  // namespace tallyvane
