// Widgets need an application object: the offscreen platform, settings in a private folder, and no way to the
// machine's own buses.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/qt/dbus_menu_types.h"
#include "platform/qt/sni_types.h"

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* bus : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"}) qputenv(bus, "unix:path=/nonexistent/bus");
    QApplication app(argc, argv);
    tallyvane::registerSniTypes();
    tallyvane::registerDbusMenuTypes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
