#include "ui/footer_bar.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "ui/symbols.h"
#include "ui/text_styles.h"

namespace tallyvane {

FooterBar::FooterBar(FooterActions actions, QWidget* parent)
    : QWidget(parent),
      refresh_(new QPushButton(QStringLiteral("Actualiser"), this)),
      openCodex_(new QPushButton(QStringLiteral("Ouvrir Codex"), this)),
      quit_(new QPushButton(this)) {
    setObjectName(QStringLiteral("footer"));
    refresh_->setObjectName(QStringLiteral("refreshButton"));
    openCodex_->setObjectName(QStringLiteral("openCodexButton"));
    quit_->setObjectName(QStringLiteral("quitButton"));
    quit_->setToolTip(QStringLiteral("Quitter Tallyvane"));
    quit_->setAccessibleName(QStringLiteral("Quitter Tallyvane"));
    for (QPushButton* button : {refresh_, openCodex_, quit_}) button->setAutoDefault(false);

    connect(refresh_, &QPushButton::clicked, this, [run = std::move(actions.refresh)] { run(); });
    connect(openCodex_, &QPushButton::clicked, this, [run = std::move(actions.openCodex)] { run(); });
    connect(quit_, &QPushButton::clicked, this, [run = std::move(actions.quit)] { run(); });

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(refresh_);
    line->addStretch();
    line->addWidget(openCodex_);
    line->addWidget(quit_);
    applyStyle();
}

void FooterBar::applyStyle() {
    // The desktop's small control size: the smaller text, the style's own button look.
    const QFont small = textFont(TextStyle::Subheadline);
    for (QPushButton* button : {refresh_, openCodex_, quit_}) button->setFont(small);
    const int iconSize = 14;
    quit_->setIconSize(QSize(iconSize, iconSize));
    quit_->setIcon(QIcon(symbolPixmap(Symbol::Power, iconSize, palette().color(QPalette::ButtonText),
                                      devicePixelRatioF())));
}

void FooterBar::display(bool refreshing, bool demo) {
    refresh_->setEnabled(!refreshing && !demo);
    openCodex_->setEnabled(!demo);
}

}  // namespace tallyvane
