#include <gtest/gtest.h>

#include <fstream>

#include "app/user_settings.h"

namespace tallyvane {
namespace {

TEST(UserSettings, ReadsTheSwitchesOfTheGeneralSectionAsQtWritesThem) {
    struct Case {
        const char* file;
        bool history;
        bool alerts;
    };
    const Case cases[] = {
        {"", true, true},
        {"[General]\nhasShownCompactMaskV5=true\nhistory=false\n", false, true},
        {"alerts = 0\r\nhistory=true\n", true, false},
        {"[General]\nalerts=Off\n[Other]\nhistory=false\n", true, false},
        {"history\n=false\n; history=false\n", true, true},
    };
    const std::string path = ::testing::TempDir() + "/Tallyvane.conf";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream(path) << c.file;
        const UserSettings settings = readUserSettings(path);
        EXPECT_EQ(settings.history, c.history);
        EXPECT_EQ(settings.alerts, c.alerts);
    }
    EXPECT_TRUE(readUserSettings(path + ".missing").alerts);
    EXPECT_EQ(userSettingsPath("/home/u", ""), "/home/u/.config/Tallyvane/Tallyvane.conf");
    EXPECT_EQ(userSettingsPath("/home/u", "/xdg"), "/xdg/Tallyvane/Tallyvane.conf");
    EXPECT_EQ(userSettingsPath("/home/u", "relative"), "/home/u/.config/Tallyvane/Tallyvane.conf");
}

}  // namespace
}  // namespace tallyvane
