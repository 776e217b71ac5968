#include "ui/spinner.h"

#include <QPainter>

namespace tallyvane {

Spinner::Spinner(QWidget* parent) : QWidget(parent) {
    setFixedSize(16, 16);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % spokes;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    QColor color = palette().color(QPalette::WindowText);
    for (int spoke = 0; spoke < spokes; ++spoke) {
        // The spoke at `step_` is the brightest; the others fade behind it.
        const int age = (step_ - spoke + spokes) % spokes;
        color.setAlphaF(1.0f - 0.8f * static_cast<float>(age) / spokes);
        painter.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -3.5), QPointF(0, -6.5));
        painter.rotate(360.0 / spokes);
    }
}

void Spinner::showEvent(QShowEvent*) { timer_.start(); }

void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

}  // namespace tallyvane
