// The binary's switches and exit codes, run as a user would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* passLine =
    "PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling when --demo-data is set\n";

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs the program with a private HOME, so it never touches the user's files, and by default no display.
Outcome run(std::vector<std::string> arguments, int timeoutSeconds = 20, const std::string& display = "",
            const std::string& binary = TALLYVANE_BINARY, const char* errors = "2>/dev/null") {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + display + " HOME=" +
                          std::string(TEST_HOME) + " timeout --preserve-status -s TERM " +
                          std::to_string(timeoutSeconds) + " " + binary;
    for (const auto& argument : arguments) command += " '" + argument + "'";
    command += std::string(" ") + errors;
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> chunk{};
    while (std::size_t n = fread(chunk.data(), 1, chunk.size(), pipe)) outcome.out.append(chunk.data(), n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

TEST(Switches, SelfTestPrintsExactlyThePassLine) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--self-test"}, {"--self-test", "--demo-data"}, {"--demo-data", "--self-test"},
             {"--self-test", "--self-test", "other"}, {"x", "--self-test", "--demo-data", "--demo-data"}}) {
        const auto outcome = run(arguments);
        EXPECT_EQ(outcome.status, 0) << arguments.size();
        EXPECT_EQ(outcome.out, passLine);
    }
}

TEST(Switches, NearMissesAreNotSwitches) {
    // None of these asks for the self-test: without a terminal, the demo prints its panel once, plain, and exits.
    for (const char* argument : {"--Self-test", "--self-test=1", "-self-test", "--self", "--self-test ", " --self-test"}) {
        const auto outcome = run({argument, "--demo-data"}, 2);
        EXPECT_EQ(outcome.status, 0) << argument;
        EXPECT_TRUE(outcome.out.starts_with("Tallyvane\nDémo · données fictives\n\n5 heures ") &&
                    outcome.out.ends_with("Toutes les 30 s\n") && outcome.out.find('\x1b') == std::string::npos &&
                    outcome.out.find("TOKENS") == outcome.out.rfind("TOKENS")) << argument << outcome.out;
    }
}

TEST(Switches, UnreachableDisplayOrMissingDesktopModuleFallsBackToHeadless) {
    // Standard error goes to standard output here, so the French message can be read.
    auto dead = run({"--demo-data"}, 2, "DISPLAY=:77", TALLYVANE_BINARY, "2>&1");
    EXPECT_EQ(dead.status, 0);
    EXPECT_NE(dead.out.find("Tallyvane : l’affichage ne répond pas."), std::string::npos) << dead.out;
    EXPECT_NE(dead.out.find("Tallyvane : fonctionnement sans interface, données de démonstration.\n"), std::string::npos);

    const std::string lonely = std::string(TEST_HOME) + "-lonely";
    ASSERT_EQ(std::system(("mkdir -p " + lonely + " && cp " + TALLYVANE_BINARY + " " + lonely + "/").c_str()), 0);
    auto missing = run({"--demo-data"}, 2, "DISPLAY=:77", lonely + "/tallyvane", "2>&1");
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.out.find("l’interface de bureau n’a pas pu être chargée"), std::string::npos) << missing.out;
}

}  // namespace
