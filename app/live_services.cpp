#include "app/live_services.h"

#include <unistd.h>

#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/serial_queue.h"
#include "platform/posix/user_environment.h"

namespace tallyvane {

ProcessEnvironment thisProcess() {
    return ProcessEnvironment{homeDirectory(), currentEnvironment(), static_cast<int>(::getpid())};
}

ModelServices liveServices(std::shared_ptr<MainLoop> mainLoop, ProcessEnvironment environment) {
    ModelServices services;
    services.clock = std::make_shared<SystemClock>();
    services.mainLoop = std::move(mainLoop);
    services.ioQueue = std::make_shared<SerialQueue>();
    services.launcher = std::make_shared<PosixChildLauncher>();
    services.files = std::make_shared<PosixFileSystem>();
    services.environment = std::move(environment);
    return services;
}

}  // namespace tallyvane
