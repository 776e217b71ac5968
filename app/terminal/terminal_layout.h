#pragma once
// The panel's content laid out as terminal lines, with SGR colours when asked: pure, so that it
// is tested without a terminal. The quota windows and the token figures sit in a column as wide
// as the bar. From `cuttingWidth` columns on, long texts wrap to that column; below it every
// text keeps to one line and whatever passes the terminal's width is cut with « … ».
#include <string>
#include <string_view>
#include <vector>

#include "app/terminal/panel_lines.h"

namespace tallyvane {

inline constexpr int maxBarCells = 40;
inline constexpr int cuttingWidth = 60;

// Lines without line feeds; none is wider than `width` columns.
std::vector<std::string> terminalLines(const PanelLines& lines, int width, bool colour);

// Columns `text` takes on a terminal: one per code point (the bar's block characters take one
// each), none for its SGR sequences.
int displayWidth(std::string_view text);

}  // namespace tallyvane
