#pragma once
// The token counts Codex reports: the latest day's figure with its date, the lifetime total,
// a fixed note on what they mean and the last token error. A click on the figure opens the chart
// of the last 30 days under it.
#include <functional>
#include <optional>

#include <QWidget>

#include "ui/chart_data.h"

class QLabel;

namespace tallyvane {

class ToggleArea;
class UsageChart;
class UsageModel;

class TokenSection final : public QWidget {
public:
    explicit TokenSection(QWidget* parent = nullptr);
    // `chart` is what the open chart shows; nothing folds it.
    void display(const UsageModel& model, std::optional<ChartData> chart);
    void applyStyle();
    // Runs on a click on the figure, or Space or Enter while it has the focus.
    void setOnToggle(std::function<void()> toggle);
    QWidget* toggleArea() const;

private:
    QLabel* heading_;
    ToggleArea* figureLine_;
    QLabel* figure_;
    QLabel* day_;
    QLabel* lifetimeCaption_;
    QLabel* lifetime_;
    QLabel* note_;
    QLabel* error_;
    UsageChart* chart_;
};

}  // namespace tallyvane
