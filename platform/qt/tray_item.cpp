#include "platform/qt/tray_item.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <algorithm>

#include "platform/qt/status_notifier_item.h"
#include "platform/qt/x_selection.h"

namespace tallyvane {
namespace {

QList<ScreenScale> screenScales() {
    QList<ScreenScale> scales;
    for (const QScreen* screen : QGuiApplication::screens()) scales.append({screen->geometry(), screen->devicePixelRatio()});
    return scales;
}

}  // namespace

QRect clickAnchor(QPoint native, const QString& hostProgram, const QList<ScreenScale>& screens) {
    if (native.isNull() || hostProgram == QLatin1String("waybar")) return {};
    return {logicalFromNative(native, screens), QSize(1, 1)};
}

QPoint logicalFromNative(QPoint native, const QList<ScreenScale>& screens) {
    for (const ScreenScale& screen : screens) {
        const QRect nativeArea(screen.logical.topLeft(), screen.logical.size() * screen.ratio);
        if (nativeArea.contains(native)) {
            const QPointF offset = QPointF(native - screen.logical.topLeft()) / screen.ratio;
            return screen.logical.topLeft() + offset.toPoint();
        }
    }
    return native;
}

bool hostDrawsLabel(const QString& hostProgram) {
    // Unity's panel and the indicator applets of Budgie, MATE and Xfce show the items of the
    // Ayatana service, labels included; their own tray applets do not.
    static const QStringList labelHosts = {QStringLiteral("gnome-shell"),
                                           QStringLiteral("ayatana-indicator-application-service"),
                                           QStringLiteral("indicator-application-service")};
    return labelHosts.contains(hostProgram);
}

TrayItem::TrayItem(QDBusConnection sessionBus, QObject* parent)
    : QObject(parent),
      sni_(std::make_unique<StatusNotifierItem>(sessionBus, QStringLiteral("Tallyvane"))),
      menu_(std::make_unique<DbusMenu>(sessionBus)),
      contextMenu_(std::make_unique<QMenu>()) {
    connect(sni_.get(), &StatusNotifierItem::activated, this, [this](QPoint native) {
        Q_EMIT activated(clickAnchor(native, sni_->hostProgram(), screenScales()));
    });
    connect(sni_.get(), &StatusNotifierItem::contextMenuRequested, this, [this](QPoint native) {
        const QRect anchor = clickAnchor(native, sni_->hostProgram(), screenScales());
        contextMenu_->popup(anchor.isNull() ? QCursor::pos() : anchor.topLeft());
    });
    connect(menu_.get(), &DbusMenu::triggered, this, &TrayItem::menuTriggered);
    connect(sni_.get(), &StatusNotifierItem::watcherChanged, this, [this] {
        followHost();
        Q_EMIT hostChanged();
    });
    followHost();
}

TrayItem::~TrayItem() = default;

bool TrayItem::usesStatusNotifier() const { return sni_->watcherPresent(); }

bool TrayItem::hostPresent() const { return usesStatusNotifier() || xScreenSelectionOwned("_NET_SYSTEM_TRAY_S"); }

QRect TrayItem::iconGeometry() const { return fallback_ ? fallback_->geometry() : QRect(); }

bool TrayItem::showsLabel() const { return usesStatusNotifier() && hostDrawsLabel(sni_->hostProgram()); }

void TrayItem::setLabel(const QString& label, const QString& guide) { sni_->setLabel(label, guide); }

void TrayItem::setToolTip(const QString& text) {
    toolTip_ = text;
    sni_->setToolTip(text.isEmpty() ? QString() : QStringLiteral("Tallyvane"), text);
    if (fallback_) fallback_->setToolTip(text);
}

void TrayItem::setIcon(const QList<QImage>& sizes) {
    if (sizes == icon_) return;  // every NewIcon makes the host fetch all sizes again
    icon_ = sizes;
    sni_->setIcon(sizes);
    showFallbackIcon();
}

void TrayItem::showFallbackIcon() {
    if (!fallback_ || icon_.isEmpty()) return;
    QIcon icon;
    for (const QImage& image : icon_) icon.addPixmap(QPixmap::fromImage(image));
    fallback_->setIcon(icon);
    fallback_->show();  // an icon-less tray icon cannot be shown
}

void TrayItem::setNeedsAttention(bool needsAttention) { sni_->setNeedsAttention(needsAttention); }

void TrayItem::setMenu(const QList<MenuEntry>& entries) {
    menu_->setEntries(entries);
    const bool sameKeys = std::equal(entries.begin(), entries.end(), entries_.begin(), entries_.end(),
                                     [](const MenuEntry& a, const MenuEntry& b) { return a.key == b.key; });
    // Rebuilt only when entries come or go, so that an open menu keeps its actions.
    if (!sameKeys) {
        contextMenu_->clear();
        for (const MenuEntry& entry : entries) {
            if (entry.key.isEmpty()) {
                contextMenu_->addSeparator();
                continue;
            }
            connect(contextMenu_->addAction(QString()), &QAction::triggered, this,
                    [this, key = entry.key] { Q_EMIT menuTriggered(key); });
        }
    }
    entries_ = entries;
    const QList<QAction*> actions = contextMenu_->actions();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].key.isEmpty()) continue;
        actions[i]->setText(QString(entries[i].label).replace(QLatin1Char('&'), QLatin1String("&&")));
        actions[i]->setEnabled(entries[i].enabled);
    }
}

void TrayItem::followHost() {
    if (usesStatusNotifier()) {
        fallback_.reset();
        return;
    }
    if (fallback_) return;
    fallback_ = std::make_unique<QSystemTrayIcon>();
    fallback_->setContextMenu(contextMenu_.get());  // Qt shows it on the right click
    connect(fallback_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) Q_EMIT activated(fallback_->geometry());
    });
    setToolTip(toolTip_);
    showFallbackIcon();
}

}  // namespace tallyvane
