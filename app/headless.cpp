#include "app/headless.h"

#include "app/live_services.h"
#include "model/usage_model.h"
#include "platform/posix/event_loop.h"

namespace tallyvane {

int runHeadless() {
    auto loop = std::make_shared<EventLoop>();
    auto model = UsageModel::create(liveServices(loop));
    model->start();
    loop->run();
    model->stop();
    model->finishStopping(std::chrono::seconds(2));
    return 0;
}

}  // namespace tallyvane
