#include "ui/usage_bar.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/system_colors.h"

namespace tallyvane {

UsageBar::UsageBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(6);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void UsageBar::setValue(double percentage, const QColor& fill) {
    const double fraction = std::isnan(percentage) ? 0 : std::clamp(percentage / 100, 0.0, 1.0);
    if (fraction == fraction_ && fill == fill_) return;
    fraction_ = fraction;
    fill_ = fill;
    update();
}

void UsageBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track = rect();
    const qreal radius = track.height() / 2;
    painter.setBrush(separatorColor(palette()));
    painter.drawRoundedRect(track, radius, radius);
    if (fraction_ <= 0) return;
    // A sliver narrower than the bar is high would lose its rounded ends, so it grows to a dot.
    QRectF filled = track;
    filled.setWidth(std::max(track.width() * fraction_, track.height()));
    painter.setBrush(fill_);
    painter.drawRoundedRect(filled, radius, radius);
}

}  // namespace tallyvane
