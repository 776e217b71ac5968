#include "tests/desktop/support/sni_reader.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>

namespace tallyvane::testing {
namespace {

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString itemPath = QStringLiteral("/StatusNotifierItem");

}  // namespace

// BlockWithGui keeps the event loop turning, so an item living in this very process can answer.
QVariant SniReader::property(const QString& name) const {
    auto call = QDBusMessage::createMethodCall(service_, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                               QStringLiteral("Get"));
    call << itemInterface << name;
    const QDBusMessage reply = bus_.call(call, QDBus::BlockWithGui, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().front().value<QDBusVariant>().variant();
}

SniToolTip SniReader::toolTip() const { return qdbus_cast<SniToolTip>(property(QStringLiteral("ToolTip"))); }

SniPixmaps SniReader::icon() const { return qdbus_cast<SniPixmaps>(property(QStringLiteral("IconPixmap"))); }

bool SniReader::activate(int x, int y) const {
    auto call = QDBusMessage::createMethodCall(service_, itemPath, itemInterface, QStringLiteral("Activate"));
    call << x << y;
    return bus_.call(call, QDBus::BlockWithGui, 5000).type() == QDBusMessage::ReplyMessage;
}

}  // namespace tallyvane::testing
