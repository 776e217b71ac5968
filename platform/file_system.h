#pragma once
// The few file operations the model needs.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tallyvane {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    static constexpr std::size_t smallFileLimit = 64 * 1024;

    // An existing regular file that this user may execute.
    virtual bool isExecutable(const std::string& path) const = 0;
    // The contents of a regular file of at most smallFileLimit bytes, else nullopt; a FIFO or a
    // device is never waited on.
    virtual std::optional<std::string> readSmallFile(const std::string& path) const = 0;
    // The names in a folder, without "." and ".."; empty when it cannot be listed.
    virtual std::vector<std::string> listFolder(const std::string& path) const = 0;
    // The absolute path with every link resolved; nullopt when missing, broken or looping.
    virtual std::optional<std::string> realPath(const std::string& path) const = 0;
    // What a symbolic link holds, as written; nullopt when `path` is no link.
    virtual std::optional<std::string> linkTarget(const std::string& path) const = 0;
    // Creates `path` and its missing parents, each new one with `mode`; existing ones keep theirs.
    virtual bool createDirectories(const std::string& path, mode_t mode) = 0;
    // Readers see either the old contents or all of the new ones; the file never exists with another mode.
    virtual bool replaceAtomically(const std::string& path, std::string_view bytes, mode_t mode) = 0;
};

}  // namespace tallyvane
