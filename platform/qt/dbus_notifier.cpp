#include "platform/qt/dbus_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <cstdio>

namespace tallyvane {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString defaultAction = QStringLiteral("default");

}  // namespace

DbusNotifier::DbusNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
    bus_.connect(service, path, service, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
}

void DbusNotifier::notify(const std::string& summary, const std::string& body, const std::string& slot) {
    const QString slotName = QString::fromStdString(slot);
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    call << QStringLiteral("Tallyvane") << (slot.empty() ? 0u : shownInSlot_.value(slotName, 0u))
         << QStringLiteral("tallyvane") << QString::fromStdString(summary) << QString::fromStdString(body)
         << QStringList{defaultAction, QStringLiteral("Ouvrir Tallyvane")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("tallyvane")}} << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, slotName](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<uint> reply = *done;
        if (reply.isError()) {
            // Said once: without a notification service every alert would fail the same way.
            if (!failureReported_)
                std::fprintf(stderr, "Tallyvane : les notifications du bureau sont indisponibles (%s).\n",
                             qUtf8Printable(reply.error().message()));
            failureReported_ = true;
            return;
        }
        failureReported_ = false;
        shown_.insert(reply.value());
        if (!slotName.isEmpty()) shownInSlot_.insert(slotName, reply.value());
    });
}

void DbusNotifier::actionInvoked(uint id, const QString& action) {
    if (action == defaultAction && shown_.contains(id) && onActivated) onActivated();
}

}  // namespace tallyvane
