// The headless main loop: posting, delayed tasks, repeating timers, quit signals, idleness.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/posix/event_loop.h"
#include "platform_test_support.h"

namespace tallyvane {
namespace {

using namespace test;
using SteadyClock = std::chrono::steady_clock;

TEST(EventLoopTest, TasksPostedFromManyThreadsRunOnTheLoopThreadInEachPostersOrder) {
    constexpr int posters = 4;
    constexpr int perPoster = 2000;
    EventLoop loop;
    std::vector<std::vector<int>> seen(posters);
    std::set<std::thread::id> runners;
    int total = 0;
    std::vector<std::thread> threads;
    for (int poster = 0; poster < posters; ++poster) {
        threads.emplace_back([&, poster] {
            for (int i = 0; i < perPoster; ++i) {
                loop.post([&, poster, i] {
                    seen[poster].push_back(i);
                    runners.insert(std::this_thread::get_id());
                    if (++total == posters * perPoster) loop.quit();
                });
            }
        });
    }
    EXPECT_EQ(loop.run(), 0);
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(runners, std::set<std::thread::id>{std::this_thread::get_id()});
    for (const auto& order : seen) {
        ASSERT_EQ(order.size(), static_cast<std::size_t>(perPoster));
        for (int i = 0; i < perPoster; ++i) ASSERT_EQ(order[i], i);
    }
}

TEST(EventLoopTest, AFloodOfPostsLetsDueTimersRunBetweenThemAndKeepsTheirOrder) {
    EventLoop loop;
    std::vector<int> ran;
    int ranBeforeTimer = -1;
    loop.postDelayed(0ms, [&] { ranBeforeTimer = static_cast<int>(ran.size()); });
    std::this_thread::sleep_for(1ms);  // the timer is due before the first post runs
    for (int i = 0; i < 50; ++i) {
        loop.post([&, i] {
            ran.push_back(i);
            std::this_thread::sleep_for(1ms);
        });
    }
    EXPECT_TRUE(loop.runUntil([&] { return ran.size() == 50; }, 20s));
    EXPECT_GE(ranBeforeTimer, 0);
    EXPECT_LT(ranBeforeTimer, 50);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(ran[static_cast<std::size_t>(i)], i);
}

TEST(EventLoopTest, DelayedTasksRunInDeadlineOrderAndNeverEarly) {
    EventLoop loop;
    const auto start = SteadyClock::now();
    std::vector<std::pair<std::string, SteadyClock::duration>> ran;
    loop.postDelayed(120ms, [&] { ran.emplace_back("late", SteadyClock::now() - start); });
    loop.postDelayed(40ms, [&] { ran.emplace_back("early", SteadyClock::now() - start); });
    loop.post([&] { ran.emplace_back("now", SteadyClock::now() - start); });
    EXPECT_TRUE(loop.runUntil([&] { return ran.size() == 3; }, 20s));

    ASSERT_EQ(ran.size(), 3U);
    EXPECT_EQ(ran[0].first, "now");
    EXPECT_EQ(ran[1].first, "early");
    EXPECT_EQ(ran[2].first, "late");
    EXPECT_GE(ran[1].second, 40ms);
    EXPECT_GE(ran[2].second, 120ms);
}

TEST(EventLoopTest, ARepeatingTimerTicksUntilInvalidatedFromItsOwnTick) {
    EventLoop loop;
    const auto start = SteadyClock::now();
    std::vector<SteadyClock::duration> ticks;
    std::unique_ptr<Timer> timer;
    timer = loop.scheduleRepeating(30ms, 0ms, [&] {
        ticks.push_back(SteadyClock::now() - start);
        if (ticks.size() == 3) timer->invalidate();
    });
    EXPECT_TRUE(loop.runUntil([&] { return ticks.size() >= 3; }, 20s));
    loop.runUntil([] { return false; }, 200ms);

    ASSERT_EQ(ticks.size(), 3U);
    for (std::size_t i = 0; i < ticks.size(); ++i) EXPECT_GE(ticks[i], 30ms * static_cast<int>(i + 1));
}

TEST(EventLoopTest, DestroyingATimerStopsItAndATimerMayOutliveItsLoop) {
    auto loop = std::make_unique<EventLoop>();
    int ticks = 0;
    auto timer = loop->scheduleRepeating(10ms, 0ms, [&] { ++ticks; });
    EXPECT_TRUE(loop->runUntil([&] { return ticks >= 2; }, 20s));
    timer.reset();
    const int stoppedAt = ticks;
    loop->runUntil([] { return false; }, 100ms);
    EXPECT_EQ(ticks, stoppedAt);

    auto orphan = loop->scheduleRepeating(10ms, 0ms, [&] { ++ticks; });
    loop.reset();
    orphan->invalidate();
    orphan.reset();
}

TEST(EventLoopTest, ATickThatInvalidatesAnotherDueTimerKeepsItFromRunning) {
    EventLoop loop;
    bool secondRan = false;
    std::unique_ptr<Timer> second;
    auto first = loop.scheduleRepeating(20ms, 0ms, [&] { second.reset(); });
    second = loop.scheduleRepeating(20ms, 0ms, [&] { secondRan = true; });
    // Both are due in the same round once the loop sleeps past them.
    std::this_thread::sleep_for(40ms);
    loop.runUntil([] { return false; }, 100ms);
    EXPECT_FALSE(secondRan);
}

TEST(EventLoopTest, ToleranceDelaysATimerOnlyToShareAWakeupAndNeverFiresEarly) {
    EventLoop loop;
    const auto start = SteadyClock::now();
    SteadyClock::duration tolerantAt{};
    SteadyClock::duration strictAt{};
    auto tolerant = loop.scheduleRepeating(100ms, 60ms, [&] {
        if (tolerantAt == SteadyClock::duration::zero()) tolerantAt = SteadyClock::now() - start;
    });
    auto strict = loop.scheduleRepeating(130ms, 0ms, [&] {
        if (strictAt == SteadyClock::duration::zero()) strictAt = SteadyClock::now() - start;
    });
    EXPECT_TRUE(loop.runUntil([&] { return strictAt != SteadyClock::duration::zero(); }, 20s));

    // The tolerant timer waited for the strict one instead of waking the loop at 100 ms.
    EXPECT_NE(tolerantAt, SteadyClock::duration::zero());
    EXPECT_GE(tolerantAt, 130ms);
    EXPECT_GE(strictAt, 130ms);
}

class QuitSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(QuitSignalTest, RunReturnsTheSignalThatArrived) {
    EventLoop loop;
    loop.post([] { ::kill(::getpid(), GetParam()); });
    EXPECT_EQ(loop.run(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, QuitSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(EventLoopTest, QuitFromATaskReturnsZeroAndRunUntilLeavesSignalsForRun) {
    EventLoop loop;
    loop.post([&] { loop.quit(); });
    EXPECT_EQ(loop.run(), 0);

    ::kill(::getpid(), SIGTERM);
    EXPECT_FALSE(loop.runUntil([] { return false; }, 50ms));
    EXPECT_EQ(loop.run(), SIGTERM);
}

TEST(EventLoopTest, QuitFromAnotherThreadWakesTheLoop) {
    EventLoop loop;
    std::thread quitter([&] {
        std::this_thread::sleep_for(50ms);
        loop.quit();
    });
    EXPECT_EQ(loop.run(), 0);
    quitter.join();
}

struct ThreadActivity {
    long sleeps = -1;                         // voluntary context switches
    std::chrono::nanoseconds onCpu{-1};
};

ThreadActivity activityOf(pid_t thread) {
    ThreadActivity activity;
    const std::string sleeps = statusField(thread, "voluntary_ctxt_switches");
    if (!sleeps.empty()) activity.sleeps = std::stol(sleeps);
    std::istringstream schedstat(readFile("/proc/self/task/" + std::to_string(thread) + "/schedstat"));
    long long nanoseconds = -1;
    if (schedstat >> nanoseconds) activity.onCpu = std::chrono::nanoseconds(nanoseconds);
    return activity;
}

// Idle with no timer at all, and with one far away.
class IdleLoopTest : public ::testing::TestWithParam<bool> {};

TEST_P(IdleLoopTest, NeitherWakesUpNorSpins) {
    EventLoop loop;
    std::unique_ptr<Timer> distant;
    if (GetParam()) distant = loop.scheduleRepeating(std::chrono::hours(1), 1s, [] {});
    const pid_t loopThread = ::gettid();
    ThreadActivity before;
    ThreadActivity after;
    std::thread observer;
    loop.post([&] {
        observer = std::thread([&] {
            std::this_thread::sleep_for(50ms);  // let the loop fall asleep
            before = activityOf(loopThread);
            std::this_thread::sleep_for(300ms);
            after = activityOf(loopThread);
            loop.quit();
        });
    });
    EXPECT_EQ(loop.run(), 0);
    observer.join();
    ASSERT_GE(before.sleeps, 0);
    ASSERT_GE(before.onCpu.count(), 0);
    EXPECT_LE(after.sleeps - before.sleeps, 1);
    // Asleep, the thread uses no processor time at all, however busy the machine is.
    EXPECT_LT(after.onCpu - before.onCpu, 20ms);
}

INSTANTIATE_TEST_SUITE_P(Timers, IdleLoopTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "DistantTimer" : "NoTimer"); });

}  // namespace
}  // namespace tallyvane
