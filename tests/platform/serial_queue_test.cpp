// The I/O queue: one worker, started lazily, tasks in posting order, clean destruction.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include "platform/posix/serial_queue.h"
#include "platform_test_support.h"

namespace tallyvane {
namespace {

using namespace test;

TEST(SerialQueueTest, RunsTasksOneAtATimeInPostingOrderOnOneThreadOfItsOwn) {
    constexpr int posters = 4;
    constexpr int perPoster = 2000;
    std::vector<std::vector<int>> seen(posters);  // written only by the worker
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> done{0};
    std::set<std::thread::id> workers;
    const auto self = std::this_thread::get_id();
    {
        SerialQueue queue;
        std::vector<std::thread> threads;
        for (int poster = 0; poster < posters; ++poster) {
            threads.emplace_back([&, poster] {
                for (int i = 0; i < perPoster; ++i) {
                    queue.post([&, poster, i] {
                        if (++running > 1) overlapped = true;
                        seen[poster].push_back(i);
                        workers.insert(std::this_thread::get_id());
                        --running;
                        ++done;
                    });
                }
            });
        }
        for (auto& thread : threads) thread.join();
        ASSERT_TRUE(eventually([&] { return done == posters * perPoster; }));
    }
    EXPECT_FALSE(overlapped);
    for (const auto& order : seen) {
        ASSERT_EQ(order.size(), static_cast<std::size_t>(perPoster));
        for (int i = 0; i < perPoster; ++i) ASSERT_EQ(order[i], i);
    }
    ASSERT_EQ(workers.size(), 1U);
    EXPECT_NE(*workers.begin(), self);
}

TEST(SerialQueueTest, StartsItsThreadOnTheFirstPostAndEndsItWhenDestroyed) {
    std::thread([] {}).join();  // a sanitizer runtime starts its own helper with the first thread
    const int before = threadCount();
    {
        SerialQueue idle;
        EXPECT_EQ(threadCount(), before);
    }
    {
        SerialQueue queue;
        std::promise<void> ran;
        queue.post([&] { ran.set_value(); });
        ran.get_future().wait();
        EXPECT_EQ(threadCount(), before + 1);
    }
    EXPECT_EQ(threadCount(), before);
}

TEST(SerialQueueTest, TasksPostedFromATaskRunAfterThoseAlreadyQueued) {
    std::vector<std::string> order;
    std::promise<void> gate;
    std::promise<void> finished;
    SerialQueue queue;
    queue.post([opened = gate.get_future().share()] { opened.wait(); });
    queue.post([&] {
        queue.post([&] {
            order.push_back("inner");
            finished.set_value();
        });
        order.push_back("outer");
    });
    queue.post([&] { order.push_back("second"); });
    gate.set_value();
    finished.get_future().wait();
    EXPECT_EQ(order, (std::vector<std::string>{"outer", "second", "inner"}));
}

TEST(SerialQueueTest, DestructionLetsTheRunningTaskFinishAndDropsTheRest) {
    // Sets its flag when the queue drops the task that holds it.
    struct DropSignal {
        std::shared_ptr<std::atomic<bool>> dropped;
        ~DropSignal() {
            if (dropped) *dropped = true;
        }
    };
    auto dropped = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    std::atomic<int> laterRuns{0};
    auto queue = std::make_unique<SerialQueue>();
    queue->post([&, dropped] {
        started = true;
        // Still running while the destructor drops the queued tasks.
        eventually([&] { return dropped->load(); });
        finished = true;
    });
    {
        auto signal = std::make_shared<DropSignal>();
        signal->dropped = dropped;
        queue->post([&, signal] { ++laterRuns; });
    }
    for (int i = 0; i < 10; ++i) queue->post([&] { ++laterRuns; });
    ASSERT_TRUE(eventually([&] { return started.load(); }));

    queue.reset();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(*dropped);
    EXPECT_EQ(laterRuns, 0);
}

TEST(SerialQueueTest, CanBeDestroyedByItsOwnTask) {
    auto queue = std::make_shared<SerialQueue>();
    std::weak_ptr<SerialQueue> watcher = queue;
    std::promise<void> destroyed;
    SerialQueue* raw = queue.get();
    // The task holds the last reference: the destructor runs on the worker thread itself.
    raw->post([&destroyed, last = std::move(queue)]() mutable {
        last.reset();
        destroyed.set_value();
    });
    EXPECT_EQ(destroyed.get_future().wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(watcher.expired());
}

}  // namespace
}  // namespace tallyvane
