// The terminal view: its layout without a terminal, then the real program on a pseudo-terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "app/terminal/terminal_layout.h"
#include "model/panel_texts.h"

namespace {
using namespace tallyvane;

const std::regex styling("\x1b\\[[0-9;]*m");

// Columns on screen: code points, once SGR sequences and carriage returns are left out.
long columns(const std::string& line) {
    const std::string shown = std::regex_replace(line, std::regex("\x1b\\[[0-9;]*m|\r"), "");
    return std::count_if(shown.begin(), shown.end(), [](char c) { return (c & 0xC0) != 0x80; });
}

TEST(TerminalLayout, FitsTheWidthTintsTheBarAndKeepsEveryWordWhenWide) {
    const std::string error = "Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.";
    struct Case { int width; bool colour; double used; bool withError; std::string tint; };  // tint: the bar's used part
    for (const Case& test : {Case{80, true, 74.9, false, "38;5;74"}, Case{80, true, 75, true, "38;5;208"},
                             Case{59, true, 90, true, "38;5;203"}, Case{40, false, 75, true, ""}, Case{80, false, 90, false, ""}}) {
        SCOPED_TRACE(std::to_string(test.width) + " " + std::to_string(test.used) + (test.colour ? " colour" : ""));
        PanelLines panel;
        panel.windows = {{"5 heures", test.used, "75 % utilisés", "25 % restants", "↻ 5 oct., 14:30", 50.0}};
        panel.accountLine = "Forfait Plus · 5,39 crédits";
        if (test.withError) panel.error = error, panel.limitBlock = "Limite atteinte";
        std::string all;
        for (const std::string& line : terminalLines(panel, test.width, test.colour)) {
            EXPECT_LE(columns(line), test.width) << line;
            all += line + "\n";
        }
        const std::string plain = std::regex_replace(all, styling, ""), joined = std::regex_replace(plain, std::regex("\n"), " ");
        const bool cut = test.width < 60;
        const std::size_t bar = plain.find("█");  // each of its cells takes 3 bytes
        EXPECT_EQ(plain.find("…") != std::string::npos, cut) << plain;
        // 40 cells, the marker at 50 %, the used part.
        EXPECT_EQ(std::tuple(plain.find('\n', bar) - bar, plain.find("┃", bar) - bar, plain.find("░", bar) - bar),
                  std::tuple(40u * 3, 20u * 3, static_cast<std::size_t>(std::lround(test.used * 0.4)) * 3)) << plain;
        EXPECT_EQ(all.find("\x1b[" + test.tint + "m█") != std::string::npos, test.colour) << all;
        EXPECT_EQ(all.find("\x1b[38;5;208mCodex est") != std::string::npos, test.colour && test.withError) << all;
        EXPECT_EQ(all.find("\x1b[38;5;208mLimite atteinte") != std::string::npos, test.colour && test.withError) << all;
        EXPECT_EQ(all.find("\x1b[2mForfait Plus · 5,39 crédits") != std::string::npos, test.colour) << all;
        EXPECT_TRUE(plain.find("Forfait") < plain.find("Limite atteinte") && plain.find("Limite atteinte") <= plain.find("Codex est"));
        EXPECT_EQ(joined.find(cut ? "Codex est introuvable." : error) != std::string::npos, test.withError) << joined;
        EXPECT_EQ(joined.find(tokenNoteText) != std::string::npos, !cut) << joined;
    }
}

TEST(TerminalView, DrawsInPlaceWithOrWithoutColourAndLaysOutAgainWhenNarrowed) {
    const std::string home = TEST_HOME "-terminal";  // with the scripted peer as Codex
    ASSERT_EQ(std::system(("rm -rf " + home + " && mkdir -p " + home + "/.local/bin && ln -s " FAKE_CODEX_PATH " " + home +
                           "/.local/bin/codex").c_str()), 0);
    struct Case { std::string variables, mode; std::vector<std::string> texts; };
    for (Case test : {Case{"", "--demo-data", {"Démo · données fictives", "38 % utilisés", "62 % restants", "23,4 k",
                                               "3 octobre 2026", "1,2 M", "données de démonstration.", "Forfait Plus · 12,5 crédits"}},
                      Case{"NO_COLOR=1", "", {"Limites du compte connecté à Codex", "42 % utilisés", "58 % restants", "1,5 M",
                                              "5 décembre 2026", "123,5 M", "status.json reste tenu", "jour."}}}) {
        SCOPED_TRACE(test.variables + test.mode);
        const bool colour = test.variables.empty(), live = test.mode.empty();
        int master = -1;
        winsize size{50, 80, 0, 0};
        const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
        if (pid == 0)
            execl("/bin/sh", "sh", "-c", ("exec env -u DISPLAY -u WAYLAND_DISPLAY -u NO_COLOR TERM=xterm-256color HOME=" + home +
                                          " " + test.variables + " " TALLYVANE_BINARY " " + test.mode + " 2>/dev/null").c_str(), nullptr),
                _exit(127);
        std::string out;
        const auto drawingStart = [&] { return out.rfind("\x1b[J") == std::string::npos ? 0 : out.rfind("\x1b[J") + 3; };
        // Reads until one drawing begun after `after` shows every text; false after 20 s of silence or at the end.
        const auto waitFor = [&](const std::vector<std::string>& texts, std::size_t after = 0) {
            const auto shown = [&](const std::string& text) { return out.find(text, drawingStart()) != std::string::npos; };
            for (char chunk[4096]; drawingStart() < after || !std::all_of(texts.begin(), texts.end(), shown);) {
                pollfd ready{master, POLLIN, 0};
                const ssize_t got = poll(&ready, 1, 20'000) > 0 ? read(master, chunk, sizeof chunk) : -1;
                if (got < 0) return false;
                out.append(chunk, static_cast<std::size_t>(got));
            }
            return true;
        };
        test.texts.insert(test.texts.end(), {"Tallyvane", "5 heures", "Semaine", "█", "░", "↻ ", "TOKENS DÉCLARÉS PAR CODEX",
                                             "Total historique", "L’historique peut arriver", "Relevé à", "Toutes les 30 s"});
        ASSERT_TRUE(waitFor(test.texts)) << out;
        EXPECT_TRUE(std::regex_search(out, styling) == colour && (out.find("\x1b[38;5;74m█") != std::string::npos) == colour) << out;
        EXPECT_EQ(out.find("Connexion à ton compte…") != std::string::npos, live) << "until Codex answers";

        const std::size_t resized = out.size();
        winsize narrow{50, 50, 0, 0};
        ioctl(master, TIOCSWINSZ, &narrow);  // the kernel sends SIGWINCH
        ASSERT_TRUE(waitFor({"Toutes les 30 s", "sans interface"}, resized)) << out;
        std::stringstream drawing(out.substr(drawingStart()));
        int cut = 0;
        for (std::string line; std::getline(drawing, line); cut += columns(line) == 50 && line.find("…") != std::string::npos)
            EXPECT_LE(columns(line), 50) << line;
        EXPECT_GE(cut, 2);
        // Each redraw goes up over exactly the lines drawn before it.
        std::size_t start = 0;
        const std::regex redraw("\r\x1b\\[([0-9]+)A\x1b\\[J");
        for (std::sregex_iterator up(out.begin(), out.end(), redraw), end; up != end; ++up) {
            EXPECT_EQ(std::stol((*up)[1]), std::count(out.begin() + static_cast<long>(start), out.begin() + up->position(), '\n'));
            start = static_cast<std::size_t>(up->position() + up->length());
        }
        int status = -1;
        kill(pid, SIGTERM), waitpid(pid, &status, 0), close(master);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(std::filesystem::exists(home + "/Library/Application Support/Tallyvane/status.json"), live) << "as the notice says";
    }
}

}  // namespace
