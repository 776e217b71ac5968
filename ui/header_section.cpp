#include "ui/header_section.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "model/panel_texts.h"
#include "ui/spinner.h"
#include "ui/symbols.h"
#include "ui/system_colors.h"
#include "ui/text_styles.h"

namespace tallyvane {

HeaderSection::HeaderSection(QWidget* parent)
    : QWidget(parent),
      icon_(new QLabel(this)),
      title_(new QLabel(QString::fromUtf8(titleText), this)),
      subtitle_(new QLabel(this)),
      spinner_(new Spinner(this)) {
    setObjectName(QStringLiteral("header"));
    icon_->setObjectName(QStringLiteral("headerIcon"));
    title_->setObjectName(QStringLiteral("title"));
    subtitle_->setObjectName(QStringLiteral("subtitle"));
    spinner_->setObjectName(QStringLiteral("spinner"));
    spinner_->hide();

    auto* titleBlock = new QVBoxLayout;
    titleBlock->setSpacing(1);
    titleBlock->addWidget(title_);
    titleBlock->addWidget(subtitle_);

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(icon_);
    line->addLayout(titleBlock);
    line->addStretch();
    line->addWidget(spinner_);
    applyStyle();
}

void HeaderSection::applyStyle() {
    // The symbol is as tall as a title 2 line, like an icon set in that text style.
    const int iconSize = QFontMetrics(textFont(TextStyle::Title2)).height();
    icon_->setPixmap(symbolPixmap(Symbol::BarChart, iconSize, systemColor(SystemColor::Teal, palette()),
                                  devicePixelRatioF()));
    title_->setFont(textFont(TextStyle::Headline));
    subtitle_->setFont(textFont(TextStyle::Caption));
    setForeground(subtitle_, secondaryText(palette()));
}

void HeaderSection::display(bool refreshing, bool demo) {
    subtitle_->setText(QString::fromStdString(subtitleText(demo)));
    spinner_->setVisible(refreshing);
}

}  // namespace tallyvane
