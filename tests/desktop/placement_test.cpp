#include "app/desktop/placement.h"

#include <gtest/gtest.h>

#include "app/desktop/screen_space.h"
#include "platform/qt/tray_item.h"

namespace tallyvane {
namespace {

void expectRect(const Rect& actual, const Rect& expected) {
    EXPECT_EQ(actual, expected) << rectText(actual) << " instead of " << rectText(expected);
}

TEST(ScreenSpace, FlipsAroundThePrimaryScreensBottomEdge) {
    const QRect primary(0, 0, 1366, 768);
    expectRect(fromQt(QRectF(8, 36, 360, 400), primary), {8, 332, 360, 400});
    EXPECT_EQ(toQt({8, 332, 360, 400}, primary), QRect(8, 36, 360, 400));
    // A primary screen that is not at the virtual desktop's origin moves the origin with it.
    const QRect offsetPrimary(1920, 120, 1440, 900);
    expectRect(fromQt(QRectF(1920, 120, 1440, 900), offsetPrimary), {0, 0, 1440, 900});
    expectRect(fromQt(QRectF(0, 0, 1920, 1080), offsetPrimary), {-1920, -60, 1920, 1080});
}

TEST(ScreenSpace, RoundTripsOnEveryScreenOfALayout) {
    const QRect primary(0, 0, 1920, 1080);
    for (const QRect& rect : {QRect(-1440, -200, 1440, 900), QRect(1920, 300, 2560, 1440), QRect(-5, 1075, 10, 10)}) {
        EXPECT_EQ(toQt(fromQt(rect, primary), primary), rect);
    }
}

struct FrameCase {
    QList<ScreenArea> screens;
    QRect anchor;    // Qt coordinates
    Rect visible;    // expected, y upward
    Rect frame;      // expected, y upward
    QRect qtFrame;   // expected, Qt coordinates
};

class PanelPlacement : public ::testing::TestWithParam<FrameCase> {};

TEST_P(PanelPlacement, UsesTheAnchorsScreenAndMapsBack) {
    const FrameCase& c = GetParam();
    const std::optional<Placement> placement = placePanel(c.anchor, c.screens);
    ASSERT_TRUE(placement.has_value());
    expectRect(placement->visible, c.visible);
    expectRect(placement->frame, c.frame);
    EXPECT_EQ(placement->qtFrame, c.qtFrame);
}

// A 1366 x 768 screen with a 28-pixel bar on top and a 40-pixel dock below; a 1440 x 900
// screen left of a 1440 x 900 primary, both with a 30-pixel top bar; an 800 x 400 screen
// without bars, too low for the whole panel. Anchors are 70 x 24, at the top of their screen.
const QList<ScreenArea> laptop = {{{0, 0, 1366, 768}, {0, 28, 1366, 700}, true}};
const QList<ScreenArea> leftOfPrimary = {{{0, 0, 1440, 900}, {0, 30, 1440, 870}, true},
                                         {{-1440, 0, 1440, 900}, {-1440, 30, 1440, 870}, false}};
const QList<ScreenArea> small = {{{0, 0, 800, 400}, {0, 0, 800, 400}, true}};

INSTANTIATE_TEST_SUITE_P(
    TopBars, PanelPlacement,
    ::testing::Values(
        FrameCase{laptop, {0, 4, 70, 24}, {0, 40, 1366, 700}, {8, 332, 360, 400}, {8, 36, 360, 400}},
        FrameCase{laptop, {683, 4, 70, 24}, {0, 40, 1366, 700}, {393, 332, 360, 400}, {393, 36, 360, 400}},
        FrameCase{laptop, {1326, 4, 70, 24}, {0, 40, 1366, 700}, {998, 332, 360, 400}, {998, 36, 360, 400}},
        FrameCase{leftOfPrimary, {-1440, 6, 70, 24}, {-1440, 0, 1440, 870}, {-1432, 462, 360, 400},
                  {-1432, 38, 360, 400}},
        FrameCase{leftOfPrimary, {-720, 6, 70, 24}, {-1440, 0, 1440, 870}, {-1010, 462, 360, 400},
                  {-1010, 38, 360, 400}},
        FrameCase{leftOfPrimary, {-40, 6, 70, 24}, {-1440, 0, 1440, 870}, {-368, 462, 360, 400},
                  {-368, 38, 360, 400}},
        FrameCase{small, {0, 0, 70, 24}, {0, 0, 800, 400}, {8, 8, 360, 384}, {8, 8, 360, 384}},
        FrameCase{small, {400, 0, 70, 24}, {0, 0, 800, 400}, {110, 8, 360, 384}, {110, 8, 360, 384}},
        FrameCase{small, {760, 0, 70, 24}, {0, 0, 800, 400}, {432, 8, 360, 384}, {432, 8, 360, 384}}));

// Every other arrangement: where the panel lands relative to the anchor and the usable area.
bool overlaps(const QRect& a, const QRect& b) { return a.intersects(b); }

TEST(PanelPlacementOnOtherBars, BottomBarOpensAboveTheAnchor) {
    const QList<ScreenArea> screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true}};
    for (const QRect& anchor : {QRect(1800, 1048, 24, 24), QRect(1810, 1060, 1, 1), QRect(4, 1050, 24, 24)}) {
        const QRect frame = placePanel(anchor, screens)->qtFrame;
        EXPECT_TRUE(screens[0].available.contains(frame)) << anchor.x();
        EXPECT_EQ(frame.height(), 400);
        EXPECT_EQ(frame.y() + frame.height(), 1040 - 8) << "8 above the bar";
        EXPECT_FALSE(overlaps(frame, anchor));
    }
    EXPECT_EQ(placePanel(QRect(1800, 1048, 24, 24), screens)->qtFrame.x() + 360, 1824) << "right-aligned";
}

