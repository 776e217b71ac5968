#pragma once
// The program with its tray item and panel: builds the application, the model on this system's
// seams and the delegate, and runs the event loop until quit. Returns the exit status (0).
namespace tallyvane {

int runDesktopApp(int argc, char** argv);

}  // namespace tallyvane
