#include "ui/token_section.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "model/panel_texts.h"
#include "model/usage_model.h"
#include "ui/plain_label.h"
#include "ui/system_colors.h"
#include "ui/text_styles.h"
#include "ui/toggle_area.h"
#include "ui/usage_chart.h"

namespace tallyvane {

TokenSection::TokenSection(QWidget* parent)
    : QWidget(parent),
      heading_(plainLabel("tokenHeading", QString::fromUtf8(tokenHeadingText), this)),
      figureLine_(new ToggleArea(this)),
      figure_(plainLabel("tokenFigure", {}, figureLine_)),
      day_(plainLabel("tokenDay", {}, figureLine_)),
      lifetimeCaption_(plainLabel("lifetimeCaption", QString::fromUtf8(lifetimeCaptionText), this)),
      lifetime_(plainLabel("lifetimeValue", {}, this)),
      note_(plainLabel("tokenNote", QString::fromUtf8(tokenNoteText), this)),
      error_(plainLabel("tokenError", {}, this)),
      chart_(new UsageChart(this)) {
    setObjectName(QStringLiteral("tokenSection"));
    figureLine_->setObjectName(QStringLiteral("tokenToggle"));
    figureLine_->setAccessibleDescription(QStringLiteral("Tokens par jour"));
    chart_->setObjectName(QStringLiteral("tokenChart"));
    chart_->hide();
    note_->setWordWrap(true);
    error_->setWordWrap(true);

    // Bottom-aligned, with the day lifted by the difference in descents: the two texts share a baseline.
    auto* figureLine = new QHBoxLayout(figureLine_);
    figureLine->setContentsMargins(0, 0, 0, 0);
    figureLine->addWidget(figure_, 0, Qt::AlignBottom);
    figureLine->addStretch();
    figureLine->addWidget(day_, 0, Qt::AlignBottom);

    auto* lifetimeLine = new QHBoxLayout;
    lifetimeLine->addWidget(lifetimeCaption_);
    lifetimeLine->addStretch();
    lifetimeLine->addWidget(lifetime_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(heading_);
    column->addWidget(figureLine_);
    column->addWidget(chart_);
    column->addLayout(lifetimeLine);
    column->addWidget(note_);
    column->addWidget(error_);
    applyStyle();
}

void TokenSection::applyStyle() {
    const QColor secondary = secondaryText(palette());
    heading_->setFont(systemFont(10, QFont::DemiBold));
    setForeground(heading_, secondary);

    figure_->setFont(withTabularDigits(systemFont(27, QFont::DemiBold)));
    day_->setFont(textFont(TextStyle::Caption));
    setForeground(day_, secondary);
    const int descentGap = QFontMetrics(figure_->font()).descent() - QFontMetrics(day_->font()).descent();
    day_->setContentsMargins(0, 0, 0, std::max(descentGap, 0));

    lifetimeCaption_->setFont(textFont(TextStyle::Caption));
    lifetime_->setFont(withTabularDigits(textFont(TextStyle::Caption)));

    note_->setFont(textFont(TextStyle::Caption2));
    setForeground(note_, secondary);
    error_->setFont(textFont(TextStyle::Caption2));
    setForeground(error_, systemColor(SystemColor::Orange, palette()));
    chart_->applyStyle();
}

QWidget* TokenSection::toggleArea() const { return figureLine_; }

void TokenSection::setOnToggle(std::function<void()> toggle) { figureLine_->onToggle = std::move(toggle); }

void TokenSection::display(const UsageModel& model, std::optional<ChartData> chart) {
    figure_->setText(QString::fromStdString(tokenFigureText(model.lastTokens())));
    day_->setText(QString::fromStdString(tokenDayText(model.lastTokenDay())));
    lifetime_->setText(QString::fromStdString(lifetimeText(model.lifetime())));
    if (model.tokenError()) error_->setText(QString::fromStdString(*model.tokenError()));
    error_->setVisible(model.tokenError().has_value());
    figureLine_->setOpen(chart.has_value());
    if (chart) chart_->setData(std::move(*chart));
    chart_->setVisible(chart.has_value());
}

}  // namespace tallyvane
