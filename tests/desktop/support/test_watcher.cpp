#include "tests/desktop/support/test_watcher.h"

#include <QDBusMessage>

namespace tallyvane::testing {

TestWatcher::TestWatcher(QDBusConnection bus) : bus_(std::move(bus)) {
    serving_ = bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
               bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

TestWatcher::~TestWatcher() {
    bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    bus_.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
}

void TestWatcher::RegisterStatusNotifierItem(const QString& service) {
    // Some items send an object path; the owner is then the caller.
    items_.append(service.startsWith(u'/') ? message().service() : service);
}

}  // namespace tallyvane::testing
