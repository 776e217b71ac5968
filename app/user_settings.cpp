#include "app/user_settings.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace tallyvane {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What Qt reads as false, and the usual spellings a person types.
bool isFalse(const std::string& value) {
    const std::string v = lowered(value);
    return v == "false" || v == "0" || v == "no" || v == "off";
}

}  // namespace

std::string userSettingsPath(const std::string& home, const std::string& xdgConfigHome) {
    const std::string base = !xdgConfigHome.empty() && xdgConfigHome.front() == '/' ? xdgConfigHome : home + "/.config";
    return base + "/Tallyvane/Tallyvane.conf";
}

UserSettings readUserSettings(const std::string& path) {
    UserSettings settings;
    std::ifstream file(path);
    std::string line;
    bool general = true;  // keys before any section belong to [General], as Qt writes them
    while (std::getline(file, line)) {
        line = trimmed(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            general = lowered(line) == "[general]";
            continue;
        }
        const auto equals = line.find('=');
        if (!general || equals == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, equals));
        const bool off = isFalse(trimmed(line.substr(equals + 1)));
        if (key == "history") settings.history = !off;
        if (key == "alerts") settings.alerts = !off;
    }
    return settings;
}

}  // namespace tallyvane
