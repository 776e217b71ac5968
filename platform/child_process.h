#pragma once
// A child program with piped standard input and output.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvane {

struct LaunchRequest {
    std::string executable;
    std::vector<std::string> arguments;    // without argv[0]
    std::vector<std::string> environment;  // complete "NAME=value" list for the child
};

// How a child ended: its exit code, or the signal that ended it.
struct ChildExit {
    bool bySignal = false;
    int number = 0;
    bool operator==(const ChildExit&) const = default;
};

struct ChildEvents {
    // Bytes from the child's standard output, on a background thread, in order.
    std::function<void(std::string_view bytes)> output;
    // The child has exited and been reaped, on a background thread, after the last `output` call.
    std::function<void(ChildExit)> exited;
};

class ChildProcess {
public:
    // Destruction neither signals nor waits for the child; it is still reaped when it exits.
    virtual ~ChildProcess() = default;
    virtual int pid() const = 0;
    // Writes the whole buffer synchronously; false when the child cannot take it (closed pipe, exited).
    virtual bool write(std::string_view bytes) = 0;
    virtual void closeInput() = 0;
    // No more `output` calls after this returns; the pipe is still drained so the child never blocks.
    virtual void stopOutput() = 0;
    // SIGTERM, respectively SIGKILL, to the child's whole process group.
    virtual void terminate() = 0;
    virtual void kill() = 0;
    // Blocks up to `limit`; true once the child has exited.
    virtual bool waitForExit(std::chrono::milliseconds limit) = 0;
    virtual bool hasExited() const = 0;
};

class ChildLauncher {
public:
    virtual ~ChildLauncher() = default;
    // nullptr when the system refuses the launch (not executable, out of resources...).
    virtual std::shared_ptr<ChildProcess> launch(const LaunchRequest& request, ChildEvents events) = 0;
};

}  // namespace tallyvane
