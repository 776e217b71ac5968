#pragma once
// "Now" for the model, injected so tests can move time by hand.
#include <chrono>

namespace tallyvane {

using Instant = std::chrono::system_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;
};

class SystemClock final : public Clock {
public:
    Instant now() const override { return std::chrono::system_clock::now(); }
};

}  // namespace tallyvane
