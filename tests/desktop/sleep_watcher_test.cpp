#include "platform/qt/sleep_watcher.h"

#include <QDBusMessage>
#include <gtest/gtest.h>

#include "tests/desktop/support/private_bus.h"
#include "tests/desktop/support/qt_wait.h"

namespace tallyvane {
namespace {

using testing::PrivateBus;
using testing::spin;
using testing::waitUntil;

// A private bus stands in for the system bus; one connection plays logind.
TEST(SleepWatcher, ReportsTheResumeButNotTheSuspend) {
    PrivateBus bus;
    if (!bus.unavailable().isEmpty()) GTEST_SKIP() << bus.unavailable().toStdString();
    QDBusConnection logind = bus.connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    QDBusConnection system = bus.connect(QStringLiteral("system"));
    {
        SleepWatcher watcher(system);
        EXPECT_TRUE(watcher.listening());
        int resumes = 0;
        QObject::connect(&watcher, &SleepWatcher::resumed, [&] { ++resumes; });
        const auto announce = [&](bool sleeping) {
            auto signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                     QStringLiteral("org.freedesktop.login1.Manager"),
                                                     QStringLiteral("PrepareForSleep"));
            signal << sleeping;
            logind.send(signal);
        };
        announce(true);
        spin(200);
        EXPECT_EQ(resumes, 0);
        announce(false);
        EXPECT_TRUE(waitUntil([&] { return resumes == 1; }));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
    QDBusConnection::disconnectFromBus(QStringLiteral("system"));
}

TEST(SleepWatcher, WithoutASystemBusItIsQuiet) {
    QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                         QStringLiteral("nobus"));
    SleepWatcher watcher(none);
    EXPECT_FALSE(watcher.listening());
    QDBusConnection::disconnectFromBus(QStringLiteral("nobus"));
}

}  // namespace
}  // namespace tallyvane
