// The two executors: the headless main loop (timers, quit signals, slicing) and the I/O queue (a
// worker of its own, started by the first post, and a clean end).
#include <future>
#include <map>
#include <set>

#include "platform/posix/event_loop.h"
#include "platform/posix/serial_queue.h"
#include "platform_test_support.h"

namespace tallyvane::test {
namespace {

using SteadyClock = std::chrono::steady_clock;

TEST(Executors, TasksFromManyThreadsRunOnOneThreadInEachPostersOrder) {
    constexpr int posters = 4, perPoster = 2000;
    std::thread([] {}).join();  // a sanitizer runtime starts its own helper with the first thread
    const int threads = threadCount();
    for (const bool isLoop : {true, false}) {
        SCOPED_TRACE(isLoop ? "EventLoop" : "SerialQueue");
        std::vector<std::vector<int>> seen(posters);  // written by the running thread only
        std::set<std::thread::id> runners;
        std::atomic<int> done{0};
        {
            EventLoop loop;
            SerialQueue queue;
            Executor& executor = isLoop ? static_cast<Executor&>(loop) : queue;
            std::vector<std::thread> senders;
            for (int poster = 0; poster < posters; ++poster)
                senders.emplace_back([&, poster] {
                    for (int i = 0; i < perPoster; ++i)
                        executor.post([&, poster, i] {
                            seen[poster].push_back(i);
                            runners.insert(std::this_thread::get_id());
                            if (++done == posters * perPoster && isLoop) loop.quit();
                        });
                });
            EXPECT_EQ(isLoop ? loop.run() : 0, 0);
            for (auto& sender : senders) sender.join();
            ASSERT_TRUE(eventually([&] { return done == posters * perPoster; }));
            EXPECT_EQ(threadCount(), threads + (isLoop ? 0 : 1));
        }
        EXPECT_EQ(threadCount(), threads);  // the queue's worker ended with it
        // One thread, so one task at a time: the loop's own, or the queue's.
        EXPECT_TRUE(runners.size() == 1 && runners.contains(std::this_thread::get_id()) == isLoop);
        for (const auto& order : seen)
            for (int i = 0; i < perPoster; ++i) ASSERT_EQ(order.at(static_cast<std::size_t>(i)), i);
    }
}

TEST(EventLoop, DelayedTasksRunInDeadlineOrderNeverEarlyAndBetweenAFloodOfPosts) {
    EventLoop loop;
    const auto start = SteadyClock::now();
    std::vector<std::string> ran;
    std::map<std::string, SteadyClock::duration> at;
    for (const auto delay : {120ms, 40ms, 0ms})
        loop.postDelayed(delay, [&, name = std::to_string(delay.count()) + "ms"] {
            ran.push_back(name), at[name] = SteadyClock::now() - start;
        });
    std::this_thread::sleep_for(1ms);  // the 0 ms task is due before the first post runs
    for (int i = 0; i < 50; ++i)
        loop.post([&, i] { ran.push_back(std::to_string(i)), std::this_thread::sleep_for(1ms); });
    ASSERT_TRUE(loop.runUntil([&] { return ran.size() == 53; }, 20s));
    const auto position = [&](const std::string& name) { return std::find(ran.begin(), ran.end(), name) - ran.begin(); };
    EXPECT_LT(position("0ms"), position("49"));  // the flood was sliced for it
    EXPECT_TRUE(position("40ms") < position("120ms") && at["40ms"] >= 40ms && at["120ms"] >= 120ms);
    for (int i = 1; i < 50; ++i) EXPECT_LT(position(std::to_string(i - 1)), position(std::to_string(i)));
}

TEST(EventLoop, RepeatingTimersTickNeverEarlyShareWakeupsWithinToleranceAndStopWhenInvalidated) {
    auto loop = std::make_unique<EventLoop>();
    const auto start = SteadyClock::now();
    std::map<int, std::vector<SteadyClock::duration>> ticks;  // by interval in ms
    const auto tick = [&](int interval) { ticks[interval].push_back(SteadyClock::now() - start); };
    std::unique_ptr<Timer> every30, cancelled;
    every30 = loop->scheduleRepeating(30ms, 0ms, [&] {
        if (tick(30); ticks[30].size() == 3) every30->invalidate();
    });
    // The first two wait, within their tolerance, to share the third's wakeup at 130 ms, where the
    // first, in deadline order, destroys the second before it is run.
    auto tolerant = loop->scheduleRepeating(100ms, 60ms, [&] { tick(100), cancelled.reset(); });
    cancelled = loop->scheduleRepeating(120ms, 60ms, [&] { tick(120); });
    auto strict = loop->scheduleRepeating(130ms, 0ms, [&] { tick(130); });
    loop->runUntil([] { return false; }, 300ms);
    ASSERT_EQ(ticks[30].size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_GE(ticks[30][i], 30ms * static_cast<int>(i + 1));
    EXPECT_TRUE(ticks[100].at(0) >= 130ms && ticks[130].at(0) >= 130ms && ticks[120].empty());
    auto orphan = loop->scheduleRepeating(10ms, 0ms, [] {});  // a timer may outlive its loop
    loop.reset();
    orphan->invalidate();
}

TEST(EventLoop, RunEndsWithTheQuitSignalThatArrivedOrZeroAfterQuitFromAnotherThread) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        EventLoop loop;
        loop.post([signal] { ::kill(::getpid(), signal); });
        EXPECT_EQ(loop.run(), signal);
    }
    EventLoop loop;
    std::thread quitter([&] { std::this_thread::sleep_for(50ms), loop.quit(); });
    EXPECT_EQ(loop.run(), 0);
    quitter.join();
    ::kill(::getpid(), SIGTERM);  // runUntil leaves it for run()
    EXPECT_FALSE(loop.runUntil([] { return false; }, 50ms));
    EXPECT_EQ(loop.run(), SIGTERM);
}

TEST(SerialQueue, DestructionLetsTheRunningTaskFinishDropsTheRestAndMayComeFromItsOwnTask) {
    auto queue = std::make_shared<SerialQueue>();
    std::atomic<bool> dropped{false}, finished{false};
    std::atomic<int> laterRuns{0};
    std::promise<void> started, destroyed;
    // Still running while the rest is dropped.
    queue->post([&] { started.set_value(), finished = eventually([&] { return dropped.load(); }); });
    {
        const std::shared_ptr<void> dropSignal(nullptr, [&](void*) { dropped = true; });
        for (int i = 0; i < 10; ++i) queue->post([&, dropSignal] { ++laterRuns; });
    }
    started.get_future().wait();
    queue.reset();
    EXPECT_TRUE(finished && laterRuns == 0);
    queue = std::make_shared<SerialQueue>();
    const std::weak_ptr<SerialQueue> watcher = queue;
    SerialQueue* raw = queue.get();  // the task holds the last reference: the destructor runs on the worker thread itself
    raw->post([&destroyed, last = std::move(queue)]() mutable { last.reset(), destroyed.set_value(); });
    EXPECT_EQ(destroyed.get_future().wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(watcher.expired());
}

}  // namespace
}  // namespace tallyvane::test
