#include "platform/qt/qt_main_loop.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "tests/desktop/support/qt_wait.h"

namespace tallyvane {
namespace {

using testing::spin;
using testing::waitUntil;

TEST(QtMainLoop, TasksFromManyThreadsRunOnTheMainThreadInEachThreadsOrder) {
    QtMainLoop loop;
    constexpr int threads = 4, perThread = 500;
    std::map<int, std::vector<int>> seen;  // main thread only
    bool offMain = false;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                loop.post([&, t, i] {
                    offMain |= QThread::currentThread() != qApp->thread();
                    seen[t].push_back(i);
                });
        });
    for (auto& poster : posters) poster.join();
    ASSERT_TRUE(waitUntil([&] {
        int total = 0;
        for (const auto& [t, values] : seen) total += int(values.size());
        return total == threads * perThread;
    }));
    EXPECT_FALSE(offMain);
    for (const auto& [t, values] : seen)
        for (int i = 0; i < perThread; ++i) ASSERT_EQ(values[i], i) << "thread " << t;
}

TEST(QtMainLoop, RepeatingTimerTicksUntilInvalidated) {
    QtMainLoop loop;
    int ticks = 0;
    auto timer = loop.scheduleRepeating(std::chrono::milliseconds(10), std::chrono::milliseconds(2), [&] { ++ticks; });
    ASSERT_TRUE(waitUntil([&] { return ticks >= 3; }));
    timer->invalidate();
    const int atInvalidation = ticks;
    spin(100);
    EXPECT_EQ(ticks, atInvalidation);
}

TEST(QtMainLoop, DestroyingATimerStopsIt) {
    QtMainLoop loop;
    int ticks = 0;
    auto timer = loop.scheduleRepeating(std::chrono::milliseconds(5), std::chrono::seconds(1), [&] { ++ticks; });
    timer.reset();
    spin(1200);
    EXPECT_EQ(ticks, 0);
}

TEST(QtMainLoop, InvalidatingFromItsOwnTickIsSafe) {
    QtMainLoop loop;
    int ticks = 0;
    std::unique_ptr<Timer> timer;
    timer = loop.scheduleRepeating(std::chrono::milliseconds(5), std::chrono::milliseconds(0), [&] {
        ++ticks;
        timer->invalidate();
    });
    spin(100);
    EXPECT_EQ(ticks, 1);
}

TEST(QtMainLoop, DelayedTaskFromAnotherThreadRunsLaterOnTheMainThread) {
    QtMainLoop loop;
    std::atomic<bool> ran = false;
    bool onMain = false;
    QElapsedTimer clock;
    clock.start();
    qint64 ranAfter = 0;
    std::thread([&] {
        loop.postDelayed(std::chrono::milliseconds(150), [&] {
            onMain = QThread::currentThread() == qApp->thread();
            ranAfter = clock.elapsed();
            ran = true;
        });
    }).join();
    ASSERT_TRUE(waitUntil([&] { return ran.load(); }));
    EXPECT_TRUE(onMain);
    EXPECT_GE(ranAfter, 140);
}

TEST(QtMainLoop, TasksStillQueuedWhenTheLoopGoesAreDropped) {
    bool ran = false;
    {
        QtMainLoop loop;
        loop.post([&] { ran = true; });
        loop.postDelayed(std::chrono::milliseconds(1), [&] { ran = true; });
    }
    spin(50);
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace tallyvane
