#pragma once
// Where the panel opens for a given anchor, and the record of it kept in "placement.json".
#include <QList>
#include <QRect>
#include <optional>

#include <nlohmann/json.hpp>

#include "app/panel_geometry.h"

namespace tallyvane {

// A screen as Qt reports it, in Qt's global coordinates.
struct ScreenArea {
    QRect geometry;
    QRect available;  // without the desktop's bars
    bool primary = false;
};

struct Placement {
    Rect frame;    // the panel, lower-left origin, y upward
    Rect visible;  // the usable area of the anchor's screen, same space
    QRect qtFrame; // `frame` in Qt's global coordinates
};

// Uses the screen holding the anchor's centre (the primary one when none does). A null anchor,
// when the host told nothing of the click, stands for the top-right corner of the primary
// screen's usable area. Nothing when there is no screen.
std::optional<Placement> placePanel(const QRect& anchor, const QList<ScreenArea>& screens);

// "panel", "screenVisible", "contained" and "material".
nlohmann::json placementRecord(const Placement& placement);

}  // namespace tallyvane
