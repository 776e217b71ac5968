// Accent colours for light and dark palettes, and the usage colour table.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QPalette>

#include "tests/ui/view_rig.h"
#include "ui/system_colors.h"

namespace tallyvane {
namespace {

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2E));
    palette.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    return palette;
}

QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
    palette.setColor(QPalette::WindowText, QColor(0x1D, 0x1D, 0x1F));
    return palette;
}

TEST(SystemColors, UsageColourChangesAtExactly75And90) {
    const std::pair<double, SystemColor> table[] = {
        {0, SystemColor::Teal},     {74.6, SystemColor::Teal},   {74.9, SystemColor::Teal},
        {75, SystemColor::Orange},  {89.9, SystemColor::Orange}, {90, SystemColor::Red},
        {100, SystemColor::Red},    {-3, SystemColor::Teal},
        {std::numeric_limits<double>::quiet_NaN(), SystemColor::Teal},
    };
    for (const auto& [percentage, expected] : table) EXPECT_EQ(usageTint(percentage), expected) << percentage;
}

TEST(SystemColors, DarkPalettesGetTheBrighterVariants) {
    EXPECT_FALSE(isDark(lightPalette()));
    EXPECT_TRUE(isDark(darkPalette()));
    EXPECT_EQ(systemColor(SystemColor::Teal, lightPalette()), QColor(0x30, 0xB0, 0xC7));
    EXPECT_EQ(systemColor(SystemColor::Teal, darkPalette()), QColor(0x40, 0xC8, 0xE0));
    EXPECT_EQ(systemColor(SystemColor::Orange, darkPalette()), QColor(0xFF, 0x9F, 0x0A));
    EXPECT_EQ(systemColor(SystemColor::Red, darkPalette()), QColor(0xFF, 0x45, 0x3A));
    EXPECT_EQ(systemColor(SystemColor::Green, lightPalette()), QColor(0x34, 0xC7, 0x59));
}

TEST(SystemColors, SecondaryTextIsTheTextColourAtReducedEmphasis) {
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        const QColor secondary = secondaryText(palette);
        EXPECT_EQ(secondary.rgb(), palette.color(QPalette::WindowText).rgb());
        EXPECT_LT(secondary.alphaF(), 0.6);
        EXPECT_GT(secondary.alphaF(), 0.4);
    }
}

TEST(SystemColors, TheViewFollowsAPaletteSwitch) {
    testing::ViewRig view;
    view.rig.startReady();
    view.rig.answerQuota(testing::twoWindows);
    view.settle();
    view.view->setPalette(darkPalette());
    view.settle();
    EXPECT_EQ(view.view->tint(42), QColor(0x40, 0xC8, 0xE0));
    auto* subtitle = view.find<QLabel>("subtitle");
    EXPECT_EQ(subtitle->palette().color(QPalette::WindowText), secondaryText(darkPalette()));
    auto* remaining = view.find<QLabel>("quotaRemaining");
    EXPECT_EQ(remaining->palette().color(QPalette::WindowText), secondaryText(darkPalette()));
    view.savePng("windows-dark");

    view.view->setPalette(lightPalette());
    view.settle();
    EXPECT_EQ(subtitle->palette().color(QPalette::WindowText), secondaryText(lightPalette()));
    EXPECT_EQ(view.view->tint(42), QColor(0x30, 0xB0, 0xC7));
}

}  // namespace
}  // namespace tallyvane
