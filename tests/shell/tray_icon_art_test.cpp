#include "app/desktop/tray_icon_art.h"

#include <gtest/gtest.h>

#include "ui/system_colors.h"

namespace tallyvane {
namespace {

QPalette themed(bool dark) {
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(40, 40, 40) : QColor(236, 236, 236));
    palette.setColor(QPalette::WindowText, dark ? QColor(240, 240, 240) : QColor(20, 20, 20));
    return palette;
}

// Opaque-enough pixels of `image` within `area` whose colour is close to `color`.
int countNear(const QImage& image, const QColor& color, QRect area = {}) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (area.isNull()) area = argb.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = argb.pixelColor(x, y);
            if (pixel.alpha() > 160 && std::abs(pixel.red() - color.red()) < 40 &&
                std::abs(pixel.green() - color.green()) < 40 && std::abs(pixel.blue() - color.blue()) < 40)
                ++count;
        }
    return count;
}

TEST(BarChartIcon, IsDrawnInThePanelsTextColourOnly) {
    for (bool dark : {false, true}) {
        const QPalette palette = themed(dark);
        const QList<QImage> icons = barChartIcons(palette);
        ASSERT_EQ(icons.size(), int(std::size(trayIconSizes)));
        for (int i = 0; i < icons.size(); ++i) {
            const QImage& icon = icons[i];
            EXPECT_EQ(icon.size(), QSize(trayIconSizes[i], trayIconSizes[i]));
            const QImage argb = icon.convertToFormat(QImage::Format_ARGB32);
            int ink = 0;
            for (int y = 0; y < argb.height(); ++y)
                for (int x = 0; x < argb.width(); ++x) {
                    const QColor pixel = argb.pixelColor(x, y);
                    if (pixel.alpha() == 0) continue;
                    ++ink;
                    if (pixel.alpha() == 255) {
                        EXPECT_EQ(pixel.rgb(), palette.color(QPalette::WindowText).rgb());
                    }
                }
            EXPECT_GT(ink, icon.width() * icon.height() / 5) << "size " << icon.width();
        }
    }
}

struct TintCase {
    double used;
    SystemColor expected;
};

class PercentIconTint : public ::testing::TestWithParam<TintCase> {};

TEST_P(PercentIconTint, FollowsTheRowThresholdsOnTheUnroundedValue) {
    for (bool dark : {false, true}) {
        const QPalette palette = themed(dark);
        const QImage icon = percentIcon(22, GetParam().used, false, palette);
        for (SystemColor color : {SystemColor::Teal, SystemColor::Orange, SystemColor::Red}) {
            const int pixels = countNear(icon, systemColor(color, palette));
            if (color == GetParam().expected) {
                EXPECT_GT(pixels, 30);
            } else {
                EXPECT_EQ(pixels, 0);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, PercentIconTint,
                         ::testing::Values(TintCase{0, SystemColor::Teal}, TintCase{74.6, SystemColor::Teal},
                                           TintCase{74.9, SystemColor::Teal}, TintCase{75, SystemColor::Orange},
                                           TintCase{89.9, SystemColor::Orange}, TintCase{90, SystemColor::Red},
                                           TintCase{100, SystemColor::Red}));

TEST(PercentIcon, DigitsFillTheIconAndDifferBetweenValues) {
    const QPalette palette = themed(false);
    const QColor teal = systemColor(SystemColor::Teal, palette);
    for (int size : {22, 44}) {
        const QRect digitArea(0, 0, size, size * 3 / 4);
        const QImage sixtyTwo = percentIcon(size, 62, false, palette);
        // Bold digits cover a good part of their box at both the usual and the HiDPI size.
        EXPECT_GT(countNear(sixtyTwo, teal, digitArea), size * size / 8) << size;
        EXPECT_NE(sixtyTwo, percentIcon(size, 68, false, palette)) << size;
        EXPECT_NE(sixtyTwo, percentIcon(size, 2, false, palette)) << size;
        // Three digits still fit: no ink touches the left or right edge column.
        const QImage hundred = percentIcon(size, 64.0 + 35.6, false, palette).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < size * 3 / 4; ++y) {
            EXPECT_LT(qAlpha(hundred.pixel(0, y)), 200);
            EXPECT_LT(qAlpha(hundred.pixel(size - 1, y)), 200);
        }
    }
}

TEST(PercentIcon, UsageBarGrowsWithTheValue) {
    const QPalette palette = themed(true);
    const QColor teal = systemColor(SystemColor::Teal, palette);
    const QRect barArea(0, 19, 22, 3);
    EXPECT_LT(countNear(percentIcon(22, 10, false, palette), teal, barArea),
              countNear(percentIcon(22, 60, false, palette), teal, barArea));
}

TEST(PercentIcon, ErrorAddsABadgeInTheTopRightCorner) {
    for (bool dark : {false, true}) {
        const QPalette palette = themed(dark);
        const QColor orange = systemColor(SystemColor::Orange, palette);
        for (int size : {16, 22, 44}) {
            const QRect corner(size - size * 2 / 5, 0, size * 2 / 5, size * 2 / 5);
            const QImage withError = percentIcon(size, 40, true, palette);
            EXPECT_GT(countNear(withError, orange, corner), size / 3) << size;
            EXPECT_GT(countNear(withError, Qt::white, corner), 0) << "the exclamation mark, size " << size;
            EXPECT_EQ(countNear(percentIcon(size, 40, false, palette), orange, corner), 0) << size;
        }
    }
}

}  // namespace
}  // namespace tallyvane
