#include "platform/qt/sleep_watcher.h"

namespace tallyvane {

SleepWatcher::SleepWatcher(QDBusConnection systemBus, QObject* parent)
    : QObject(parent),
      listening_(systemBus.isConnected() &&
                 systemBus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"),
                                   QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)))) {}

void SleepWatcher::prepareForSleep(bool sleeping) {
    if (!sleeping) Q_EMIT resumed();
}

}  // namespace tallyvane
