#pragma once
// Runs Qt's event loop until a condition holds or a generous limit passes.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace tallyvane::testing {

inline bool waitUntil(const std::function<bool()>& condition, int limitMs = 10000) {
    QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Lets queued work run for a while; for checking that something does not happen.
inline void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

}  // namespace tallyvane::testing
