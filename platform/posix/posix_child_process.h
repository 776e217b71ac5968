#pragma once
// A launched child and the background thread that reads its output and reaps it.
#include <sys/types.h>

#include <memory>
#include <mutex>

#include "platform/child_process.h"
#include "platform/posix/child_spawn.h"

namespace tallyvane {

class PosixChildProcess final : public ChildProcess {
public:
    // Starts the watcher thread; nullptr, with the child killed and reaped, when it cannot start.
    static std::shared_ptr<PosixChildProcess> watch(SpawnedChild child, ChildEvents events);

    // Closes the child's standard input; the watcher thread still reaps the child when it exits.
    ~PosixChildProcess() override = default;

    int pid() const override { return pid_; }
    bool write(std::string_view bytes) override;
    void closeInput() override;
    void stopOutput() override;
    void terminate() override;
    void kill() override;
    bool waitForExit(std::chrono::milliseconds limit) override;
    bool hasExited() const override;

    struct Watched;  // what the watcher thread shares with this handle

private:
    PosixChildProcess(pid_t pid, UniqueFd input, std::shared_ptr<Watched> watched);
    void signalGroup(int signal);

    const pid_t pid_;
    std::mutex inputMutex_;
    UniqueFd input_;
    std::shared_ptr<Watched> watched_;
};

}  // namespace tallyvane
