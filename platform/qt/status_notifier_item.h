#pragma once
// A tray item spoken over the StatusNotifierItem D-Bus protocol, registered with the session's
// org.kde.StatusNotifierWatcher. Carries an icon, a text label (XAyatanaLabel) and a tooltip,
// and knows which program hosts the watcher, since only some hosts draw the label.
#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>

#include "platform/qt/sni_types.h"

class QDBusServiceWatcher;

namespace tallyvane {

class SniAdaptor;

class StatusNotifierItem final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char* objectPath = "/StatusNotifierItem";

    // Exports the item on `bus` and registers it with the watcher whenever one is present.
    StatusNotifierItem(QDBusConnection bus, const QString& id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    bool watcherPresent() const { return watcherPresent_; }
    // The file name of the executable that owns the watcher (its /proc/PID/exe); empty when there
    // is no watcher or its process cannot be told.
    const QString& hostProgram() const { return hostProgram_; }
    QString serviceName() const { return serviceName_; }

    void setLabel(const QString& label, const QString& guide);
    void setToolTip(const QString& title, const QString& text);
    void setIcon(const QList<QImage>& sizes);
    void setNeedsAttention(bool needsAttention);

    // Read by the adaptor.
    const QString& id() const { return id_; }
    const QString& label() const { return label_; }
    const QString& labelGuide() const { return labelGuide_; }
    const SniToolTip& toolTip() const { return toolTip_; }
    const SniPixmaps& icon() const { return icon_; }
    QString status() const;
    void activate(QPoint position) { Q_EMIT activated(position); }

Q_SIGNALS:
    // The host's click position, in the screen's native pixels; (0, 0) when the host gives none.
    void activated(QPoint nativePosition);
    // A host that does not show the exported menu asks for it, at a position as above.
    void contextMenuRequested(QPoint nativePosition);
    // The watcher came, went or changed hands.
    void watcherChanged();

private:
    void registerWithWatcher();
    void followWatcher(const QString& owner);

    QDBusConnection bus_;
    QString id_;
    QString serviceName_;
    SniAdaptor* adaptor_;
    QDBusServiceWatcher* watcher_;
    bool watcherPresent_ = false;
    QString hostProgram_;
    bool needsAttention_ = false;
    QString label_;
    QString labelGuide_;
    SniToolTip toolTip_;
    SniPixmaps icon_;
};

}  // namespace tallyvane
