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

void DbusNotifier::notify(const std::string& summary, const std::string& body, const std::string& slot,
                          NotifyOutcome outcome) {
    Request request{QString::fromStdString(summary), QString::fromStdString(body), std::move(outcome)};
    const QString slotName = QString::fromStdString(slot);
    if (!sending_.contains(slotName)) return send(std::move(request), slotName);
    // Replacing needs the id of the one on screen: wait for it rather than show both. What waited
    // before is never shown.
    Request replaced = waiting_.take(slotName);
    waiting_.insert(slotName, std::move(request));
    if (replaced.outcome) replaced.outcome(std::nullopt);
}

void DbusNotifier::send(Request request, const QString& slot) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    call << QStringLiteral("Tallyvane") << shownInSlot_.value(slot, 0u) << QStringLiteral("tallyvane") << request.summary
         << request.body << QStringList{defaultAction, QStringLiteral("Ouvrir Tallyvane")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("tallyvane")}} << -1;
    if (!slot.isEmpty()) sending_.insert(slot);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, slot, outcome = std::move(request.outcome)](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<uint> reply = *done;
        if (reply.isError() && !failureReported_) {
            // Said once: without a notification service every alert fails the same way.
            std::fprintf(stderr, "Tallyvane : les notifications du bureau sont indisponibles (%s).\n",
                         qUtf8Printable(reply.error().message()));
        }
        failureReported_ = reply.isError();
        // Id 0 names no notification.
        const uint id = reply.isError() ? 0u : reply.value();
        answered(slot, id);
        if (outcome) outcome(id != 0 ? std::optional<std::uint32_t>(id) : std::nullopt);
    });
}

void DbusNotifier::answered(const QString& slot, uint id) {
    if (id != 0) shown_.insert(id);
    if (slot.isEmpty()) return;
    sending_.remove(slot);
    if (id != 0) shownInSlot_.insert(slot, id);
    if (waiting_.contains(slot)) send(waiting_.take(slot), slot);
}

void DbusNotifier::actionInvoked(uint id, const QString& action) {
    if (action == defaultAction && shown_.contains(id) && onActivated) onActivated();
}

}  // namespace tallyvane
