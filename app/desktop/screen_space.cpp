#include "app/desktop/screen_space.h"

#include <cmath>

namespace tallyvane {
namespace {

// QRect's bottom() is one short of the edge; work with the edge itself.
double bottomEdge(const QRect& rect) { return double(rect.y()) + rect.height(); }

}  // namespace

Rect fromQt(const QRectF& rect, const QRect& primaryScreen) {
    return {rect.x() - primaryScreen.x(), bottomEdge(primaryScreen) - (rect.y() + rect.height()), rect.width(),
            rect.height()};
}

QRect toQt(const Rect& rect, const QRect& primaryScreen) {
    const auto whole = [](double value) { return static_cast<int>(std::lround(value)); };
    return {whole(rect.x + primaryScreen.x()), whole(bottomEdge(primaryScreen) - rect.maxY()), whole(rect.width),
            whole(rect.height)};
}

}  // namespace tallyvane
