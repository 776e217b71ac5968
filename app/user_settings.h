#pragma once
// The switches a person may set in ~/.config/Tallyvane/Tallyvane.conf (the desktop's settings file,
// an INI file): `history=false` keeps no history file, `alerts=false` shows no notifications.
// Read without Qt, so that headless mode can honour them too.
#include <string>

namespace tallyvane {

struct UserSettings {
    bool history = true;
    bool alerts = true;
};

// $XDG_CONFIG_HOME/Tallyvane/Tallyvane.conf when that is an absolute path, else under ~/.config.
std::string userSettingsPath(const std::string& home, const std::string& xdgConfigHome);

// Missing or unreadable file, unknown keys and other sections: the defaults.
UserSettings readUserSettings(const std::string& path);

}  // namespace tallyvane
