#include "ui/status_line.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "model/panel_texts.h"
#include "model/usage_model.h"
#include "ui/system_colors.h"
#include "ui/text_styles.h"

namespace tallyvane {

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) { setFixedSize(6, 6); }

void StatusDot::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    painter.drawEllipse(rect());
}

StatusLine::StatusLine(QWidget* parent)
    : QWidget(parent),
      dot_(new StatusDot(this)),
      reading_(new QLabel(this)),
      period_(new QLabel(QString::fromUtf8(refreshPeriodText), this)) {
    setObjectName(QStringLiteral("statusLine"));
    dot_->setObjectName(QStringLiteral("statusDot"));
    reading_->setObjectName(QStringLiteral("readingTime"));
    period_->setObjectName(QStringLiteral("refreshPeriod"));
    reading_->setTextFormat(Qt::PlainText);

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(dot_);
    line->addWidget(reading_);
    line->addStretch();
    line->addWidget(period_);
    applyStyle();
}

void StatusLine::applyStyle() {
    for (QLabel* label : {reading_, period_}) {
        label->setFont(textFont(TextStyle::Caption2));
        setForeground(label, secondaryText(palette()));
    }
}

void StatusLine::display(const UsageModel& model) {
    const bool fresh = !model.error() && model.updated();
    dot_->setColor(systemColor(fresh ? SystemColor::Green : SystemColor::Orange, palette()));
    reading_->setText(QString::fromStdString(readingText(model.updated())));
}

}  // namespace tallyvane
