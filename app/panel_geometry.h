#pragma once
// Where the panel goes, in screen coordinates with the origin at the lower left and y growing upward.
#include <string>

namespace tallyvane {

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
    double minX() const { return x; }
    double maxX() const { return x + width; }
    double minY() const { return y; }
    double maxY() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

inline constexpr double panelMaxWidth = 360;
inline constexpr double panelMaxHeight = 400;

// Right-aligned under the anchor, inside the visible frame less an 8-point margin.
Rect panelFrame(const Rect& anchor, const Rect& visible);

// Edges included.
bool contains(const Rect& outer, const Rect& inner);

// "{{8, 332}, {360, 400}}", each number in its shortest exact decimal form.
std::string rectText(const Rect& rect);

}  // namespace tallyvane
