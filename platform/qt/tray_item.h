#pragma once
// The program's tray presence: a StatusNotifierItem while the session has a watcher, otherwise
// Qt's own tray icon (the XEmbed protocol), both with the same menu. Tells whether the host draws
// the text label, and whether there is any host at all.
#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <memory>

#include "platform/qt/dbus_menu.h"

class QMenu;
class QSystemTrayIcon;

namespace tallyvane {

class StatusNotifierItem;

// A screen's area in Qt's global coordinates and its scale to native pixels.
struct ScreenScale {
    QRect logical;
    qreal ratio = 1;
};

// StatusNotifierItem hosts on X11 report clicks in root-window pixels; Qt scales each screen
// around the screen's native top-left corner. Points on no screen are taken as they are.
QPoint logicalFromNative(QPoint native, const QList<ScreenScale>& screens);

// Whether the program owning the StatusNotifierWatcher (its executable's file name) is known to
// draw an item's XAyatanaLabel beside its icon: GNOME Shell's AppIndicator extension and the
// Ayatana indicator service. Anything else, or an unknown host, hides it.
bool hostDrawsLabel(const QString& hostProgram);

// Where a host's click was, as an anchor in Qt's global coordinates; null when the host did not
// say (0, 0) or is known to send positions inside its own widget rather than on screen (waybar).
QRect clickAnchor(QPoint native, const QString& hostProgram, const QList<ScreenScale>& screens);

class TrayItem final : public QObject {
    Q_OBJECT
public:
    explicit TrayItem(QDBusConnection sessionBus, QObject* parent = nullptr);
    ~TrayItem() override;

    void setLabel(const QString& label, const QString& guide);
    void setToolTip(const QString& text);
    void setIcon(const QList<QImage>& sizes);
    void setNeedsAttention(bool needsAttention);
    void setMenu(const QList<MenuEntry>& entries);

    bool usesStatusNotifier() const;
    // A watcher is there, or an XEmbed tray owns the screen's tray selection.
    bool hostPresent() const;
    // Where the fallback icon stands on screen, in Qt's global coordinates; null when unknown.
    QRect iconGeometry() const;
    // When false the label is invisible and the icon has to carry the figure itself.
    bool showsLabel() const;
    const StatusNotifierItem& statusNotifier() const { return *sni_; }

Q_SIGNALS:
    // Where the click happened, in Qt's global coordinates; null when the host did not say.
    void activated(const QRect& anchor);
    // An entry of the menu was chosen, in a host's menu or in the fallback's.
    void menuTriggered(const QString& key);
    // The watcher came, went or changed hands: showsLabel() may have changed.
    void hostChanged();

private:
    void followHost();
    void showFallbackIcon();

    std::unique_ptr<StatusNotifierItem> sni_;
    std::unique_ptr<DbusMenu> menu_;
    std::unique_ptr<QMenu> contextMenu_;
    QList<MenuEntry> entries_;
    std::unique_ptr<QSystemTrayIcon> fallback_;
    QString toolTip_;
    QList<QImage> icon_;
};

}  // namespace tallyvane
