#include "app/desktop/placement.h"

#include <algorithm>

#include "app/desktop/screen_space.h"

namespace tallyvane {

std::optional<Placement> placePanel(const QRect& anchor, const QList<ScreenArea>& screens) {
    if (screens.isEmpty()) return std::nullopt;
    const auto primary = std::find_if(screens.begin(), screens.end(), [](const ScreenArea& s) { return s.primary; });
    const ScreenArea& origin = primary == screens.end() ? screens.front() : *primary;

    const ScreenArea* holder = &origin;
    QRect anchorRect = anchor;
    if (anchor.isNull()) {
        anchorRect = QRect(origin.available.x() + origin.available.width(), origin.available.y(), 0, 0);
    } else {
        const auto found = std::find_if(screens.begin(), screens.end(),
                                        [&](const ScreenArea& s) { return s.geometry.contains(anchor.center()); });
        if (found != screens.end()) holder = &*found;
    }

    Placement placement;
    placement.visible = fromQt(holder->available, origin.geometry);
    placement.frame = panelFrame(fromQt(anchorRect, origin.geometry), placement.visible);
    placement.qtFrame = toQt(placement.frame, origin.geometry);
    return placement;
}

nlohmann::json placementRecord(const Placement& placement) {
    return {{"panel", rectText(placement.frame)},
            {"screenVisible", rectText(placement.visible)},
            {"contained", contains(placement.visible, placement.frame)},
            {"material", "NSVisualEffectView.popover"}};
}

}  // namespace tallyvane
