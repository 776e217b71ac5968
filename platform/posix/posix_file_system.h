#pragma once
// FileSystem on POSIX calls; modes are set exactly, whatever the umask.
#include "platform/file_system.h"

namespace tallyvane {

class PosixFileSystem final : public FileSystem {
public:
    bool isExecutable(const std::string& path) const override;
    std::optional<std::string> readSmallFile(const std::string& path) const override;
    std::vector<std::string> listFolder(const std::string& path) const override;
    std::optional<std::string> realPath(const std::string& path) const override;
    std::optional<std::string> linkTarget(const std::string& path) const override;
    bool createDirectories(const std::string& path, mode_t mode) override;
    // A private temporary beside `path`, given `mode` before its first byte, synced and renamed
    // over `path`; on failure the temporary is removed and `path` is untouched.
    bool replaceAtomically(const std::string& path, std::string_view bytes, mode_t mode) override;
};

}  // namespace tallyvane
