#include "ui/quota_row.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "model/panel_texts.h"
#include "ui/plain_label.h"
#include "ui/system_colors.h"
#include "ui/text_styles.h"
#include "ui/toggle_area.h"
#include "ui/usage_bar.h"
#include "ui/usage_chart.h"

namespace tallyvane {
namespace {

constexpr int lineSpacing = 5;
constexpr int chartSpacing = 8;

}  // namespace

QuotaRow::QuotaRow(QWidget* parent)
    : QWidget(parent),
      summary_(new ToggleArea(this)),
      name_(plainLabel("quotaName", {}, summary_)),
      used_(plainLabel("quotaUsed", {}, summary_)),
      bar_(new UsageBar(summary_)),
      remaining_(plainLabel("quotaRemaining", {}, summary_)),
      reset_(plainLabel("quotaReset", {}, summary_)),
      chart_(new UsageChart(this)) {
    setObjectName(QStringLiteral("quotaRow"));
    summary_->setObjectName(QStringLiteral("quotaToggle"));
    bar_->setObjectName(QStringLiteral("quotaBar"));
    chart_->setObjectName(QStringLiteral("quotaChart"));
    chart_->hide();

    auto* title = new QHBoxLayout;
    title->addWidget(name_);
    title->addStretch();
    title->addWidget(used_);

    auto* detail = new QHBoxLayout;
    detail->addWidget(remaining_);
    detail->addStretch();
    detail->addWidget(reset_);

    // The bar's pace tick stands out above and below its track: the spacing around it gives that room back.
    auto* lines = new QVBoxLayout(summary_);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(0);
    lines->addLayout(title);
    lines->addSpacing(lineSpacing - UsageBar::tickOverhang);
    lines->addWidget(bar_);
    lines->addSpacing(lineSpacing - UsageBar::tickOverhang);
    lines->addLayout(detail);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(chartSpacing);
    column->addWidget(summary_);
    column->addWidget(chart_);
    applyStyle();
}

QWidget* QuotaRow::toggleArea() const { return summary_; }

void QuotaRow::setOnToggle(std::function<void()> toggle) { summary_->onToggle = std::move(toggle); }

QColor QuotaRow::remainingColour() const {
    return exhaustionShown_ ? systemColor(SystemColor::Orange, palette()) : secondaryText(palette());
}

void QuotaRow::applyStyle() {
    name_->setFont(withWeight(textFont(TextStyle::Subheadline), QFont::Medium));
    used_->setFont(withTabularDigits(withWeight(textFont(TextStyle::Subheadline), QFont::DemiBold)));
    const QFont detail = textFont(TextStyle::Caption2);
    remaining_->setFont(detail);
    reset_->setFont(detail);
    setForeground(remaining_, remainingColour());
    setForeground(reset_, secondaryText(palette()));
    chart_->applyStyle();
}

void QuotaRow::display(const QuotaWindow& window, const Forecast& outlook, std::optional<ChartData> chart) {
    id_ = window.id;
    name_->setText(QString::fromStdString(window.name));
    used_->setText(QString::fromStdString(usedText(window.used)));
    if (summary_->accessibleDescription() != name_->text()) summary_->setAccessibleDescription(name_->text());
    bar_->setValue(window.used, systemColor(usageTint(window.used), palette()));
    bar_->setPace(outlook.pace);
    remaining_->setText(QString::fromStdString(remainingText(window.used, outlook.exhausted)));
    exhaustionShown_ = outlook.exhausted.has_value();
    setForeground(remaining_, remainingColour());
    if (window.reset) reset_->setText(QString::fromStdString(resetText(*window.reset)));
    reset_->setVisible(window.reset.has_value());
    summary_->setOpen(chart.has_value());
    if (chart) chart_->setData(std::move(*chart));
    chart_->setVisible(chart.has_value());
}

}  // namespace tallyvane
