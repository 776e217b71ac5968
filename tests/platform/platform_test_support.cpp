#include "platform_test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tallyvane::test {
namespace {

int countEntries(const std::string& directory) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++count;
    return count;
}

// "pid (comm) S ppid ...": the command may hold spaces and parentheses.
bool readStat(const std::string& path, char& state, pid_t& parent) {
    const std::string stat = readFile(path);
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(stat.substr(close + 1));
    return static_cast<bool>(rest >> state >> parent);
}

}  // namespace

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

int openDescriptorCount() {
    return countEntries("/proc/self/fd") - 1;  // the iterator's own descriptor
}

int threadCount() { return countEntries("/proc/self/task"); }

std::vector<pid_t> zombieChildren() {
    std::vector<pid_t> zombies;
    const pid_t self = ::getpid();
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        char state = 0;
        pid_t parent = 0;
        if (readStat(entry.path() / "stat", state, parent) && parent == self && state == 'Z') {
            zombies.push_back(std::stoi(name));
        }
    }
    return zombies;
}

bool processGone(pid_t pid) {
    char state = 0;
    pid_t parent = 0;
    if (!readStat("/proc/" + std::to_string(pid) + "/stat", state, parent)) return true;
    return state == 'Z' || state == 'X';
}

std::string statusField(pid_t pid, const std::string& name) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0) {
            const auto value = line.find_first_not_of(" \t", name.size() + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
    }
    return {};
}

std::vector<std::string> splitAtNul(const std::string& bytes) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (auto nul = bytes.find('\0'); nul != std::string::npos; nul = bytes.find('\0', start)) {
        parts.push_back(bytes.substr(start, nul - start));
        start = nul + 1;
    }
    return parts;
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tallyvane-platform-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
    return names;
}

void writeFile(const std::string& path, const std::string& contents, mode_t mode) {
    std::ofstream(path, std::ios::binary) << contents;
    ::chmod(path.c_str(), mode);
}

ChildEvents ChildRecorder::events() {
    std::weak_ptr<ChildRecorder> weak = weak_from_this();
    ChildEvents events;
    events.output = [weak](std::string_view bytes) {
        if (auto self = weak.lock()) {
            std::lock_guard lock(self->mutex_);
            if (self->exitCalls_ > 0) self->outputAfterExit_ = true;
            self->output_.append(bytes);
            self->changed_.notify_all();
        }
    };
    events.exited = [weak] {
        if (auto self = weak.lock()) {
            std::lock_guard lock(self->mutex_);
            ++self->exitCalls_;
            self->changed_.notify_all();
        }
    };
    return events;
}

bool ChildRecorder::waitForOutput(std::size_t size, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return output_.size() >= size; });
}

bool ChildRecorder::waitForExit(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return exitCalls_ > 0; });
}

std::string ChildRecorder::output() const {
    std::lock_guard lock(mutex_);
    return output_;
}

int ChildRecorder::exitCalls() const {
    std::lock_guard lock(mutex_);
    return exitCalls_;
}

bool ChildRecorder::outputAfterExit() const {
    std::lock_guard lock(mutex_);
    return outputAfterExit_;
}

}  // namespace tallyvane::test
