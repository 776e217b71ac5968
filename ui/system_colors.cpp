#include "ui/system_colors.h"

#include <QWidget>

#include "model/panel_texts.h"

namespace tallyvane {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QColor systemColor(SystemColor color, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (color) {
    case SystemColor::Teal: return dark ? QColor(0x40, 0xC8, 0xE0) : QColor(0x30, 0xB0, 0xC7);
    case SystemColor::Orange: return dark ? QColor(0xFF, 0x9F, 0x0A) : QColor(0xFF, 0x95, 0x00);
    case SystemColor::Red: return dark ? QColor(0xFF, 0x45, 0x3A) : QColor(0xFF, 0x3B, 0x30);
    case SystemColor::Green: return dark ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59);
    }
    return palette.color(QPalette::WindowText);
}

QColor secondaryText(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(isDark(palette) ? 0.55f : 0.5f);
    return color;
}

QColor separatorColor(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(isDark(palette) ? 0.2f : 0.15f);
    return color;
}

SystemColor usageTint(double percentage) {
    switch (usageLevel(percentage)) {
    case UsageLevel::Critical: return SystemColor::Red;
    case UsageLevel::Warning: return SystemColor::Orange;
    case UsageLevel::Normal: return SystemColor::Teal;
    }
    return SystemColor::Teal;
}

void setForeground(QWidget* widget, const QColor& color) {
    if (widget->palette().color(QPalette::WindowText) == color) return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

}  // namespace tallyvane
