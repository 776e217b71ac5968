#pragma once
// What the platform tests observe from outside: /proc, descriptors, children, temporary files.
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace tallyvane::test {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `limit` passes; only a hang guard, never a speed check.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s);

std::string readFile(const std::string& path);
int openDescriptorCount();
int threadCount();
// Children of this process that have exited and not been reaped.
std::vector<pid_t> zombieChildren();
// No such process, or only its unreaped remains (orphans may be left to a pid 1 that never reaps).
bool processGone(pid_t pid);
// The value of "Name:" in /proc/<pid>/status, or "" when missing.
std::string statusField(pid_t pid, const std::string& name);
std::vector<std::string> splitAtNul(const std::string& bytes);

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

// Writes `contents` to `path` with `mode`.
void writeFile(const std::string& path, const std::string& contents, mode_t mode);

// Records what a child reports, checking the order promised by ChildEvents.
class ChildRecorder : public std::enable_shared_from_this<ChildRecorder> {
public:
    static std::shared_ptr<ChildRecorder> create() { return std::make_shared<ChildRecorder>(); }
    ChildEvents events();

    bool waitForOutput(std::size_t size, std::chrono::milliseconds limit = 20s);
    bool waitForExit(std::chrono::milliseconds limit = 20s);
    std::string output() const;
    int exitCalls() const;
    bool outputAfterExit() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    int exitCalls_ = 0;
    bool outputAfterExit_ = false;
};

}  // namespace tallyvane::test
