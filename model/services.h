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

    // The value of the variable `name`; "" when it is not set.
    std::string value(const std::string& name) const {
        const std::string prefix = name + "=";
        for (const std::string& variable : variables)
            if (variable.rfind(prefix, 0) == 0) return variable.substr(prefix.size());
        return {};
    }
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
