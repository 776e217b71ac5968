#pragma once
// The tray item's images, drawn at every size a host may ask for: a monochrome bar chart in the
// panel's text colour, or, for hosts that hide the text label, the highest percentage itself,
// tinted like the panel's bars, over a small usage bar, with an error badge when needed.
#include <QColor>
#include <QImage>
#include <QList>
#include <QPalette>

namespace tallyvane {

inline constexpr int trayIconSizes[] = {16, 22, 24, 32, 48, 64};

QImage barChartIcon(int size, const QColor& foreground);
QImage percentIcon(int size, double used, bool error, const QPalette& palette);

QList<QImage> barChartIcons(const QPalette& palette);
QList<QImage> percentIcons(double used, bool error, const QPalette& palette);

}  // namespace tallyvane
