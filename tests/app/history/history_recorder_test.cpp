// What the recorder keeps: fresh quota data only, by the change and heartbeat rules, daily counts,
// one store write per burst, pruning by the calendar, and nothing on file when history is off; the
// alerts it records, on a real file.
#include <gtest/gtest.h>

#include "app/history/alert_sender.h"
#include "app/history/history_recorder.h"
#include "platform/notifier.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "tests/platform/platform_test_support.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

using namespace std::chrono_literals;
using testing::ModelRig;

// Remembers each batch it is given, as one write.
struct RecordingStore final : HistoryStore {
    HistorySnapshot load(std::int64_t) override { return stored; }
    void write(HistoryBatch batch) override { writes.push_back(std::move(batch)); }
    void prune(std::int64_t before) override { prunedBefore = before; }
    HistorySnapshot stored;
    std::vector<HistoryBatch> writes;
    std::int64_t prunedBefore = 0;
};

std::string quotaAt(int used) {
    return R"({"rateLimits":{"primary":{"usedPercent":)" + std::to_string(used) +
           R"(,"windowDurationMins":300,"resetsAt":1796600000},"secondary":{"usedPercent":5}}})";
}

TEST(HistoryRecorder, KeepsFreshQuotaDataByTheChangeAndFiveMinuteRulesAndTheDailyCounts) {
    ModelRig rig;
    auto store = std::make_shared<RecordingStore>();
    // The first answer comes in before the file's rows, the newest of which has its second.
    store->stored.readings = {{"codex-primary", 1'795'990'000, 30, 1'796'600'000, 300, "5 heures"},
                              {"codex-secondary", 1'796'000'000, 5, {}, {}, "Limite"}};
    auto recorder = HistoryRecorder::create(rig.model, rig.loop, store, std::make_shared<testing::InlineExecutor>());
    rig.model->onChange = [&] { recorder->modelChanged(); };
    rig.startReady();
    rig.child().print(R"({"id":)" + std::to_string(rig.pendingId("quota")) + R"(,"result":)" + quotaAt(42) + "}\n");
    recorder->start({});
    rig.loop->drain();
    ASSERT_TRUE(recorder->loaded() && store->writes.size() == 1);
    EXPECT_TRUE(store->writes[0].readings[0].usedPercent == 42 && !store->writes[0].readings[1].resetsAt);

    // After so long, an answer (empty: Codex fails), the readings in this burst's one write (none when 0),
    // and the time before which the file was pruned: at the start, then at the first reading of a new local day.
    const std::int64_t atStart = 1'796'000'000 - 90 * 86'400, afterSleep = atStart + 390 + 30 * 3600;
    const struct { const char* what; std::chrono::seconds after; std::string answer; std::size_t written; std::int64_t pruned; } steps[] = {
        {"Codex fails: the windows shown are not readings", 30s, "", 0, atStart},
        {"unchanged within five minutes", 30s, quotaAt(42), 0, atStart}, {"one window changed", 30s, quotaAt(43), 1, atStart},
        {"five minutes later, unchanged", 300s, quotaAt(43), 2, atStart},
        {"a day later, no timer ran while asleep", 30h, quotaAt(44), 2, afterSleep},
        {"a minute later", 60s, quotaAt(45), 1, afterSleep}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const std::size_t before = store->writes.size();
        rig.clock->advance(step.after);
        rig.model->refresh();
        if (step.answer.empty()) rig.answerError(rig.pendingId("quota"), "boom");
        else rig.answerQuota(step.answer);
        rig.answerTokens("{}");
        ASSERT_EQ(store->writes.size(), before + (step.written ? 1 : 0)) << "one write per burst";
        EXPECT_EQ(step.written ? store->writes.back().readings.size() : 0, step.written);
        EXPECT_EQ(store->prunedBefore, step.pruned);
    }
    const auto& kept = recorder->history()->readings;
    ASSERT_EQ(kept.size(), 2u + 1 + 2 + 2 + 1) << "the file's rows, then this run's taken after the file's newest";
    EXPECT_TRUE(std::equal(store->stored.readings.begin(), store->stored.readings.end(), kept.begin()));

    rig.clock->advance(30s);
    rig.model->refresh();
    rig.answerTokens(R"({"dailyUsageBuckets":[{"startDate":"2026-12-05","tokens":7},{"startDate":"2026-12-06","tokens":9}]})");
    EXPECT_EQ(store->writes.back().dailyTokens, (std::vector<DailyTokens>{{"2026-12-05", 7}, {"2026-12-06", 9}}));
}

void unexpected(const std::string& text) { ADD_FAILURE() << text; }

// Keeps each notification asked for; the test answers for the desktop.
struct HeldNotifier final : Notifier {
    void notify(const std::string& summary, const std::string&, const std::string&, NotifyOutcome outcome) override {
        asked.emplace_back(summary, std::move(outcome));
    }
    std::vector<std::pair<std::string, NotifyOutcome>> asked;
};

// One run of the program with alerts on, its history in the file at `path` (none: history turned off).
struct ProgramRun {
    ProgramRun(const std::string& path, std::shared_ptr<Notifier> notifier)
        : recorder(HistoryRecorder::create(rig.model, rig.loop,
                                           path.empty() ? nullptr : std::make_shared<SqliteHistoryStore>(path, unexpected),
                                           std::make_shared<testing::InlineExecutor>())),
          sender(rig.model, recorder, std::move(notifier)) {
        rig.model->onChange = [this] { recorder->modelChanged(), sender.check(); };
        recorder->start([this] { sender.check(); });
        rig.startReady();
    }
    ~ProgramRun() { recorder->finish(1s); }
    ModelRig rig;
    std::shared_ptr<HistoryRecorder> recorder;
    AlertSender sender;
};

// A forecast alert from real readings, in a file behind a linked home and a linked XDG_DATA_HOME: recorded once
// the desktop showed it, never asked twice while its answer is awaited, not shown again after a restart.
TEST(AlertSender, ShowsAForecastOnceTheDesktopShowedItEvenBehindLinkedFolders) {
    test::TemporaryDirectory root;
    std::filesystem::create_directories(root.file("var/home")), std::filesystem::create_directories(root.file("disk/share"));
    std::filesystem::create_directory_symlink(root.file("var/home"), root.file("home"));  // as on Fedora Silverblue
    std::filesystem::create_directory_symlink(root.file("disk/share"), root.file("home/.local-share"));
    const std::string path = historyPath(root.file("home"), root.file("home/.local-share"));
    // Codex's answers minutes apart, a restart before the last; what the desktop answers to the latest
    // notification: -1 nothing yet, 0 a failure, else its id.
    const struct { std::chrono::minutes after; int used; std::size_t asked; int answer = -1; } steps[] = {
        {0min, 50, 0}, {5min, 55, 0}, {5min, 60, 1}, {1min, 61, 1, 0}, {1min, 62, 2, 7}, {1min, 63, 2}, {20min, 63, 2}};
    auto notifier = std::make_shared<HeldNotifier>();
    std::optional<ProgramRun> run;
    std::chrono::minutes elapsed{};
    for (const auto& step : steps) {
        elapsed += step.after;
        if (!run || &step == std::end(steps) - 1) run.emplace(path, notifier), run->rig.clock->advance(elapsed);
        else run->rig.clock->advance(step.after), run->rig.model->refresh();
        run->rig.answerQuota(quotaAt(step.used));
        run->rig.answerTokens("{}");
        ASSERT_EQ(notifier->asked.size(), step.asked) << step.used;
        if (step.answer >= 0) notifier->asked.back().second(step.answer ? std::optional(std::uint32_t(step.answer)) : std::nullopt);
    }
    run.reset();
    EXPECT_TRUE(notifier->asked[0].first.ends_with(" au rythme actuel")) << notifier->asked[0].first;
    const HistorySnapshot stored = SqliteHistoryStore(path, unexpected).load(0);
    EXPECT_EQ(stored.readings.size(), 7u + 4) << "each change, and each window every five minutes";
    EXPECT_EQ(stored.alerts.size(), 1u);
    ProgramRun memoryOnly("", notifier);  // this run's readings are still kept, in memory
    memoryOnly.rig.answerQuota(quotaAt(42));
    EXPECT_TRUE(memoryOnly.recorder->loaded() && memoryOnly.recorder->history()->readings.size() == 2u);
}

}  // namespace
}  // namespace tallyvane
