#pragma once
// The history of a live run on this system: the recorder with its store on a queue of its own,
// the file following the user's settings and XDG folders.
#include <functional>
#include <memory>
#include <string>

#include "app/history/history_recorder.h"
#include "app/user_settings.h"
#include "model/services.h"

namespace tallyvane {

// `warn` gets the store's French notices, on the store's own thread.
std::shared_ptr<HistoryRecorder> liveHistory(std::shared_ptr<UsageModel> model, std::shared_ptr<MainLoop> loop,
                                             const UserSettings& settings, const ProcessEnvironment& environment,
                                             std::function<void(const std::string&)> warn);

}  // namespace tallyvane
