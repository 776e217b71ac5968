#pragma once
// The model without any window: keeps status.json current until SIGTERM, SIGINT or SIGHUP, or
// until a desktop copy takes over. Steps back at once when another live copy runs.
namespace tallyvane {

int runHeadless();

}  // namespace tallyvane
