#include "platform/qt/tray_item.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>

#include "platform/qt/status_notifier_item.h"
#include "platform/qt/x_selection.h"

namespace tallyvane {
namespace {

QList<ScreenScale> screenScales() {
    QList<ScreenScale> scales;
    for (const QScreen* screen : QGuiApplication::screens()) scales.append({screen->geometry(), screen->devicePixelRatio()});
    return scales;
}

// A click position becomes a one-pixel anchor; hosts that know no position send (0, 0).
QRect anchorAt(QPoint native) {
    if (native.isNull()) return {};
    return {logicalFromNative(native, screenScales()), QSize(1, 1)};
}

}  // namespace

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
      sni_(std::make_unique<StatusNotifierItem>(std::move(sessionBus), QStringLiteral("Tallyvane"))) {
    connect(sni_.get(), &StatusNotifierItem::activated, this,
            [this](QPoint native) { Q_EMIT activated(anchorAt(native)); });
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

void TrayItem::followHost() {
    if (usesStatusNotifier()) {
        fallback_.reset();
        return;
    }
    if (fallback_) return;
    fallback_ = std::make_unique<QSystemTrayIcon>();
    connect(fallback_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            Q_EMIT activated(fallback_->geometry());
    });
    setToolTip(toolTip_);
    showFallbackIcon();
}

}  // namespace tallyvane
