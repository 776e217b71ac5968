#pragma once
// Whether windows with per-pixel alpha are blended on screen: a compositing manager owns the
// X screen's _NET_WM_CM_Sn selection; Wayland always composites. And whether the X server is a
// Wayland compositor's XWayland.
namespace tallyvane {

bool compositorActive();
bool throughXWayland();

}  // namespace tallyvane
