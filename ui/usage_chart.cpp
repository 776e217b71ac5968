#include "ui/usage_chart.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/system_colors.h"
#include "ui/text_styles.h"

namespace tallyvane {
namespace {

constexpr qreal plotHeight = 84;
constexpr qreal labelGap = 4;
constexpr qreal bottomGap = 2;  // keeps the labels off the text that follows
constexpr qreal gutterGap = 6;
constexpr qreal barShare = 0.7;  // of each day's slot; the rest is the gap between bars
constexpr qreal dotRadius = 3;
const char* const emptyText = "Pas encore d’historique";

QColor withAlpha(QColor color, float alpha) {
    color.setAlphaF(alpha);
    return color;
}

QPen dashed(const QColor& color, qreal width) {
    QPen pen(color, width, Qt::CustomDashLine, Qt::FlatCap);
    pen.setDashPattern({3, 3});
    return pen;
}

}  // namespace

UsageChart::UsageChart(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    applyStyle();
}

void UsageChart::applyStyle() {
    setFont(textFont(TextStyle::Caption));
    const QFontMetricsF metrics(font());
    // Room above the plot for half a label centred on its top line, and a line of labels under it.
    setFixedHeight(
        static_cast<int>(std::ceil(metrics.height() / 2 + plotHeight + labelGap + metrics.height() + bottomGap)));
    layOut();
    update();
}

void UsageChart::setData(ChartData data) {
    if (data == data_) return;
    data_ = std::move(data);
    layOut();
    update();
}

void UsageChart::resizeEvent(QResizeEvent* event) {
    layOut();
    QWidget::resizeEvent(event);
}

QPointF UsageChart::toPlot(QPointF point) const {
    return {plot_.left() + point.x() * plot_.width(), plot_.bottom() - point.y() * plot_.height()};
}

void UsageChart::layOut() {
    const QFontMetricsF metrics(font());
    qreal gutter = 0;
    for (const auto& [level, label] : data_.marks) gutter = std::max(gutter, metrics.horizontalAdvance(label));
    plot_ = QRectF(0, std::ceil(metrics.height() / 2), std::max<qreal>(width() - gutter - gutterGap, 1), plotHeight);

    line_.clear();
    for (const QPointF& point : data_.line) line_ << toPlot(point);
    area_ = line_;
    if (!line_.isEmpty())
        area_ << QPointF(line_.last().x(), plot_.bottom()) << QPointF(line_.first().x(), plot_.bottom());
    pace_ = data_.pace ? QLineF(toPlot(data_.pace->p1()), toPlot(data_.pace->p2())) : QLineF();
    forecast_ = data_.forecast ? QLineF(toPlot(data_.forecast->p1()), toPlot(data_.forecast->p2())) : QLineF();

    bars_.clear();
    const qreal slot = data_.bars.empty() ? 0 : plot_.width() / static_cast<qreal>(data_.bars.size());
    const qreal barWidth = std::max<qreal>(slot * barShare, 1);
    for (std::size_t index = 0; index < data_.bars.size(); ++index) {
        // A day with a few tokens keeps a sliver, so that it does not read as a day without any.
        const double share = data_.bars[index];
        const qreal height = share > 0 ? std::max<qreal>(share * plot_.height(), 1.5) : 0;
        bars_.emplace_back(plot_.left() + static_cast<qreal>(index) * slot + (slot - barWidth) / 2,
                           plot_.bottom() - height, barWidth, height);
    }
}

void UsageChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QColor secondary = secondaryText(colours);
    const QColor tint = systemColor(data_.tint, colours);
    const QFontMetricsF metrics(font());

    if (line_.isEmpty() && bars_.empty()) {
        painter.setPen(secondary);
        painter.drawText(plot_, Qt::AlignCenter, QString::fromUtf8(emptyText));
        return;
    }
    // The axis and the level lines as one-pixel rectangles: crisp, and far cheaper than stroked lines.
    const auto rule = [&](qreal y) {
        painter.fillRect(QRectF(plot_.left(), std::floor(y), plot_.width(), 1), separatorColor(colours));
    };
    rule(plot_.bottom());
    for (const auto& [level, label] : data_.marks) rule(toPlot({0, level}).y());
    painter.setPen(secondary);
    for (const auto& [level, label] : data_.marks) {
        const qreal y = toPlot({0, level}).y();
        painter.drawText(QRectF(plot_.right() + gutterGap, y - metrics.height() / 2, width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    const QRectF axisLabels(plot_.left(), plot_.bottom() + labelGap, plot_.width(), metrics.height());
    painter.drawText(axisLabels, Qt::AlignLeft, data_.startLabel);
    painter.drawText(axisLabels, Qt::AlignRight, data_.endLabel);

    painter.setPen(Qt::NoPen);
    for (std::size_t index = 0; index < bars_.size(); ++index) {
        painter.setBrush(static_cast<int>(index) == data_.highlighted ? tint : withAlpha(tint, 0.35f));
        painter.drawRoundedRect(bars_[index], 1.5, 1.5);
    }
    if (line_.isEmpty()) return;

    // The faint area lies under the line, which hides its edge: no need to smooth it.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(withAlpha(tint, 0.15f));
    painter.drawPolygon(area_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    if (data_.pace) {
        painter.setPen(dashed(secondary, 1));
        painter.drawLine(pace_);
    }
    painter.setPen(QPen(tint, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
    painter.drawPolyline(line_);
    if (data_.forecast) {
        painter.setPen(dashed(data_.exhausts ? systemColor(SystemColor::Orange, colours) : tint, 1.5));
        painter.drawLine(forecast_);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawEllipse(line_.last(), dotRadius, dotRadius);
}

}  // namespace tallyvane
