#include "platform/qt/qt_main_loop.h"

#include <QTimer>

namespace tallyvane {
namespace {

// Qt's timer types trade precision for fewer wakeups; pick the coarsest one the tolerance allows.
Qt::TimerType timerTypeFor(std::chrono::milliseconds interval, std::chrono::milliseconds tolerance) {
    if (tolerance >= std::chrono::seconds(1)) return Qt::VeryCoarseTimer;
    if (tolerance * 20 >= interval) return Qt::CoarseTimer;  // coarse timers move by up to 5 %
    return Qt::PreciseTimer;
}

class QtTimer final : public Timer {
public:
    explicit QtTimer(QTimer* timer) : timer_(timer) {}
    ~QtTimer() override { invalidate(); }
    // Deleted later, not now: the tick that invalidates it runs inside the timer's own signal.
    void invalidate() override {
        if (!timer_) return;
        timer_->stop();
        timer_->disconnect();
        timer_->deleteLater();
        timer_ = nullptr;
    }

private:
    QTimer* timer_;
};

}  // namespace

QtMainLoop::QtMainLoop() = default;

void QtMainLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<Timer> QtMainLoop::scheduleRepeating(std::chrono::milliseconds interval,
                                                     std::chrono::milliseconds tolerance,
                                                     std::function<void()> tick) {
    auto* timer = new QTimer;
    timer->setTimerType(timerTypeFor(interval, tolerance));
    timer->setInterval(interval);
    QObject::connect(timer, &QTimer::timeout, &context_, std::move(tick));
    timer->start();
    return std::make_unique<QtTimer>(timer);
}

void QtMainLoop::postDelayed(std::chrono::milliseconds delay, std::function<void()> task) {
    // Hop to the main thread first so the single-shot timer belongs to it whoever calls.
    post([this, delay, task = std::move(task)]() mutable {
        QTimer::singleShot(delay, &context_, std::move(task));
    });
}

}  // namespace tallyvane
