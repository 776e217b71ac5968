#include "platform/qt/qt_main_loop.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <thread>

#include "tests/desktop/support/daemons.h"

namespace tallyvane::testing {
namespace {

using namespace std::chrono_literals;

// Tasks posted from other threads, at once or later, run on the main thread, each thread's in its order; repeating
// timers tick until invalidated or destroyed, also from within their own tick; a gone loop runs nothing more.
TEST(QtMainLoop, RunsTasksAndTimersOnTheMainThreadInOrderUntilCancelled) {
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
    posters.emplace_back([&] { loop.postDelayed(150ms, [&] { seen[4] = {int(clock.elapsed())}; }); });
    int ticks[3] = {};
    std::unique_ptr<Timer> timers[3] = {loop.scheduleRepeating(10ms, 2ms, [&] { ++ticks[0]; }),
                                        loop.scheduleRepeating(5ms, 1s, [&] { ++ticks[1]; }),
                                        loop.scheduleRepeating(5ms, 0ms, [&] { ++ticks[2], timers[2]->invalidate(); })};
    timers[1].reset();
    for (auto& poster : posters) poster.join();
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 5 && seen[3].size() == 500 && ticks[0] >= 3; }));
    timers[0]->invalidate();
    const int atInvalidation = ticks[0];
    {
        QtMainLoop gone;
        gone.post([&] { offMain = true; });
        gone.postDelayed(1ms, [&] { offMain = true; });
    }
    spin(1200);
    EXPECT_FALSE(offMain);
    std::vector<int> inOrder(500);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (int t = 0; t < 4; ++t) EXPECT_TRUE(seen[t] == inOrder) << "thread " << t;
    EXPECT_GE(seen[4].front(), 140);
    EXPECT_EQ(std::vector<int>(ticks, ticks + 3), std::vector<int>({atInvalidation, 0, 1}));
}

}  // namespace
}  // namespace tallyvane::testing
