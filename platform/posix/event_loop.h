#pragma once
// The headless main loop: posted tasks, timers and the quit signals, on the thread that runs it.
// Asleep in one ppoll between events: no periodic wakeups.
#include <chrono>
#include <functional>
#include <memory>

#include "platform/main_loop.h"

namespace tallyvane {

class EventLoop final : public MainLoop {
public:
    // Blocks SIGTERM, SIGINT and SIGHUP, and SIGWINCH and SIGCONT for onSignal, in the calling thread. Call it
    // first thing in main, before any thread exists, so that every thread inherits the mask and
    // only the loop receives them.
    static void blockQuitSignals();

    // Throws std::system_error when the kernel refuses its descriptors.
    EventLoop();
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // From any thread.
    void post(std::function<void()> task) override;
    void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;
    // Timers are meant for the loop's thread: invalidate there, or from a tick.
    std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval, std::chrono::milliseconds tolerance,
                                             std::function<void()> tick) override;

    // On the loop's thread: `handler` runs there each time `signal` arrives while run() runs,
    // instead of the signal's own action. The signal must be blocked in every thread.
    void onSignal(int signal, std::function<void()> handler);

    // Runs until quit() or a quit signal; returns that signal's number, or 0 after quit().
    int run();
    // From any thread, or from a task: run() returns after the current round of work.
    void quit();
    // For tests: runs until `done()` holds (checked after each round of work), quit() or
    // `limit` has passed, leaving quit signals pending. Returns `done()`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    struct Core;  // what timers share with the loop

private:
    std::shared_ptr<Core> core_;
};

}  // namespace tallyvane
