#pragma once
// The three symbols of the panel, drawn in one colour. The desktop's icon theme provides them
// where it has them; our own SVG drawings stand in on a bare machine.
#include <QColor>
#include <QPixmap>

namespace tallyvane {

enum class Symbol { BarChart, Warning, Power };

// A square pixmap `size` units wide at the given device pixel ratio, every opaque pixel in `color`.
QPixmap symbolPixmap(Symbol symbol, int size, const QColor& color, qreal devicePixelRatio);

}  // namespace tallyvane
