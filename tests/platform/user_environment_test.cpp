// Home directory and environment.
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/user_environment.h"

namespace tallyvane {
namespace {

TEST(UserEnvironmentTest, HomeComesFromHomeUnlessItIsEmptyOrUnset) {
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const std::string fromDatabase = entry->pw_dir;

    ::setenv("HOME", "/home/elsewhere", 1);
    EXPECT_EQ(homeDirectory(), "/home/elsewhere");
    ::setenv("HOME", "", 1);
    EXPECT_EQ(homeDirectory(), fromDatabase);
    ::unsetenv("HOME");
    EXPECT_EQ(homeDirectory(), fromDatabase);
}

TEST(UserEnvironmentTest, CurrentEnvironmentHoldsEveryVariableVerbatim) {
    ::setenv("TALLYVANE_TEST_VALUE", "a=b c", 1);
    ::setenv("TALLYVANE_TEST_EMPTY", "", 1);
    const auto environment = currentEnvironment();
    auto has = [&](const std::string& entry) {
        return std::find(environment.begin(), environment.end(), entry) != environment.end();
    };
    EXPECT_TRUE(has("TALLYVANE_TEST_VALUE=a=b c"));
    EXPECT_TRUE(has("TALLYVANE_TEST_EMPTY="));
}

}  // namespace
}  // namespace tallyvane
