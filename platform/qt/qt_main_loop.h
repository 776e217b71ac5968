#pragma once
// The main loop over Qt's event loop: posted tasks become queued calls on a main-thread object.
#include <QObject>

#include "platform/main_loop.h"

namespace tallyvane {

class QtMainLoop final : public MainLoop {
public:
    // Construct on the main thread, once the application object exists.
    QtMainLoop();
    void post(std::function<void()> task) override;
    std::unique_ptr<Timer> scheduleRepeating(std::chrono::milliseconds interval, std::chrono::milliseconds tolerance,
                                             std::function<void()> tick) override;
    void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;

private:
    QObject context_;  // tasks still queued when it goes are dropped
};

}  // namespace tallyvane
