// The settings file as Qt writes it: the switches of its general section, and where it lives.
#include <gtest/gtest.h>

#include <fstream>

#include "app/user_settings.h"

namespace tallyvane {
namespace {

TEST(UserSettings, ReadsTheSwitchesOfTheGeneralSectionAsQtWritesThem) {
    const std::tuple<const char*, bool, bool> table[] = {  // the file, history, alerts
        {"", true, true}, {"[General]\nhasShownCompactMaskV5=true\nhistory=false\n", false, true},
        {"alerts = 0\r\nhistory=true\n", true, false}, {"[General]\nalerts=Off\n[Other]\nhistory=false\n", true, false},
        {"history\n=false\n; history=false\n", true, true},
    };
    const std::string path = ::testing::TempDir() + "/Tallyvane.conf";
    for (const auto& [file, history, alerts] : table) {
        std::ofstream(path) << file;
        const UserSettings settings = readUserSettings(path);
        EXPECT_EQ(std::pair(settings.history, settings.alerts), std::pair(history, alerts)) << file;
    }
    EXPECT_TRUE(readUserSettings(path + ".missing").alerts);
    EXPECT_EQ(userSettingsPath("/home/u", "") + " " + userSettingsPath("/home/u", "relative"),
              "/home/u/.config/Tallyvane/Tallyvane.conf /home/u/.config/Tallyvane/Tallyvane.conf");
    EXPECT_EQ(userSettingsPath("/home/u", "/xdg"), "/xdg/Tallyvane/Tallyvane.conf");
}

}  // namespace
}  // namespace tallyvane
