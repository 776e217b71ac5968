#include "app/panel_geometry.h"

#include <algorithm>
#include <charconv>

namespace tallyvane {
namespace {

constexpr double margin = 8;
constexpr double gap = 8;

std::string number(double value) {
    if (value == 0) value = 0;  // no "-0"
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

Rect panelFrame(const Rect& anchor, const Rect& visible) {
    // A visible frame under 16 points leaves an empty area: the panel collapses to its corner.
    const Rect area{visible.x + margin, visible.y + margin, std::max(0.0, visible.width - 2 * margin),
                    std::max(0.0, visible.height - 2 * margin)};
    const double width = std::min(area.width, panelMaxWidth);
    const double fullHeight = std::min(area.height, panelMaxHeight);
    double top = anchor.minY() - gap;
    top = std::max(top, area.minY() + fullHeight);
    top = std::min(top, area.maxY());
    const double height = std::min(top - area.minY(), panelMaxHeight);
    double x = anchor.maxX() - width;
    x = std::max(x, area.minX());
    x = std::min(x, area.maxX() - width);
    return Rect{x, top - height, width, height};
}

bool contains(const Rect& outer, const Rect& inner) {
    return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
           inner.maxY() <= outer.maxY();
}

std::string rectText(const Rect& rect) {
    return "{{" + number(rect.x) + ", " + number(rect.y) + "}, {" + number(rect.width) + ", " +
           number(rect.height) + "}}";
}

}  // namespace tallyvane
