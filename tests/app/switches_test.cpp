// The binary's switches and fallbacks, run as a user would run it, with a private HOME.
#include <gtest/gtest.h>

#include <cstdio>

namespace {

// What the program prints on both outputs, then "exit <status>".
std::string run(const std::vector<std::string>& arguments, const std::string& display = "", const std::string& binary = TALLYVANE_BINARY) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + display + " HOME=" TEST_HOME " timeout -s KILL 20 " + binary;
    for (const auto& argument : arguments) command += " '" + argument + "'";
    std::string out;
    FILE* pipe = ::popen((command + " 2>&1; echo exit $?").c_str(), "r");
    for (char chunk[4096]; std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe);) out.append(chunk, n);
    ::pclose(pipe);
    return out;
}

TEST(Switches, OnlyExactSwitchesCountAndTheDemoFallsBackToPlainTextSayingWhy) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--self-test"}, {"--demo-data", "--self-test"}, {"x", "--self-test", "--self-test", "--demo-data"}})
        EXPECT_EQ(run(arguments), "PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling "
                                  "when --demo-data is set\nexit 0\n");
    const std::string lonely = TEST_HOME "-lonely";  // a copy of the program without its desktop module
    ASSERT_EQ(std::system(("mkdir -p " + lonely + " && cp " TALLYVANE_BINARY " " + lonely).c_str()), 0);
    // Without a terminal the demo prints its panel once, plain, after saying why it runs without a window.
    struct Case { std::string argument, display = "", binary = TALLYVANE_BINARY, reason = "aucun affichage trouvé."; };
    for (const auto& [argument, display, binary, reason] :
         {Case{"--Self-test"}, {"--self-test=1"}, {"-self-test"}, {"--self"}, {"--self-test "}, {" --self-test"},
          {"", "DISPLAY=:77", TALLYVANE_BINARY, "l’affichage ne répond pas."},
          {"", "DISPLAY=:77", lonely + "/tallyvane", "l’interface de bureau n’a pas pu être chargée"}}) {
        const std::string out = run({argument, "--demo-data"}, display, binary);
        EXPECT_NE(out.find("Tallyvane : " + reason), std::string::npos) << argument << out;
        EXPECT_TRUE(out.find("Tallyvane : fonctionnement sans interface, données de démonstration.\nTallyvane\nDémo · données "
                             "fictives\n\n5 heures ") != std::string::npos && out.ends_with("Toutes les 30 s\nexit 0\n") &&
                    out.find('\x1b') == std::string::npos && out.find("TOKENS") == out.rfind("TOKENS")) << argument << out;
    }
}

}  // namespace
