#include "ui/quota_row.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "model/panel_texts.h"
#include "ui/plain_label.h"
#include "ui/system_colors.h"
#include "ui/text_styles.h"
#include "ui/usage_bar.h"

namespace tallyvane {

QuotaRow::QuotaRow(QWidget* parent)
    : QWidget(parent),
      name_(plainLabel("quotaName", {}, this)),
      used_(plainLabel("quotaUsed", {}, this)),
      bar_(new UsageBar(this)),
      remaining_(plainLabel("quotaRemaining", {}, this)),
      reset_(plainLabel("quotaReset", {}, this)) {
    setObjectName(QStringLiteral("quotaRow"));
    bar_->setObjectName(QStringLiteral("quotaBar"));

    auto* title = new QHBoxLayout;
    title->addWidget(name_);
    title->addStretch();
    title->addWidget(used_);

    auto* detail = new QHBoxLayout;
    detail->addWidget(remaining_);
    detail->addStretch();
    detail->addWidget(reset_);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(5);
    rows->addLayout(title);
    rows->addWidget(bar_);
    rows->addLayout(detail);
    applyStyle();
}

void QuotaRow::applyStyle() {
    name_->setFont(withWeight(textFont(TextStyle::Subheadline), QFont::Medium));
    used_->setFont(withTabularDigits(withWeight(textFont(TextStyle::Subheadline), QFont::DemiBold)));
    const QFont detail = textFont(TextStyle::Caption2);
    remaining_->setFont(detail);
    reset_->setFont(detail);
    setForeground(remaining_, secondaryText(palette()));
    setForeground(reset_, secondaryText(palette()));
}

void QuotaRow::display(const QuotaWindow& window) {
    id_ = window.id;
    name_->setText(QString::fromStdString(window.name));
    used_->setText(QString::fromStdString(usedText(window.used)));
    bar_->setValue(window.used, systemColor(usageTint(window.used), palette()));
    remaining_->setText(QString::fromStdString(remainingText(window.used)));
    if (window.reset) reset_->setText(QString::fromStdString(resetText(*window.reset)));
    reset_->setVisible(window.reset.has_value());
}

}  // namespace tallyvane
