#pragma once
// The model without any window: drawn as text when standard output is a terminal, and kept in
// status.json when live, until SIGTERM, SIGINT or SIGHUP or a desktop copy takes over. Demo data
// without a terminal is printed once. Steps back at once when another live copy runs.
namespace tallyvane {

int runHeadless();

}  // namespace tallyvane
