#pragma once
// A stand-in for the desktop's org.kde.StatusNotifierWatcher: records the items that register.
#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

namespace tallyvane::testing {

class TestWatcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    // Takes the watcher's name on `bus`; check `serving()`.
    explicit TestWatcher(QDBusConnection bus);
    ~TestWatcher() override;
    bool serving() const { return serving_; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return items_; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString&) {}

private:
    QDBusConnection bus_;
    bool serving_ = false;
    QStringList items_;
};

}  // namespace tallyvane::testing
