#pragma once
// Whether the display named by the environment answers. Qt aborts the process when it cannot
// open its display, so the entry asks first.
namespace tallyvane {

bool displayReachable();

}  // namespace tallyvane
