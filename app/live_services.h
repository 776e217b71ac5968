#pragma once
// The real seams of the model on this system, given the main loop that runs them.
#include <memory>

#include "model/services.h"

namespace tallyvane {

// This process's home, environment and id.
ProcessEnvironment thisProcess();

ModelServices liveServices(std::shared_ptr<MainLoop> mainLoop, ProcessEnvironment environment = thisProcess());

}  // namespace tallyvane
