#include "app/desktop/tray_icon_art.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "model/formatting.h"
#include "ui/system_colors.h"

namespace tallyvane {
namespace {

QImage blank(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The digits as one outline scaled into `box`, so that even "100" stays whole at 16 pixels.
void drawFitted(QPainter& painter, const QString& text, const QRectF& box, const QColor& color) {
    QFont font;
    font.setPixelSize(100);
    font.setWeight(QFont::Bold);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    const double scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    painter.save();
    painter.translate(box.center());
    painter.scale(scale, scale);
    painter.translate(-bounds.center());
    painter.fillPath(path, color);
    painter.restore();
}

}  // namespace

QImage barChartIcon(int size, const QColor& foreground) {
    QImage image = blank(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 16.0;
    const double heights[] = {6, 10, 14};
    for (int bar = 0; bar < 3; ++bar) {
        const QRectF rect(unit * (1.5 + bar * 4.5), unit * (15 - heights[bar]), unit * 3.5, unit * heights[bar]);
        painter.setPen(Qt::NoPen);
        painter.setBrush(foreground);
        painter.drawRoundedRect(rect, unit * 0.8, unit * 0.8);
    }
    return image;
}

QImage percentIcon(int size, double used, bool error, const QPalette& palette) {
    QImage image = blank(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor tint = systemColor(usageTint(used), palette);
    const QColor foreground = palette.color(QPalette::WindowText);

    const double barHeight = std::max(2.0, size / 8.0);
    const QRectF digits(size * 0.04, size * 0.06, size * 0.92, size - barHeight - size * 0.16);
    drawFitted(painter, QString::number(roundedPercent(used)), digits, tint);

    const QRectF track(size * 0.06, size - barHeight, size * 0.88, barHeight);
    QColor trackColor = foreground;
    trackColor.setAlphaF(0.3f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, barHeight / 2, barHeight / 2);
    QRectF fill = track;
    fill.setWidth(track.width() * std::clamp(used, 0.0, 100.0) / 100.0);
    painter.setBrush(tint);
    painter.drawRoundedRect(fill, barHeight / 2, barHeight / 2);

    if (error) {
        // A badge in the top-right corner, cut out from the digits so it reads on any background.
        const double diameter = std::max(7.0, size * 0.42);
        const QRectF badge(size - diameter, 0, diameter, diameter);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setBrush(Qt::black);
        painter.drawEllipse(badge.adjusted(-1, -1, 1, 1));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setBrush(systemColor(SystemColor::Orange, palette));
        painter.drawEllipse(badge);
        drawFitted(painter, QStringLiteral("!"), badge.adjusted(diameter * 0.3, diameter * 0.18, -diameter * 0.3,
                                                                 -diameter * 0.18),
                   Qt::white);
    }
    return image;
}

QList<QImage> barChartIcons(const QPalette& palette) {
    QList<QImage> icons;
    for (int size : trayIconSizes) icons.append(barChartIcon(size, palette.color(QPalette::WindowText)));
    return icons;
}

QList<QImage> percentIcons(double used, bool error, const QPalette& palette) {
    QList<QImage> icons;
    for (int size : trayIconSizes) icons.append(percentIcon(size, used, error, palette));
    return icons;
}

}  // namespace tallyvane
