#pragma once
// The four accent colours of the panel, each with a light and a dark value, and the text
// colours derived from the widget's palette. Dark or light follows the palette's window colour.
#include <QColor>
#include <QPalette>

class QWidget;

namespace tallyvane {

enum class SystemColor { Teal, Orange, Red, Green };

bool isDark(const QPalette& palette);
QColor systemColor(SystemColor color, const QPalette& palette);

// Text at reduced emphasis, and the hairline of the dividers.
QColor secondaryText(const QPalette& palette);
QColor separatorColor(const QPalette& palette);

// The bar colour of a consumed percentage: the colour of its usage level (red, orange, teal).
SystemColor usageTint(double percentage);

// Sets the colour a label or frame draws its foreground with; no-op when already so.
void setForeground(QWidget* widget, const QColor& color);

}  // namespace tallyvane
