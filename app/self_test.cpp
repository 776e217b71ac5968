#include "app/self_test.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "app/panel_geometry.h"
#include "model/discovery.h"
#include "model/quota_window.h"
#include "model/run_flags.h"
#include "model/usage_model.h"

namespace tallyvane {
namespace {

void check(bool holds) {
    if (!holds) std::_Exit(1);
}

bool listed(const std::vector<std::string>& list, const std::string& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

void checkParsing() {
    auto byLimit = quotaWindows(Json{{"rateLimitsByLimitId",
                                      {{"codex",
                                        {{"primary",
                                          {{"usedPercent", 24}, {"windowDurationMins", 10080},
                                           {"resetsAt", 1790420926}}}}}}}});
    check(byLimit.size() == 1 && byLimit[0].name == "Semaine" && byLimit[0].used == 24);

    check(quotaWindows(Json::object()).empty());

    auto clamped = quotaWindows(Json{{"rateLimits", {{"primary", {{"usedPercent", 110}}}}}});
    check(!clamped.empty() && clamped[0].used == 100);

    check(quotaWindows(Json{{"rateLimits", {{"primary", {{"usedPercent", nullptr}}}}}}).empty());
}

void checkLayouts() {
    auto candidates = codexCandidates({"/Applications/Codex.app"}, "/test-home");
    check(listed(candidates, "/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex"));
    check(listed(candidates, "/Applications/Codex.app/Contents/Resources/codex"));
    check(listed(candidates, "/test-home/.local/bin/codex"));
}

void checkDemoModel(ModelServices services) {
    auto model = UsageModel::create(std::move(services));
    model->start();
    model->refresh();
    model->connect();
    check(model->windows().size() == 2);
    check(!model->hasProcess());
    check(!model->hasTimer());
    check(model->pending().empty());
    check(model->windows()[0].used == 38 && model->windows()[1].used == 62);
    model->stop();
}

void checkPlacement() {
    for (const Rect& visible : std::array{Rect{0, 40, 1366, 700}, Rect{-1440, 0, 1440, 870}, Rect{0, 0, 800, 400}}) {
        for (double x : std::array{visible.minX(), visible.minX() + visible.width / 2, visible.maxX() - 40}) {
            const Rect anchor{x, visible.maxY(), 70, 24};
            const Rect frame = panelFrame(anchor, visible);
            check(contains(visible, frame));
            check(frame.maxY() < anchor.minY());
            check(frame.width <= 360);
            check(frame.height <= 400);
        }
    }
}

}  // namespace

void runSelfTest(ModelServices services) {
    checkParsing();
    checkLayouts();
    if (isDemo()) checkDemoModel(std::move(services));
    checkPlacement();
    std::printf("%s\n", selfTestPassLine);
    std::fflush(stdout);
}

}  // namespace tallyvane
