#pragma once
// The model without any window: keeps status.json current until SIGTERM, SIGINT or SIGHUP.
namespace tallyvane {

int runHeadless();

}  // namespace tallyvane
