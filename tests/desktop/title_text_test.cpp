#include "app/desktop/title_text.h"

#include <gtest/gtest.h>

namespace tallyvane {
namespace {

std::vector<QuotaWindow> windowsAt(const std::vector<double>& used) {
    std::vector<QuotaWindow> windows;
    for (double value : used) windows.push_back({"w" + std::to_string(windows.size()), "Fenêtre", value, {}, {}});
    return windows;
}

// The highest window, rounded half up, the problem mark and the demo prefix; the guide is the widest title.
TEST(StatusTitle, FollowsTheHighestWindowTheErrorAndDemo) {
    const struct { std::vector<double> used; std::optional<std::string> error; bool demo; std::string title; } table[] = {
        {{}, std::nullopt, false, " GPT —"},           {{}, "Codex introuvable", false, " GPT —"},
        {{}, std::nullopt, true, " GPT —"},            {{38, 62}, std::nullopt, false, " GPT 62 %"},
        {{62, 38}, std::nullopt, true, " DÉMO GPT 62 %"}, {{87.4}, "Délai dépassé", false, " GPT 87 % !"},
        {{87.4}, "", false, " GPT 87 % !"},            {{0}, std::nullopt, false, " GPT 0 %"},
        {{100, 99.6}, std::nullopt, false, " GPT 100 %"}, {{49.5, 12}, std::nullopt, false, " GPT 50 %"},
        {{62.49}, std::nullopt, false, " GPT 62 %"}};
    for (const auto& c : table) EXPECT_EQ(statusTitle(windowsAt(c.used), c.error, c.demo), c.title);
    for (bool demo : {false, true}) EXPECT_EQ(statusTitleGuide(demo), statusTitle(windowsAt({100}), "x", demo));
    EXPECT_DOUBLE_EQ(highestUse(windowsAt({74.6, 12})).value_or(0), 74.6);
}

}  // namespace
}  // namespace tallyvane
