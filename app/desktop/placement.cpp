#include "app/desktop/placement.h"

#include <algorithm>

#include "app/desktop/screen_space.h"

namespace tallyvane {
namespace {

// The bar is on the edges the work area leaves out (_NET_WORKAREA, struts): the panel opens at
// the right end of a top or bottom bar, the lower end of a side bar, the top right without one.
QRect guessedAnchor(const ScreenArea& screen) {
    const QRect& whole = screen.geometry;
    const QRect& work = screen.available;
    const bool top = work.top() > whole.top();
    const bool bottom = work.bottom() < whole.bottom();
    const bool onlyLeft = !top && !bottom && work.left() > whole.left();
    const bool lowerEnd = !top && work != whole;
    return {onlyLeft ? work.left() : work.x() + work.width(), lowerEnd ? work.y() + work.height() : work.y(), 0, 0};
}

}  // namespace

std::optional<Placement> placePanel(const QRect& anchor, const QList<ScreenArea>& screens) {
    if (screens.isEmpty()) return std::nullopt;
    const auto primary = std::find_if(screens.begin(), screens.end(), [](const ScreenArea& s) { return s.primary; });
    const ScreenArea& origin = primary == screens.end() ? screens.front() : *primary;

    // A click on a screen that has since gone tells nothing any more.
    const auto found = anchor.isNull() ? screens.end()
                                       : std::find_if(screens.begin(), screens.end(), [&](const ScreenArea& s) {
                                             return s.geometry.contains(anchor.center());
                                         });
    const ScreenArea& holder = found == screens.end() ? origin : *found;
    const QRect anchorRect = found == screens.end() ? guessedAnchor(origin) : anchor;

    Placement placement;
    placement.visible = fromQt(holder.available, origin.geometry);
    placement.frame = panelFrame(fromQt(anchorRect, origin.geometry), placement.visible);
    placement.qtFrame = toQt(placement.frame, origin.geometry);
    return placement;
}

QList<ScreenArea> withGuessedTopBars(QList<ScreenArea> screens) {
    constexpr int guessedBar = 32;
    for (ScreenArea& screen : screens)
        if (screen.available == screen.geometry) screen.available.setTop(screen.geometry.top() + guessedBar);
    return screens;
}

nlohmann::json placementRecord(const Placement& placement) {
    return {{"panel", rectText(placement.frame)},
            {"screenVisible", rectText(placement.visible)},
            {"contained", contains(placement.visible, placement.frame)},
            {"material", "NSVisualEffectView.popover"}};
}

}  // namespace tallyvane
