#pragma once
// The text of status.json: a health snapshot for readers outside the program.
#include <string>

#include "platform/clock.h"

namespace tallyvane {

class UsageModel;

// "2026-12-05T09:30:00Z": UTC, whole seconds.
std::string iso8601(Instant t);
std::string healthJson(const UsageModel& model, int pid);

}  // namespace tallyvane