TEST(PanelPlacementOnOtherBars, SideBarsOpenBesideTheAnchor) {
    const QList<ScreenArea> leftBar = {{{0, 0, 1920, 1080}, {48, 0, 1872, 1080}, true}};
    const QRect leftAnchor(12, 500, 24, 24);
    const QRect fromLeft = placePanel(leftAnchor, leftBar)->qtFrame;
    EXPECT_TRUE(leftBar[0].available.contains(fromLeft));
    EXPECT_EQ(fromLeft.x(), 48 + 8);
    EXPECT_EQ(fromLeft.y(), 524 + 8) << "8 below the anchor";

    const QList<ScreenArea> rightBar = {{{0, 0, 1920, 1080}, {0, 0, 1872, 1080}, true}};
    const QRect rightAnchor(1884, 900, 24, 24);
    const QRect fromRight = placePanel(rightAnchor, rightBar)->qtFrame;
    EXPECT_TRUE(rightBar[0].available.contains(fromRight));
    EXPECT_EQ(fromRight.x() + fromRight.width(), 1872 - 8);
    EXPECT_EQ(fromRight.height(), 400) << "raised rather than shortened near the bottom";
    EXPECT_FALSE(overlaps(fromRight, rightAnchor));
}

TEST(PanelPlacementOnOtherBars, SecondaryScreenBelowAndRightOfThePrimary) {
    const QList<ScreenArea> screens = {{{0, 0, 1920, 1080}, {0, 32, 1920, 1048}, true},
                                       {{1920, 600, 2560, 1440}, {1920, 600, 2560, 1400}, false}};
    const QRect anchor(4380, 2010, 24, 24);  // in the secondary screen's bottom bar
    const std::optional<Placement> placement = placePanel(anchor, screens);
    EXPECT_TRUE(screens[1].available.contains(placement->qtFrame));
    expectRect(placement->visible, {1920, -920, 2560, 1400});
    EXPECT_TRUE(contains(placement->visible, placement->frame));
    EXPECT_EQ(placement->qtFrame.bottom() + 1, 2000 - 8);
}

