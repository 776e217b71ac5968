#pragma once
// Whether windows with per-pixel alpha are blended on screen: a compositing manager owns the
// X screen's _NET_WM_CM_Sn selection; Wayland always composites.
namespace tallyvane {

bool compositorActive();

}  // namespace tallyvane
