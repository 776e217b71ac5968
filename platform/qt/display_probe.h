#pragma once
// Whether the desktop part can start: Qt aborts the process when it cannot open its display or
// finds no plugin for the platform it is asked for, so the entry asks first.
#include <string>

namespace tallyvane {

// Sets QT_QPA_PLATFORM unless the person did: X (XWayland in a Wayland session) when DISPLAY is
// set, since only X lets a program place its own windows; else Wayland.
void choosePlatform();

// Empty when the display answers and Qt has a plugin for the platform chosen; otherwise why not,
// in French, as one sentence.
std::string displayProblem();

}  // namespace tallyvane