// Without a click (or with one on a screen gone since), the bar is guessed from the primary
// screen's work area; the other screen's bottom bar must not count.
TEST(PanelPlacementWithoutAClick, FollowsTheBarTheWorkAreaLeavesOut) {
    struct Case {
        const char* bar;
        QRect available;  // of the 1920 x 1080 primary screen
        QRect anchor;
        QRect expected;
    };
    for (const Case& c : {Case{"top", {0, 30, 1920, 1050}, {}, {1552, 38, 360, 400}},
                          Case{"bottom", {0, 0, 1920, 1040}, {}, {1552, 632, 360, 400}},
                          Case{"left", {48, 0, 1872, 1080}, {}, {56, 672, 360, 400}},
                          Case{"right", {0, 0, 1872, 1080}, {}, {1504, 672, 360, 400}},
                          Case{"left and top", {48, 30, 1872, 1050}, {}, {1552, 38, 360, 400}},
                          Case{"bottom and top", {0, 30, 1920, 1010}, {}, {1552, 38, 360, 400}},
                          Case{"none", {0, 0, 1920, 1080}, {}, {1552, 8, 360, 400}},
                          Case{"bottom, click on a vanished screen", {0, 0, 1920, 1040}, {2500, 1050, 1, 1},
                               {1552, 632, 360, 400}}}) {
        SCOPED_TRACE(c.bar);
        const QList<ScreenArea> screens = {{{-1440, 0, 1440, 900}, {-1440, 0, 1440, 860}, false},
                                           {{0, 0, 1920, 1080}, c.available, true}};
        EXPECT_EQ(placePanel(c.anchor, screens)->qtFrame, c.expected);
    }
    EXPECT_FALSE(placePanel(QRect(), {}).has_value());
}

TEST(HiDpi, NativeClickPositionsBecomeQtCoordinates) {
    // One 3840 x 2160 screen at scale 2.
    const QList<ScreenScale> single = {{{0, 0, 1920, 1080}, 2.0}};
    EXPECT_EQ(logicalFromNative({3700, 10}, single), QPoint(1850, 5));
    // A scale-1 screen and, right of it, a scale-2 one whose native origin is x = 1920.
    const QList<ScreenScale> mixed = {{{0, 0, 1920, 1080}, 1.0}, {{1920, 0, 1920, 1080}, 2.0}};
    EXPECT_EQ(logicalFromNative({100, 100}, mixed), QPoint(100, 100));
    EXPECT_EQ(logicalFromNative({5000, 20}, mixed), QPoint(1920 + 1540, 10));
    // A 1920 x 1080 screen at scale 1.5 left of a scale-1 one: Qt keeps each native origin.
    const QList<ScreenScale> left = {{{0, 0, 1280, 720}, 1.5}, {{1920, 0, 1920, 1080}, 1.0}};
    EXPECT_EQ(logicalFromNative({1500, 30}, left), QPoint(1000, 20));
    EXPECT_EQ(logicalFromNative({2000, 30}, left), QPoint(2000, 30));
    EXPECT_EQ(logicalFromNative({9000, 9000}, mixed), QPoint(9000, 9000));
}

TEST(HiDpi, PanelKeepsItsSizeInDeviceIndependentPixels) {
    // The same 2x screen in Qt's units: the panel is 360 x 400 there, 720 x 800 physical pixels.
    const QList<ScreenArea> screens = {{{0, 0, 1920, 1080}, {0, 27, 1920, 1053}, true}};
    const QRect anchor(logicalFromNative({3700, 10}, {{{0, 0, 1920, 1080}, 2.0}}), QSize(1, 1));
    const QRect frame = placePanel(anchor, screens)->qtFrame;
    EXPECT_EQ(frame, QRect(1851 - 360, 27 + 8, 360, 400));
}

TEST(PlacementRecord, HoldsTheFourMembers) {
    Placement placement{{8, 332, 360, 400}, {0, 40, 1366, 700}, {}};
    const nlohmann::json record = placementRecord(placement);
    EXPECT_EQ(record, nlohmann::json({{"panel", "{{8, 332}, {360, 400}}"},
                                      {"screenVisible", "{{0, 40}, {1366, 700}}"},
                                      {"contained", true},
                                      {"material", "NSVisualEffectView.popover"}}));
    placement.frame = {-2, 332, 360, 400};
    EXPECT_EQ(placementRecord(placement)["contained"], false);
}

}  // namespace
}  // namespace tallyvane
