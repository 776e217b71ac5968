#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/posix/unique_fd.h"

namespace tallyvane {
namespace {

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes the temporary file; false leaves it for the caller to remove.
bool fillTemporary(int fd, std::string_view bytes, mode_t mode) {
    return ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
}

}  // namespace

bool PosixFileSystem::isExecutable(const std::string& path) const {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::optional<std::string> PosixFileSystem::readSmallFile(const std::string& path) const {
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of waiting for one.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > smallFileLimit)
        return std::nullopt;
    std::string contents(smallFileLimit + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t got = ::read(fd.get(), contents.data() + filled, contents.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > smallFileLimit) return std::nullopt;  // it grew while being read
    contents.resize(filled);
    return contents;
}

std::vector<std::string> PosixFileSystem::listFolder(const std::string& path) const {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), ::closedir);
    if (!folder) return names;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return names;
}

std::optional<std::string> PosixFileSystem::realPath(const std::string& path) const {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
    return std::string(resolved);
}

std::optional<std::string> PosixFileSystem::linkTarget(const std::string& path) const {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length < 0 || static_cast<std::size_t>(length) == sizeof target) return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
}

bool PosixFileSystem::createDirectories(const std::string& path, mode_t mode) {
    if (path.empty()) return false;
    for (auto end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        if (!prefix.empty() && prefix.back() != '/') {
            if (::mkdir(prefix.c_str(), mode) == 0) {
                // mkdir applied the umask.
                if (::chmod(prefix.c_str(), mode) != 0) return false;
            } else if (errno != EEXIST || !isDirectory(prefix)) {
                return false;
            }
        }
        if (end == std::string::npos) return true;
    }
}

bool PosixFileSystem::replaceAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string temporary = directory + "." + path.substr(directory.size()) + ".XXXXXX";
    // mkostemp creates it with O_EXCL and mode 0600: private until fillTemporary sets `mode`.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool filled = fillTemporary(fd, bytes, mode);
    const bool closed = ::close(fd) == 0;
    if (!filled || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Only the durability of the rename is at stake here: readers already see the new contents.
    UniqueFd parent(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.valid()) ::fsync(parent.get());
    return true;
}

}  // namespace tallyvane
