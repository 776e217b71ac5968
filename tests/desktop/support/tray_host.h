#pragma once
// A stand-in for the desktop's tray: the org.kde.StatusNotifierWatcher that items register with, and a host
// that reads an item's properties and its menu, calls their methods and hears their signals.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>

#include "platform/qt/dbus_menu_types.h"
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
    SniReader(QDBusConnection bus, QString service, const char* objectPath = "/StatusNotifierItem",
              const char* interfaceName = "org.kde.StatusNotifierItem")
        : bus_(std::move(bus)), service_(std::move(service)), path(objectPath), interface(interfaceName) {
        bus_.connect(service_, path, interface, QString(), this, SLOT(record(QDBusMessage)));
    }
    // BlockWithGui keeps the event loop turning, so that an item living in this very process can answer.
    QList<QVariant> call(const QString& method, const QList<QVariant>& arguments) const {
        auto message = QDBusMessage::createMethodCall(service_, path, interface, method);
        message.setArguments(arguments);
        return bus_.call(message, QDBus::BlockWithGui, 5000).arguments();
    }
    QVariant property(const QString& name) const {
        auto get = QDBusMessage::createMethodCall(service_, path, "org.freedesktop.DBus.Properties", "Get");
        const QDBusMessage reply = bus_.call(get << interface << name, QDBus::BlockWithGui, 5000);
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().front().value<QDBusVariant>().variant();
    }
    // The menu's revision and its entries as "label" or "label (off)", "--" for a separator.
    std::pair<uint, QStringList> menu() const {
        const QList<QVariant> reply = call("GetLayout", {0, -1, QStringList()});
        QStringList entries;
        for (const DbusMenuLayout& entry : qdbus_cast<DbusMenuLayout>(reply.value(1)).children)
            entries.append(entry.properties.contains("type") ? "--" : entry.properties["label"].toString() +
                                                                          (entry.properties["enabled"].toBool() ? "" : " (off)"));
        return {reply.value(0).toUInt(), entries};
    }
    // Clicks the entry at `index` of the layout.
    void click(int index) const {
        const int id = qdbus_cast<DbusMenuLayout>(call("GetLayout", {0, -1, QStringList()}).value(1)).children.value(index).id;
        call("Event", {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
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
    QDBusConnection bus_;
    QString service_;
    QString path;
    QString interface;
};

}  // namespace tallyvane::testing
