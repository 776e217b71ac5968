#pragma once
// One quota window: its name and consumed share, a bar in the usage colour with the even-pace tick,
// what remains (with when it would run out, in orange, when that comes before the reset) and the reset
// time. A click on it opens its history chart under it. The view reuses a row for as long as its
// window id lasts.
#include <functional>
#include <optional>

#include <QWidget>

#include "model/forecast.h"
#include "model/quota_window.h"
#include "ui/chart_data.h"

class QLabel;

namespace tallyvane {

class ToggleArea;
class UsageBar;
class UsageChart;

class QuotaRow final : public QWidget {
public:
    explicit QuotaRow(QWidget* parent = nullptr);
    // `chart` is what the open chart shows; nothing folds it.
    void display(const QuotaWindow& window, const Forecast& outlook, std::optional<ChartData> chart);
    void applyStyle();
    // Runs on a click on the row, or Space or Enter while it has the focus.
    void setOnToggle(std::function<void()> toggle);
    const std::string& windowId() const { return id_; }
    QWidget* toggleArea() const;

private:
    QColor remainingColour() const;

    std::string id_;
    bool exhaustionShown_ = false;
    ToggleArea* summary_;
    QLabel* name_;
    QLabel* used_;
    UsageBar* bar_;
    QLabel* remaining_;
    QLabel* reset_;
    UsageChart* chart_;
};

}  // namespace tallyvane
