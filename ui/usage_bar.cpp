#include "ui/usage_bar.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/system_colors.h"

namespace tallyvane {
namespace {

constexpr qreal trackHeight = 6;
constexpr qreal tickWidth = 2;

}  // namespace

UsageBar::UsageBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(static_cast<int>(trackHeight) + 2 * tickOverhang);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void UsageBar::setValue(double percentage, const QColor& fill) {
    const double fraction = std::isnan(percentage) ? 0 : std::clamp(percentage / 100, 0.0, 1.0);
    if (fraction == fraction_ && fill == fill_) return;
    fraction_ = fraction;
    fill_ = fill;
    update();
}

void UsageBar::setPace(std::optional<double> pace) {
    if (pace && !std::isfinite(*pace)) pace.reset();
    if (pace) pace = std::clamp(*pace, 0.0, 1.0);
    if (pace == pace_) return;
    pace_ = pace;
    update();
}

void UsageBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track(0, tickOverhang, width(), trackHeight);
    const qreal radius = track.height() / 2;
    painter.setBrush(separatorColor(palette()));
    painter.drawRoundedRect(track, radius, radius);
    if (fraction_ > 0) {
        // A sliver narrower than the bar is high would lose its rounded ends, so it grows to a dot.
        QRectF filled = track;
        filled.setWidth(std::max(track.width() * fraction_, track.height()));
        painter.setBrush(fill_);
        painter.drawRoundedRect(filled, radius, radius);
    }
    if (!pace_) return;
    // A tick in the text colour, set off from the fill by a notch in the panel's colour: it reads on
    // the fill and on the track, in a light palette and a dark one.
    const qreal x = std::clamp(track.width() * *pace_, tickWidth, track.width() - tickWidth);
    const QRectF notch(x - tickWidth, track.top(), 2 * tickWidth, track.height());
    painter.fillRect(notch, palette().color(QPalette::Window));
    painter.setBrush(palette().color(QPalette::WindowText));
    painter.drawRoundedRect(QRectF(x - tickWidth / 2, 0, tickWidth, height()), tickWidth / 2, tickWidth / 2);
}

}  // namespace tallyvane
