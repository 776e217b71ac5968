#pragma once
// Whether some X client owns a selection of this program's X screen, such as the compositing
// manager's _NET_WM_CM_Sn or the tray's _NET_SYSTEM_TRAY_Sn. False off X11.
#include <QByteArray>

namespace tallyvane {

// `prefix` is the selection's name without the screen number.
bool xScreenSelectionOwned(const QByteArray& prefix);

}  // namespace tallyvane
