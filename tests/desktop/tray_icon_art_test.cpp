#include "app/desktop/tray_icon_art.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace tallyvane {
namespace {

// WCAG 2 relative luminance.
double luminance(QRgb rgb) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
}

// Every image the tray item is handed, with the figure (hosts that hide the label) and without (hosts that draw
// it), laid on a dark and a light bar: of the pixels at least half opaque, a third or more must reach 3:1 against
// the bar. Sheets of them, enlarged four times, are kept.
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
            double worst[2] = {1, 1};
            for (int i = 0; i < sizes; ++i)
                for (int b = 0; b < 2; ++b) {
                    SCOPED_TRACE(::testing::Message() << name << ", figure " << figure << ", size " << trayIconSizes[i]);
                    EXPECT_EQ(icons[i].size(), QSize(trayIconSizes[i], trayIconSizes[i]));
                    const QRect cell((2 * i + b) * 64, row * 64, 64, 64);
                    painter.fillRect(cell, bars[b]);
                    painter.drawImage(cell.topLeft(), icons[i]);
                    const double bar = luminance(bars[b].rgb());
                    int opaque = 0, readable = 0;
                    for (int y = 0; y < icons[i].height(); ++y)
                        for (int x = 0; x < icons[i].width(); ++x) {
                            if (qAlpha(icons[i].pixel(x, y)) < 128) continue;
                            const double l = luminance(sheet.pixel(cell.topLeft() + QPoint(x, y)));
                            ++opaque;
                            readable += (std::max(l, bar) + 0.05) / (std::min(l, bar) + 0.05) >= 3;
                        }
                    EXPECT_TRUE(opaque > 0 && 3 * readable >= opaque) << readable << " of " << opaque;
                    worst[b] = std::min(worst[b], double(readable) / opaque);
                }
            std::printf("%s, %s: worst readable share %.2f on dark, %.2f on light\n", figure ? "figure" : "chart",
                        name, worst[0], worst[1]);
        }
        EXPECT_TRUE(sheet.scaled(sheet.size() * 4)
                        .save(QStringLiteral(DESKTOP_ARTIFACTS "/tray-icons-%1.png").arg(figure ? "figure" : "chart")));
    }
}

}  // namespace
}  // namespace tallyvane
