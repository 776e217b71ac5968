#pragma once
// The small history chart that opens under a quota row (use over the period, with the even pace and
// the forecast) or under the token figure (a bar a day). What it shows is worked out into pixels when
// its data or size change, so that painting only draws.
#include <vector>

#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <QWidget>

#include "ui/chart_data.h"

namespace tallyvane {

class UsageChart final : public QWidget {
public:
    explicit UsageChart(QWidget* parent = nullptr);
    void setData(ChartData data);
    const ChartData& data() const { return data_; }
    void applyStyle();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOut();
    QPointF toPlot(QPointF point) const;

    ChartData data_;
    QRectF plot_;
    QPolygonF line_;
    QPolygonF area_;  // under the line, down to the axis
    QLineF pace_;
    QLineF forecast_;
    std::vector<QRectF> bars_;
};

}  // namespace tallyvane
