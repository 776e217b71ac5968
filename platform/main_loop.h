#pragma once
// The main thread's queue and its timers. Posting is thread-safe; timers fire on the main thread.
#include <chrono>
#include <functional>
#include <memory>

#include "platform/executor.h"

namespace tallyvane {

class Timer {
public:
    virtual ~Timer() = default;
    // After this returns the tick never runs again. Destroying a timer also invalidates it.
    virtual void invalidate() = 0;
};

class MainLoop : public Executor {
public:
    // Fires every `interval`; `tolerance` is an allowance for coalescing wakeups, never a delay target.
    virtual std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval,
                                                     std::chrono::milliseconds tolerance,
                                                     std::function<void()> tick) = 0;
    virtual void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

}  // namespace tallyvane
