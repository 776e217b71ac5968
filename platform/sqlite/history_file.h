#pragma once
// The history file on disk, apart from SQLite: created private before SQLite sees it, and moved
// aside with its companions when it is damaged, so nothing of it is lost.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tallyvane {

// Creates the folder (0700, missing parents too) and, when missing, the empty file (0600 from its
// first byte, whatever the umask). 0 when the file is ready, else the errno of the failed call.
int createHistoryFile(const std::string& path);

// Renames `path` and its "-wal" and "-shm" files to "<path>.corrupt-<now>" (and "…-wal", "…-shm"),
// never over an existing file. The new name of `path`, or "" with errno set when it stayed.
std::string moveHistoryAside(const std::string& path, std::int64_t now);

// `path` with the links of its folder resolved and its own name kept as it is. SQLite refuses a link
// anywhere in a path, and a history may well sit behind linked folders (/home linked to /var/home, a
// linked ~/.local/share). "" with errno set when the folder cannot be resolved.
std::string throughLinkedFolders(const std::string& path);

// True when `path` or its "-wal" or "-shm" file is a symbolic link: the history never follows one.
bool historyFileIsLink(const std::string& path);

// The device and inode of the file at `path`, which tell one file from another at the same path (one
// moved aside, a new one); nothing when it cannot be read.
std::optional<std::pair<dev_t, ino_t>> fileIdentity(const std::string& path);

}  // namespace tallyvane
