#pragma once
// The real seams of the model on this system, given the main loop that runs them.
#include <memory>

#include "model/services.h"

namespace tallyvane {

ModelServices liveServices(std::shared_ptr<MainLoop> mainLoop);

}  // namespace tallyvane
