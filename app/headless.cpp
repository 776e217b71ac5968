#include "app/headless.h"

#include "app/live_services.h"
#include "app/single_copy.h"
#include "model/usage_model.h"
#include "platform/posix/event_loop.h"

namespace tallyvane {

int runHeadless() {
    auto loop = std::make_shared<EventLoop>();
    auto model = UsageModel::create(liveServices(loop));
    // A desktop copy taking over ends this one the way SIGTERM does.
    const auto claim = claimHeadless(model->support(), [loop] { loop->quit(); });
    if (!claim) return 0;
    model->start();
    loop->run();
    model->stop();
    model->finishStopping(std::chrono::seconds(2));
    return 0;
}

}  // namespace tallyvane
