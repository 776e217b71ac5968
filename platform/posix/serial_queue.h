#pragma once
// An Executor with one worker thread of its own, started by the first post.
#include <functional>
#include <memory>

#include "platform/executor.h"

namespace tallyvane {

class SerialQueue final : public Executor {
public:
    SerialQueue();
    // Takes no more tasks, lets the running one finish, drops the others and joins the worker
    // (or lets it finish by itself when the queue is destroyed from one of its own tasks).
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(std::function<void()> task) override;

    struct Shared;  // what the worker thread shares with the queue

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace tallyvane
