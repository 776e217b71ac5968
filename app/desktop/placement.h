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

// Uses the screen holding the anchor's centre. A null anchor (the host told nothing of a click)
// or one on no screen (a screen unplugged since) is guessed from the primary screen's usable
// area: the right end of a top or bottom bar, the lower end of a side bar, the top right when
// nothing is reserved (with a top bar among several, the top one). Nothing when there is no screen.
std::optional<Placement> placePanel(const QRect& anchor, const QList<ScreenArea>& screens);

// Under XWayland the compositor publishes no work area (sway): a screen whose usable area is the
// whole of it gets a bar guessed at its top, waybar's default place, 32 px tall, so that the panel
// opens below it rather than over it.
QList<ScreenArea> withGuessedTopBars(QList<ScreenArea> screens);

// "panel", "screenVisible", "contained" and "material".
nlohmann::json placementRecord(const Placement& placement);

}  // namespace tallyvane
