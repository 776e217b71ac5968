#pragma once
// A stand-in for the desktop's tray: the org.kde.StatusNotifierWatcher that items register with, and a host
// that reads an item's properties, calls its methods and hears its signals.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>

#include "platform/qt/sni_types.h"

namespace tallyvane::testing {

// Serves while it lives.
class TestWatcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    explicit TestWatcher(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.registerObject("/StatusNotifierWatcher", this, QDBusConnection::ExportAllSlots);
        bus_.registerService("org.kde.StatusNotifierWatcher");
    }
    ~TestWatcher() override { bus_.unregisterService("org.kde.StatusNotifierWatcher"), bus_.unregisterObject("/StatusNotifierWatcher"); }
    const QStringList& items() const { return items_; }
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { items_.append(service); }
private:
    QDBusConnection bus_;
    QStringList items_;
};

class SniReader final : public QObject {
    Q_OBJECT
public:
    SniReader(QDBusConnection bus, QString service) : bus_(std::move(bus)), service_(std::move(service)) {
        bus_.connect(service_, path, interface, QString(), this, SLOT(record(QDBusMessage)));
    }
    // BlockWithGui keeps the event loop turning, so that an item living in this very process can answer.
    QVariant property(const QString& name) const {
        auto get = QDBusMessage::createMethodCall(service_, path, "org.freedesktop.DBus.Properties", "Get");
        const QDBusMessage reply = bus_.call(get << interface << name, QDBus::BlockWithGui, 5000);
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().front().value<QDBusVariant>().variant();
    }
    QString text(const char* name) const { return property(QString::fromLatin1(name)).toString(); }
    SniToolTip toolTip() const { return qdbus_cast<SniToolTip>(property(QStringLiteral("ToolTip"))); }
    SniPixmaps icon() const { return qdbus_cast<SniPixmaps>(property(QStringLiteral("IconPixmap"))); }
    bool activate(int x, int y) const {
        auto call = QDBusMessage::createMethodCall(service_, path, interface, QStringLiteral("Activate"));
        return bus_.call(call << x << y, QDBus::BlockWithGui, 5000).type() == QDBusMessage::ReplyMessage;
    }
    QStringList heard;  // the names of the signals received
private Q_SLOTS:
    void record(const QDBusMessage& message) { heard.append(message.member()); }
private:
    static constexpr const char* path = "/StatusNotifierItem";
    static constexpr const char* interface = "org.kde.StatusNotifierItem";
    QDBusConnection bus_;
    QString service_;
};

}  // namespace tallyvane::testing
