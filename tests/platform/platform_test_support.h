#pragma once
// What the platform tests observe from outside: /proc, descriptors, children, temporary files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace tallyvane::test {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `limit` passes; only a hang guard, never a speed check.
inline bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !condition(); std::this_thread::sleep_for(1ms))
        if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
}

// "0\n1\n2\n...": shows a lost, doubled or reordered stretch.
inline std::string counted(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += std::to_string(i) + '\n';
    return text;
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

inline void writeFile(const std::string& path, const std::string& contents, mode_t mode) {
    std::ofstream(path, std::ios::binary) << contents;
    ::chmod(path.c_str(), mode);
}

inline std::vector<std::string> entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Both count the listing's own descriptor or thread: compare them only with themselves.
inline int openDescriptorCount() { return static_cast<int>(entries("/proc/self/fd").size()); }
inline int threadCount() { return static_cast<int>(entries("/proc/self/task").size()); }

// The value of "Name:" in /proc/<pid>/status; "" when there is no such process.
inline std::string statusField(pid_t pid, const std::string& name) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(name + ":")) return line.substr(line.find_first_not_of(" \t", name.size() + 1));
    return {};
}

// No such process, or only its unreaped remains (orphans may be left to a pid 1 that never reaps).
inline bool processGone(pid_t pid) { return std::string("ZX").find(statusField(pid, "State").substr(0, 1)) != std::string::npos; }

struct TemporaryDirectory {
    TemporaryDirectory() { if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp"); }
    ~TemporaryDirectory() { std::error_code ignored; std::filesystem::remove_all(path, ignored); }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path = (std::filesystem::temp_directory_path() / "tallyvane-platform-XXXXXX").string();
};

}  // namespace tallyvane::test
