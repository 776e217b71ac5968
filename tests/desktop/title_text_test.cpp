#include "app/desktop/title_text.h"

#include <gtest/gtest.h>

namespace tallyvane {
namespace {

std::vector<QuotaWindow> windowsAt(std::initializer_list<double> used) {
    std::vector<QuotaWindow> windows;
    for (double value : used) windows.push_back({"w" + std::to_string(windows.size()), "Fenêtre", value, std::nullopt, std::nullopt});
    return windows;
}

struct TitleCase {
    std::vector<double> used;
    std::optional<std::string> error;
    bool demo;
    std::string title;
};

class StatusTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(StatusTitle, FollowsHighestWindowErrorAndDemo) {
    const TitleCase& c = GetParam();
    std::vector<QuotaWindow> windows;
    for (double value : c.used) windows.push_back({"w", "Fenêtre", value, std::nullopt, std::nullopt});
    EXPECT_EQ(statusTitle(windows, c.error, c.demo), c.title);
}

INSTANTIATE_TEST_SUITE_P(
    EveryModelState, StatusTitle,
    ::testing::Values(TitleCase{{}, std::nullopt, false, " GPT —"},
                      TitleCase{{}, "Codex introuvable", false, " GPT —"},
                      TitleCase{{}, std::nullopt, true, " GPT —"},
                      TitleCase{{38, 62}, std::nullopt, false, " GPT 62 %"},
                      TitleCase{{62, 38}, std::nullopt, false, " GPT 62 %"},
                      TitleCase{{38, 62}, std::nullopt, true, " DÉMO GPT 62 %"},
                      TitleCase{{87.4}, "Délai dépassé", false, " GPT 87 % !"},
                      TitleCase{{87.4}, std::string(), false, " GPT 87 % !"},
                      TitleCase{{0}, std::nullopt, false, " GPT 0 %"},
                      TitleCase{{100, 99.6}, std::nullopt, false, " GPT 100 %"},
                      TitleCase{{49.5, 12}, std::nullopt, false, " GPT 50 %"},
                      TitleCase{{62.5}, std::nullopt, false, " GPT 63 %"},
                      TitleCase{{62.49}, std::nullopt, false, " GPT 62 %"}));

TEST(StatusTitleText, StartsWithEllipsisAndGuideIsTheWidestTitle) {
    EXPECT_STREQ(initialStatusTitle, " GPT \u2026");
    EXPECT_EQ(statusTitleGuide(false), statusTitle(windowsAt({100}), "x", false));
    EXPECT_EQ(statusTitleGuide(true), statusTitle(windowsAt({100}), "x", true));
}

TEST(StatusToolTip, CarriesTheErrorOrTheRefreshIntervalOutsideDemo) {
    EXPECT_EQ(statusToolTip(std::nullopt, false), "Quota Codex consommé · Actualisation toutes les 30 secondes");
    EXPECT_EQ(statusToolTip("Codex introuvable", false), "Quota Codex consommé · Codex introuvable");
    EXPECT_EQ(statusToolTip(std::string(), false), "Quota Codex consommé · ");
}

TEST(StatusToolTip, NeverShowsAnErrorInDemo) {
    EXPECT_EQ(statusToolTip(std::nullopt, true), "Démo · données fictives · aucune connexion");
    EXPECT_EQ(statusToolTip("Codex introuvable", true), "Démo · données fictives · aucune connexion");
}

TEST(HighestUse, IsTheUnroundedMaximumOrNothing) {
    EXPECT_FALSE(highestUse({}).has_value());
    EXPECT_DOUBLE_EQ(*highestUse(windowsAt({74.6, 12})), 74.6);
    EXPECT_DOUBLE_EQ(*highestUse(windowsAt({3, 99.9, 40})), 99.9);
}

}  // namespace
}  // namespace tallyvane
