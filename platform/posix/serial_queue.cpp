#include "platform/posix/serial_queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tallyvane {

struct SerialQueue::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;
    std::thread worker;
};

namespace {

void work(const std::shared_ptr<SerialQueue::Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->stopping || !shared->tasks.empty(); });
        if (shared->stopping) return;
        {
            auto task = std::move(shared->tasks.front());
            shared->tasks.pop_front();
            lock.unlock();
            task();
            // The task and its captures die here, outside the lock: they may post.
        }
        lock.lock();
    }
}

}  // namespace

SerialQueue::SerialQueue() : shared_(std::make_shared<Shared>()) {}

SerialQueue::~SerialQueue() {
    std::deque<std::function<void()>> dropped;
    std::thread worker;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        dropped.swap(shared_->tasks);
        worker = std::move(shared_->worker);
    }
    shared_->changed.notify_all();
    dropped.clear();
    if (!worker.joinable()) return;
    if (worker.get_id() == std::this_thread::get_id()) {
        worker.detach();
    } else {
        worker.join();
    }
}

void SerialQueue::post(std::function<void()> task) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->stopping) return;
    shared_->tasks.push_back(std::move(task));
    if (!shared_->worker.joinable()) shared_->worker = std::thread(work, shared_);
    shared_->changed.notify_one();
}

}  // namespace tallyvane
