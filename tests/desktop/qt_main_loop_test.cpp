#include "platform/qt/qt_main_loop.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "tests/desktop/support/daemons.h"

namespace tallyvane::testing {
namespace {

// Tasks posted from other threads, at once or later, run on the main thread, each thread's in its order; the
// ones still queued when the loop goes never run.
TEST(QtMainLoop, TasksFromManyThreadsRunOnTheMainThreadInEachThreadsOrder) {
    QtMainLoop loop;
    std::map<int, std::vector<int>> seen;  // thread 4: the delayed task, with the milliseconds it waited
    bool offMain = false;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                loop.post([&, t, i] { offMain |= QThread::currentThread() != qApp->thread(), seen[t].push_back(i); });
        });
    posters.emplace_back([&] { loop.postDelayed(std::chrono::milliseconds(150), [&] { seen[4] = {int(clock.elapsed())}; }); });
    for (auto& poster : posters) poster.join();
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 5 && seen[3].size() == 500; }));
    EXPECT_FALSE(offMain);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 500; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;
    EXPECT_GE(seen[4].front(), 140);
    {
        QtMainLoop gone;
        gone.post([&] { offMain = true; });
        gone.postDelayed(std::chrono::milliseconds(1), [&] { offMain = true; });
    }
    spin(50);
    EXPECT_FALSE(offMain);
}

// A repeating timer ticks until it is invalidated or destroyed, also from within its own tick.
TEST(QtMainLoop, RepeatingTimersStopWhenInvalidatedOrDestroyed) {
    QtMainLoop loop;
    int ticks[3] = {};
    std::unique_ptr<Timer> timers[3];
    timers[0] = loop.scheduleRepeating(std::chrono::milliseconds(10), std::chrono::milliseconds(2), [&] { ++ticks[0]; });
    timers[1] = loop.scheduleRepeating(std::chrono::milliseconds(5), std::chrono::seconds(1), [&] { ++ticks[1]; });
    timers[2] = loop.scheduleRepeating(std::chrono::milliseconds(5), std::chrono::milliseconds(0), [&] {
        ++ticks[2];
        timers[2]->invalidate();
    });
    timers[1].reset();
    ASSERT_TRUE(waitUntil([&] { return ticks[0] >= 3; }));
    timers[0]->invalidate();
    const int atInvalidation = ticks[0];
    spin(1200);
    EXPECT_EQ(ticks[0], atInvalidation);
    EXPECT_EQ(ticks[1], 0);
    EXPECT_EQ(ticks[2], 1);
}

}  // namespace
}  // namespace tallyvane::testing
