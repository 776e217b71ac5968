// What the tray item shows: its title, and images that read on any bar.
#include "app/desktop/tray_icon_art.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

#include "app/desktop/title_text.h"

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

// WCAG 2 relative luminance.
double luminance(QRgb rgb) {
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(qRed(rgb) / 255.0) + 0.7152 * linear(qGreen(rgb) / 255.0) + 0.0722 * linear(qBlue(rgb) / 255.0);
}

// Every image, with the figure (hosts that hide the label) and without, on a dark and a light bar: of the pixels at
// least half opaque, a third or more reach 3:1 against the bar. Sheets of them, enlarged four times, are kept.
TEST(TrayIcons, EveryImageReadsOnDarkAndLightBars) {
    const std::tuple<const char*, std::optional<double>, bool> states[] = {
        {"normal", 62, false}, {"75 %", 80, false}, {"90 %", 100, false}, {"problem", 41, true},
        {"no data", std::nullopt, false}, {"no data, problem", std::nullopt, true}};
    const QColor bars[] = {QColor(0x1e, 0x1e, 0x1e), QColor(0xf0, 0xf0, 0xf0)};
    constexpr int sizes = int(std::size(trayIconSizes));
    for (bool figure : {true, false}) {
        QImage sheet(128 * sizes, 64 * int(std::size(states)), QImage::Format_RGB32);
        QPainter painter(&sheet);
        for (int row = 0; row < int(std::size(states)); ++row) {
            const auto& [name, highest, error] = states[row];
            const QList<QImage> icons = trayIcons(highest, error, figure);
            EXPECT_EQ(icons != trayIcons(highest, error, !figure), highest.has_value()) << name;
            ASSERT_EQ(icons.size(), sizes);
            for (int i = 0; i < sizes * 2; ++i) {
                const QImage& icon = icons[i / 2];
                SCOPED_TRACE(::testing::Message() << name << ", figure " << figure << ", size " << icon.width());
                EXPECT_EQ(icon.size(), QSize(trayIconSizes[i / 2], trayIconSizes[i / 2]));
                const QRect cell(i * 64, row * 64, 64, 64);
                painter.fillRect(cell, bars[i % 2]);
                painter.drawImage(cell.topLeft(), icon);
                const double bar = luminance(bars[i % 2].rgb());
                int opaque = 0, readable = 0;
                for (int y = 0; y < icon.height(); ++y)
                    for (int x = 0; x < icon.width(); ++x) {
                        if (qAlpha(icon.pixel(x, y)) < 128) continue;
                        const double l = luminance(sheet.pixel(cell.topLeft() + QPoint(x, y)));
                        ++opaque;
                        readable += (std::max(l, bar) + 0.05) / (std::min(l, bar) + 0.05) >= 3;
                    }
                EXPECT_TRUE(opaque > 0 && 3 * readable >= opaque) << readable << " of " << opaque;
            }
        }
        EXPECT_TRUE(sheet.scaled(sheet.size() * 4)
                        .save(QStringLiteral(DESKTOP_ARTIFACTS "/tray-icons-%1.png").arg(figure ? "figure" : "chart")));
    }
}

}  // namespace
}  // namespace tallyvane
