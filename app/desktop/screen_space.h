#pragma once
// The one crossing between Qt's global coordinates (origin at the top left of the virtual
// desktop, y downward) and the panel geometry's (origin at the lower-left corner of the primary
// screen, y upward). Both are in Qt's device-independent pixels.
#include <QRect>
#include <QRectF>

#include "app/panel_geometry.h"

namespace tallyvane {

Rect fromQt(const QRectF& rect, const QRect& primaryScreen);
// Rounded to whole pixels, as windows are placed.
QRect toQt(const Rect& rect, const QRect& primaryScreen);

}  // namespace tallyvane
