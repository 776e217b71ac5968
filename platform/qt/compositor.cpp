#include "platform/qt/compositor.h"

#include <QGuiApplication>

#include "platform/qt/x_selection.h"

namespace tallyvane {

bool compositorActive() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return true;
    return xScreenSelectionOwned("_NET_WM_CM_S");
}

bool throughXWayland() {
    return QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace tallyvane
