#include <gtest/gtest.h>

#include "app/panel_geometry.h"

namespace tallyvane {
namespace {

struct Case {
    Rect visible;
    double anchorX;
    Rect expected;
};

TEST(PanelFrame, AnchorsOnTheTopEdgeOfThreeScreens) {
    const Case cases[] = {
        {{0, 40, 1366, 700}, 0, {8, 332, 360, 400}},
        {{0, 40, 1366, 700}, 683, {393, 332, 360, 400}},
        {{0, 40, 1366, 700}, 1326, {998, 332, 360, 400}},
        {{-1440, 0, 1440, 870}, -1440, {-1432, 462, 360, 400}},
        {{-1440, 0, 1440, 870}, -720, {-1010, 462, 360, 400}},
        {{-1440, 0, 1440, 870}, -40, {-368, 462, 360, 400}},
        {{0, 0, 800, 400}, 0, {8, 8, 360, 384}},
        {{0, 0, 800, 400}, 400, {110, 8, 360, 384}},
        {{0, 0, 800, 400}, 760, {432, 8, 360, 384}},
    };
    for (const auto& c : cases) {
        const Rect anchor{c.anchorX, c.visible.maxY(), 70, 24};
        const Rect frame = panelFrame(anchor, c.visible);
        EXPECT_EQ(frame, c.expected) << rectText(c.visible) << " x=" << c.anchorX << " got " << rectText(frame);
        EXPECT_TRUE(contains(c.visible, frame));
        EXPECT_LT(frame.maxY(), anchor.minY());
    }
}

TEST(PanelFrame, SmallScreensShrinkThePanel) {
    const Rect narrow{0, 0, 300, 350};
    const Rect frame = panelFrame({200, 350, 70, 24}, narrow);
    EXPECT_EQ(frame, (Rect{8, 8, 284, 334}));
}

TEST(PanelFrame, LowAnchorKeepsFullHeightAndHighAnchorKeepsTheMargin) {
    const Rect visible{0, 0, 1000, 1000};
    EXPECT_EQ(panelFrame({500, 100, 70, 24}, visible), (Rect{210, 8, 360, 400}));
    EXPECT_EQ(panelFrame({500, 5000, 70, 24}, visible), (Rect{210, 592, 360, 400}));
}

TEST(PanelFrame, DegenerateVisibleFrameGivesAnEmptyPanelNotGarbage) {
    const Rect frame = panelFrame({0, 10, 70, 24}, {0, 0, 10, 10});
    EXPECT_EQ(frame.width, 0);
    EXPECT_EQ(frame.height, 0);
}

TEST(RectText, ShortestExactNumbers) {
    EXPECT_EQ(rectText({8, 332, 360, 400}), "{{8, 332}, {360, 400}}");
    EXPECT_EQ(rectText({-1432.5, 0.25, 360, 400}), "{{-1432.5, 0.25}, {360, 400}}");
    EXPECT_EQ(rectText({-0.0, 0, 1, 1}), "{{0, 0}, {1, 1}}");
}

}  // namespace
}  // namespace tallyvane
