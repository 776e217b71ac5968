#pragma once
// The few file operations the model needs.
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tallyvane {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // An existing regular file that this user may execute.
    virtual bool isExecutable(const std::string& path) const = 0;
    // Creates `path` and its missing parents, each new one with `mode`; existing ones keep theirs.
    virtual bool createDirectories(const std::string& path, mode_t mode) = 0;
    // Readers see either the old contents or all of the new ones; the file never exists with another mode.
    virtual bool replaceAtomically(const std::string& path, std::string_view bytes, mode_t mode) = 0;
};

}  // namespace tallyvane
