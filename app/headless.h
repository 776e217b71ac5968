#pragma once
// The model without any window: drawn as text when standard output is a terminal, and kept in
// status.json when live, until SIGTERM, SIGINT or SIGHUP. Demo data without a terminal is
// printed once.
namespace tallyvane {

int runHeadless();

}  // namespace tallyvane
