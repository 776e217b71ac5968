#include "app/history/live_history.h"

#include "platform/posix/serial_queue.h"
#include "platform/sqlite/sqlite_history_store.h"

namespace tallyvane {

std::shared_ptr<HistoryRecorder> liveHistory(std::shared_ptr<UsageModel> model, std::shared_ptr<MainLoop> loop,
                                             const UserSettings& settings, const ProcessEnvironment& environment,
                                             std::function<void(const std::string&)> warn) {
    std::shared_ptr<HistoryStore> store;
    const std::string path = historyPath(environment.home, environment.value("XDG_DATA_HOME"));
    if (settings.history && !path.empty()) store = std::make_shared<SqliteHistoryStore>(path, std::move(warn));
    return HistoryRecorder::create(std::move(model), std::move(loop), std::move(store),
                                   std::make_shared<SerialQueue>());
}

}  // namespace tallyvane
