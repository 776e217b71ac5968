#include "tests/integration/process_table.h"

#include <signal.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tallyvane::integration {
namespace {

std::string readWhole(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool isZombie(const std::filesystem::path& processDir) {
    const std::string stat = readWhole(processDir / "stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

long statusField(const char* name) {
    std::istringstream status(readWhole("/proc/self/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name, 0) == 0) return std::stol(line.substr(line.find(':') + 1));
    }
    return 0;
}

}  // namespace

std::vector<pid_t> processesWithEnvironmentEntry(const std::string& entry) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = item.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // Entries are NUL-separated; a process that has just exited reads as empty.
        const std::string environment = readWhole(item.path() / "environ");
        std::size_t start = 0;
        for (std::size_t end = environment.find('\0'); end != std::string::npos; end = environment.find('\0', start)) {
            if (environment.compare(start, end - start, entry) == 0 && !isZombie(item.path())) {
                found.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
            start = end + 1;
        }
    }
    return found;
}

bool processExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

long residentKiB() { return statusField("VmRSS:"); }

long residentPeakKiB() { return statusField("VmHWM:"); }

void resetResidentPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace tallyvane::integration
