#pragma once
// The panel's content laid out as terminal lines, with SGR colours when asked: pure, so that it
// is tested without a terminal. The quota windows and the token figures sit in a column as wide
// as the bar. From `cuttingWidth` columns on, long texts wrap to that column; below it every
// text but an error keeps to one line and whatever passes the terminal's width is cut with « … ».
#include <string>
#include <string_view>
#include <vector>

#include "app/terminal/panel_lines.h"

namespace tallyvane {

inline constexpr int maxBarCells = 40;
inline constexpr int cuttingWidth = 60;

// Lines without line feeds; none is wider than `width` cells. With `maxRows` above 0 there are
// at most that many: the least useful rows give way first, down to the title, the subtitle and
// the first window's use.
std::vector<std::string> terminalLines(const PanelLines& lines, int width, int maxRows, bool colour);

// Cells `text` takes on a terminal, none for its SGR sequences.
int displayWidth(std::string_view text);

}  // namespace tallyvane
