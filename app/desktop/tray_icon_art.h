#pragma once
// The tray item's images, drawn at every size a host may ask for: the highest percentage, or a
// bar chart where the host draws the text label or before any reading. Fixed colours that read
// on dark and light bars alike, whatever the panel's palette, in a state colour (teal, orange
// from 75 %, red from 90 %). The number fills the icon, with a light edge and a dark one; a
// problem draws an orange line under it below 32 px, a « ! » badge from 32 px. The chart's bars
// sit inside a dark outline and a light halo, orange on a problem below 32 px.
#include <QImage>
#include <QList>
#include <optional>

namespace tallyvane {

inline constexpr int trayIconSizes[] = {16, 22, 24, 32, 48, 64};

// One image per size in trayIconSizes. `figure`: draw the percentage (when there is one) rather
// than the chart; `error`: show the problem.
QList<QImage> trayIcons(std::optional<double> highest, bool error, bool figure);

}  // namespace tallyvane
