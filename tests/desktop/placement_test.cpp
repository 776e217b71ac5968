#include "app/desktop/placement.h"

#include <gtest/gtest.h>

#include "app/desktop/screen_space.h"
#include "platform/qt/tray_item.h"

// Failures show rectangles, not bytes.
inline void PrintTo(const QRect& r, std::ostream* out) { *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height(); }

namespace tallyvane {
namespace {

// Qt's coordinates (y downward from the virtual desktop's top left) against the panel's (y upward from the
// primary's lower left), both ways, also with a primary away from the origin; and hosts' clicks in native pixels,
// which Qt scales around each screen's native top-left corner.
TEST(ScreenSpace, ConvertsBetweenQtThePanelAndNativePixels) {
    const std::tuple<QRect, QRect, Rect> table[] = {{{8, 36, 360, 400}, {0, 0, 1366, 768}, {8, 332, 360, 400}},
                                                    {{1920, 120, 1440, 900}, {1920, 120, 1440, 900}, {0, 0, 1440, 900}},
                                                    {{0, 0, 1920, 1080}, {1920, 120, 1440, 900}, {-1920, -60, 1920, 1080}},
                                                    {{-5, 1075, 10, 10}, {0, 0, 1920, 1080}, {-5, -5, 10, 10}}};
    for (const auto& [qt, primary, flipped] : table) {
        EXPECT_EQ(fromQt(qt, primary), flipped) << rectText(fromQt(qt, primary));
        EXPECT_EQ(toQt(flipped, primary), qt);
    }
    const QList<ScreenScale> mixed = {{{0, 0, 1920, 1080}, 1.0}, {{1920, 0, 1920, 1080}, 2.0}};
    const QList<ScreenScale> left = {{{0, 0, 1280, 720}, 1.5}, {{1920, 0, 1920, 1080}, 1.0}};
    const std::tuple<QPoint, QList<ScreenScale>, QPoint> clicks[] = {
        {{3700, 10}, {{{0, 0, 1920, 1080}, 2.0}}, {1850, 5}}, {{100, 100}, mixed, {100, 100}},
        {{5000, 20}, mixed, {3460, 10}}, {{9000, 9000}, mixed, {9000, 9000}},
        {{1500, 30}, left, {1000, 20}},  {{2000, 30}, left, {2000, 30}}};
    for (const auto& [native, screens, logical] : clicks) EXPECT_EQ(logicalFromNative(native, screens), logical) << native.x();
}

// Where the panel opens (Qt's coordinates) for a click, or without one: on a laptop with a top bar and a dock, a
// screen left of the primary, one too low for the panel, and a primary with a bar on one side between two others.
TEST(PanelPlacement, OpensBesideTheAnchorInsideItsScreensUsableArea) {
    const QList<ScreenArea> laptop = {{{0, 0, 1366, 768}, {0, 28, 1366, 700}, true}};
    const QList<ScreenArea> leftOfPrimary = {{{0, 0, 1440, 900}, {0, 30, 1440, 870}, true},
                                             {{-1440, 0, 1440, 900}, {-1440, 30, 1440, 870}, false}};
    const QList<ScreenArea> small = {{{0, 0, 800, 400}, {0, 0, 800, 400}, true}};
    const auto desk = [](QRect available) {  // the work area of the primary screen
        return QList<ScreenArea>{{{-1440, 0, 1440, 900}, {-1440, 0, 1440, 860}, false},
                                 {{0, 0, 1920, 1080}, available, true},
                                 {{1920, 600, 2560, 1440}, {1920, 600, 2560, 1400}, false}};
    };
    const struct { const char* name; QList<ScreenArea> screens; QRect anchor, frame; } table[] = {
        {"top bar, left end", laptop, {0, 4, 70, 24}, {8, 36, 360, 400}},
        {"top bar, middle", laptop, {683, 4, 70, 24}, {393, 36, 360, 400}},
        {"top bar, right end", laptop, {1326, 4, 70, 24}, {998, 36, 360, 400}},
        {"screen left of the primary", leftOfPrimary, {-1440, 6, 70, 24}, {-1432, 38, 360, 400}},
        {"its right end", leftOfPrimary, {-40, 6, 70, 24}, {-368, 38, 360, 400}},
        {"too low: shortened", small, {400, 0, 70, 24}, {110, 8, 360, 384}},
        {"bottom bar: above", desk({0, 0, 1920, 1040}), {1800, 1048, 24, 24}, {1464, 632, 360, 400}},
        {"bottom bar, left end", desk({0, 0, 1920, 1040}), {4, 1050, 24, 24}, {8, 632, 360, 400}},
        {"left bar: beside, 8 below", desk({48, 0, 1872, 1080}), {12, 500, 24, 24}, {56, 532, 360, 400}},
        {"right bar: raised, not shortened", desk({0, 0, 1872, 1080}), {1884, 900, 24, 24}, {1504, 672, 360, 400}},
        {"the lower right screen's bottom bar", desk({0, 32, 1920, 1048}), {4380, 2010, 24, 24}, {4044, 1592, 360, 400}},
        {"hiDPI click, scale 2", desk({0, 27, 1920, 1053}), {1850, 5, 1, 1}, {1491, 35, 360, 400}},
        // Without a click, or one on a screen gone since, the bar is guessed from the primary's work area.
        {"no click, top bar", desk({0, 30, 1920, 1050}), {}, {1552, 38, 360, 400}},
        {"no click, bottom bar", desk({0, 0, 1920, 1040}), {}, {1552, 632, 360, 400}},
        {"no click, left bar", desk({48, 0, 1872, 1080}), {}, {56, 672, 360, 400}},
        {"no click, right bar", desk({0, 0, 1872, 1080}), {}, {1504, 672, 360, 400}},
        {"no click, bottom and top bars", desk({0, 30, 1920, 1010}), {}, {1552, 38, 360, 400}},
        {"no click, no bar", desk({0, 0, 1920, 1080}), {}, {1552, 8, 360, 400}},
        {"click on a vanished screen", desk({0, 0, 1920, 1040}), {2500, 5000, 1, 1}, {1552, 632, 360, 400}},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.name);
        const std::optional<Placement> placement = placePanel(c.anchor, c.screens);
        ASSERT_TRUE(placement.has_value());
        EXPECT_EQ(placement->qtFrame, c.frame);
        EXPECT_TRUE(placementRecord(*placement)["contained"].get<bool>());
    }
    EXPECT_FALSE(placePanel({}, {}).has_value());
    EXPECT_FALSE(placementRecord({{-2, 332, 360, 400}, {0, 40, 1366, 700}, {}})["contained"].get<bool>());
}

// Which clicks place the panel: a host's position in native pixels, unless it told none or is known to send one
// inside its own widget (waybar), which gets the guess instead. Under XWayland without a work area (sway) the guess
// keeps the panel below a top bar; a published work area is left as it is.
TEST(PanelPlacement, TrustsClickPositionsExceptFromHostsThatSendTheirWidgetsOwn) {
    const QList<ScreenScale> scale = {{{0, 0, 1920, 1080}, 2.0}};
    const QList<ScreenArea> sway = withGuessedTopBars({{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, true}});
    const QList<ScreenArea> xfce = withGuessedTopBars({{{0, 0, 1920, 1080}, {0, 30, 1920, 1050}, true}});
    const struct { const char* host; QPoint native; QList<ScreenArea> screens; QRect frame; } table[] = {
        {"waybar", {8, 15}, sway, {1552, 40, 360, 400}},
        {"waybar", {3800, 15}, sway, {1552, 40, 360, 400}},
        {"plasmashell", {3700, 10}, xfce, {1491, 38, 360, 400}},
        {"xfce4-panel", {0, 0}, xfce, {1552, 38, 360, 400}},
        {"", {600, 30}, sway, {8, 40, 360, 400}},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.host);
        EXPECT_EQ(placePanel(clickAnchor(c.native, c.host, scale), c.screens)->qtFrame, c.frame);
    }
}

}  // namespace
}  // namespace tallyvane
