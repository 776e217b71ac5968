#pragma once
// The history file on disk, apart from SQLite: created private before SQLite sees it, and moved
// aside with its companions when it is damaged, so nothing of it is lost.
#include <cstdint>
#include <string>

namespace tallyvane {

// Creates the folder (0700, missing parents too) and, when missing, the empty file (0600 from its
// first byte, whatever the umask). 0 when the file is ready, else the errno of the failed call.
int createHistoryFile(const std::string& path);

// Renames `path` and its "-wal" and "-shm" files to "<path>.corrupt-<now>" (and "…-wal", "…-shm"),
// never over an existing file. The new name of `path`, or "" with errno set when it stayed.
std::string moveHistoryAside(const std::string& path, std::int64_t now);

}  // namespace tallyvane
