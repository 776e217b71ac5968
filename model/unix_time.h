#pragma once
// Instants as the history stores them: whole Unix seconds.
#include <chrono>
#include <cstdint>

#include "platform/clock.h"

namespace tallyvane {

inline std::int64_t unixSeconds(Instant t) {
    return std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
}

inline double unixSecondsExact(Instant t) { return std::chrono::duration<double>(t.time_since_epoch()).count(); }

}  // namespace tallyvane
