// What the recorder keeps: fresh quota data only, by the change and heartbeat rules, daily counts,
// one store write per burst, and nothing on file when history is off.
#include <gtest/gtest.h>

#include "app/history/history_recorder.h"
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
    store->stored.readings = {{"codex-primary", 1'795'990'000, 30, 1'796'600'000, 300, "5 heures"}};
    auto recorder = HistoryRecorder::create(rig.model, rig.loop, store, std::make_shared<testing::InlineExecutor>());
    rig.model->onChange = [&] { recorder->modelChanged(); };
    recorder->start({});
    rig.startReady();
    EXPECT_EQ(store->prunedBefore, 1'796'000'000 - 90 * 86'400);
    ASSERT_TRUE(recorder->loaded());

    // After so long, an answer (empty: Codex fails) and the readings in this burst's one write (none when 0).
    const struct { const char* what; std::chrono::seconds after; std::string answer; std::size_t written; } steps[] = {
        {"first answer: both windows", 0s, quotaAt(42), 2}, {"Codex fails: the windows shown are not readings", 30s, "", 0},
        {"unchanged within five minutes", 30s, quotaAt(42), 0}, {"one window changed", 30s, quotaAt(43), 1},
        {"five minutes later, unchanged", 300s, quotaAt(43), 2}};
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
    }
    EXPECT_TRUE(store->writes.front().readings[0].usedPercent == 42 && !store->writes.front().readings[1].resetsAt);
    EXPECT_EQ(recorder->history()->readings.size(), 1u + 2 + 1 + 2) << "the file's rows, then this run's";

    rig.clock->advance(30s);
    rig.model->refresh();
    rig.answerTokens(R"({"dailyUsageBuckets":[{"startDate":"2026-12-05","tokens":7},{"startDate":"2026-12-06","tokens":9}]})");
    EXPECT_EQ(store->writes.back().dailyTokens, (std::vector<DailyTokens>{{"2026-12-05", 7}, {"2026-12-06", 9}}));
}

TEST(HistoryRecorder, WithoutAStoreKeepsThisRunsReadingsInMemory) {
    ModelRig rig;
    auto recorder = HistoryRecorder::create(rig.model, rig.loop, nullptr, std::make_shared<testing::InlineExecutor>());
    rig.model->onChange = [&] { recorder->modelChanged(); };
    recorder->start({});
    EXPECT_TRUE(recorder->loaded());
    rig.startReady();
    rig.answerQuota(quotaAt(42));
    EXPECT_EQ(recorder->history()->readings.size(), 2u);
    recorder->finish(1s);
}

}  // namespace
}  // namespace tallyvane
