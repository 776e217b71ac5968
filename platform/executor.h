#pragma once
// A queue of work: tasks posted from any thread run one at a time, in the order posted.
#include <functional>

namespace tallyvane {

class Executor {
public:
    virtual ~Executor() = default;
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace tallyvane
