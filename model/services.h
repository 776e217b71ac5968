#pragma once
// Everything the usage model reaches outside itself, injected at construction.
#include <memory>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/executor.h"
#include "platform/file_system.h"
#include "platform/main_loop.h"

namespace tallyvane {

struct ProcessEnvironment {
    std::string home;                      // the user's home directory
    std::vector<std::string> variables;    // this process's environment, "NAME=value"
    int pid = 0;
};

struct ModelServices {
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<MainLoop> mainLoop;
    std::shared_ptr<Executor> ioQueue;     // serial, off the main thread
    std::shared_ptr<ChildLauncher> launcher;
    std::shared_ptr<FileSystem> files;
    ProcessEnvironment environment;
};

}  // namespace tallyvane
