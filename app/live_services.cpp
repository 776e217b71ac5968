#include "app/live_services.h"

#include <unistd.h>

#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/user_environment.h"
#include "platform/posix/serial_queue.h"

namespace tallyvane {

ModelServices liveServices(std::shared_ptr<MainLoop> mainLoop) {
    ModelServices services;
    services.clock = std::make_shared<SystemClock>();
    services.mainLoop = std::move(mainLoop);
    services.ioQueue = std::make_shared<SerialQueue>();
    services.launcher = std::make_shared<PosixChildLauncher>();
    services.files = std::make_shared<PosixFileSystem>();
    services.environment = ProcessEnvironment{homeDirectory(), currentEnvironment(), static_cast<int>(getpid())};
    return services;
}

}  // namespace tallyvane
