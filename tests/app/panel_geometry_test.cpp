// Where the panel goes under its tray item, on screens of every shape, and how a frame is written.
#include <gtest/gtest.h>

#include "app/panel_geometry.h"

namespace tallyvane {
namespace {

TEST(PanelFrame, RightAlignedUnderTheAnchorInsideTheVisibleFrameLessItsMargin) {
    const struct { Rect visible, anchor, expected; } cases[] = {
        // Anchors on the top edge of three screens, from one end to the other.
        {{0, 40, 1366, 700}, {0, 740, 70, 24}, {8, 332, 360, 400}},
        {{0, 40, 1366, 700}, {683, 740, 70, 24}, {393, 332, 360, 400}},
        {{0, 40, 1366, 700}, {1326, 740, 70, 24}, {998, 332, 360, 400}},
        {{-1440, 0, 1440, 870}, {-1440, 870, 70, 24}, {-1432, 462, 360, 400}},
        {{-1440, 0, 1440, 870}, {-40, 870, 70, 24}, {-368, 462, 360, 400}},
        {{0, 0, 800, 400}, {400, 400, 70, 24}, {110, 8, 360, 384}},
        {{0, 0, 300, 350}, {200, 350, 70, 24}, {8, 8, 284, 334}},      // a small screen shrinks the panel
        {{0, 0, 1000, 1000}, {500, 100, 70, 24}, {210, 8, 360, 400}},  // a low anchor keeps the full height
        {{0, 0, 1000, 1000}, {500, 5000, 70, 24}, {210, 592, 360, 400}},  // a high one keeps the margin
        {{0, 0, 10, 10}, {0, 10, 70, 24}, {8, 8, 0, 0}},               // no room at all: empty, not garbage
    };
    for (const auto& [visible, anchor, expected] : cases) {
        const Rect frame = panelFrame(anchor, visible);
        EXPECT_EQ(frame, expected) << rectText(visible) << " under " << rectText(anchor) << ": " << rectText(frame);
    }
    EXPECT_EQ(rectText({-1432.5, 0.25, 360, 400}), "{{-1432.5, 0.25}, {360, 400}}");
    EXPECT_EQ(rectText({-0.0, 0, 1, 1}), "{{0, 0}, {1, 1}}");
}

}  // namespace
}  // namespace tallyvane
