// The terminal view: its layout without a terminal, then the real program on pseudo-terminals, read
// back through two screens: pyte keeps its lines as they are on a resize (like xterm), tmux wraps them.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>

#include "app/terminal/terminal_layout.h"
#include "model/panel_texts.h"
#include "model/safe_text.h"

namespace {
using namespace tallyvane;

const std::regex styling("\x1b\\[[0-9;]*m");
// Each test in a home of its own: ctest runs them side by side.
std::string home() { return TEST_HOME "-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()); }

std::string plain(const std::string& line) { return std::regex_replace(line, styling, ""); }

// The program in a new home, with the scripted peer as Codex answering as `script` says.
std::string program(const std::string& variables = "", const std::string& script = "{}") {
    std::filesystem::remove_all(home());
    std::filesystem::create_directories(home() + "/.local/bin");
    std::filesystem::create_symlink(FAKE_CODEX_PATH, home() + "/.local/bin/codex");
    std::ofstream(home() + "/script.json") << script;
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u NO_COLOR TERM=xterm-256color HOME=" + home() + " FAKE_CODEX_SCRIPT=" + home() +
           "/script.json " + variables + " " TALLYVANE_BINARY;
}

std::vector<std::string> outputLines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    for (char line[4096]; pipe && fgets(line, sizeof line, pipe);) lines.emplace_back(line, strcspn(line, "\n"));
    if (pipe) pclose(pipe);
    return lines;
}

// pyte's 80 × 50 screen after `bytes`, narrowed to `columns` after the first `at` of them: its title,
// then each row as « its cell 39 | its text ».
std::vector<std::string> pyteScreen(const std::string& bytes, std::size_t at, int columns) {
    std::ofstream(home() + "/output", std::ios::binary) << bytes;
    std::ofstream(home() + "/screen.py") << "import pyte,sys\nd=open(sys.argv[1],'rb').read();a,c=map(int,sys.argv[2:])\n"
                                          "s=pyte.Screen(80,50);f=pyte.ByteStream(s);f.feed(d[:a]);s.resize(50,c);f.feed(d[a:])\n"
                                          "print(s.title)\nfor y in range(50):print(s.buffer[y][39].data+'|'+s.display[y].rstrip())\n";
    return outputLines("/usr/bin/python3 " + home() + "/screen.py " + home() + "/output " + std::to_string(at) + " " + std::to_string(columns));
}

// `command` run by bash on a pseudo-terminal of 80 × 50.
struct Pty {
    int master = -1;
    pid_t pid = -1;
    std::string out;
    explicit Pty(const std::string& command) {
        winsize size{50, 80, 0, 0};
        if ((pid = forkpty(&master, nullptr, nullptr, &size)) == 0) execl("/bin/bash", "bash", "-c", command.c_str(), nullptr), _exit(127);
    }
    ~Pty() { close(master), kill(pid, SIGKILL), waitpid(pid, nullptr, 0); }
    // False after 20 s of silence or at the end of the output.
    bool readUntil(const std::function<bool()>& done) {
        for (char chunk[4096]; !done();) {
            pollfd ready{master, POLLIN, 0};
            const ssize_t got = poll(&ready, 1, 20'000) > 0 ? read(master, chunk, sizeof chunk) : -1;
            if (got <= 0) return false;
            out.append(chunk, static_cast<std::size_t>(got));
        }
        return true;
    }
    // Until the latest drawing shows every text.
    bool drawn(const std::vector<std::string>& texts) {
        return readUntil([&] {
            const std::size_t start = out.rfind("\x1b[J") == std::string::npos ? 0 : out.rfind("\x1b[J");
            return std::all_of(texts.begin(), texts.end(), [&](const std::string& text) { return out.find(text, start) != std::string::npos; });
        });
    }
};

TEST(TerminalLayout, FitsTheWidthTintsTheBarAndKeepsEveryWordWhenWide) {
    const std::string error = "Codex est introuvable. Installe Codex, connecte ton compte ChatGPT, puis actualise.";
    struct Case { int width; bool colour; double used; bool withError; std::string tint; };  // tint: the bar's used part
    for (const Case& test : {Case{80, true, 74.9, false, "38;5;74"}, Case{80, true, 75, true, "38;5;208"},
                             Case{59, true, 90, true, "38;5;203"}, Case{40, false, 75, true, ""}, Case{80, false, 90, false, ""}}) {
        SCOPED_TRACE(std::to_string(test.width) + " " + std::to_string(test.used) + (test.colour ? " colour" : ""));
        PanelLines panel;
        // Wide, zero-width and too many: cut before the window's length, the use still at the right edge.
        panel.windows = {{"漢字🚀e\u0301 un nom bien trop long · 5 heures", test.used, "75 % utilisés", "25 % restants",
                          "↻ 5 oct., 14:30", 50.0}};
        panel.accountLine = "Forfait Plus · 5,39 crédits";
        if (test.withError) panel.error = error, panel.limitBlock = "Limite atteinte";
        std::string all;
        for (const std::string& line : terminalLines(panel, test.width, 0, test.colour)) {
            EXPECT_LE(terminalCells(plain(line)), test.width) << line;
            all += line + "\n";
        }
        const std::string plain = std::regex_replace(all, styling, ""), joined = std::regex_replace(plain, std::regex("\n"), " ");
        const bool cut = test.width < 60;
        const std::size_t bar = plain.find("█"), name = plain.find("漢字🚀e\u0301 un n");  // a bar cell takes 3 bytes
        EXPECT_EQ(terminalCells(plain.substr(name, plain.find('\n', name) - name)), 40) << plain;
        EXPECT_NE(plain.find("… · 5 heures  75 % utilisés\n"), std::string::npos) << plain;
        // 40 cells, the marker at 50 %, the used part.
        EXPECT_EQ(std::tuple(plain.find('\n', bar) - bar, plain.find("┃", bar) - bar, plain.find("░", bar) - bar),
                  std::tuple(40u * 3, 20u * 3, static_cast<std::size_t>(std::lround(test.used * 0.4)) * 3)) << plain;
        EXPECT_EQ(all.find("\x1b[" + test.tint + "m█") != std::string::npos, test.colour) << all;
        EXPECT_EQ(all.find("\x1b[38;5;208mCodex est") != std::string::npos, test.colour && test.withError) << all;
        EXPECT_EQ(all.find("\x1b[38;5;208mLimite atteinte") != std::string::npos, test.colour && test.withError) << all;
        EXPECT_EQ(all.find("\x1b[2mForfait Plus · 5,39 crédits") != std::string::npos, test.colour) << all;
        EXPECT_EQ(joined.find(error) != std::string::npos, test.withError) << joined;  // what to do, even when narrow
        EXPECT_EQ(joined.find(tokenNoteText) != std::string::npos, !cut) << joined;
    }
}

TEST(TerminalLayout, AShortScreenKeepsTheHeaderTheFirstWindowTheErrorsAndTheStatus) {
    struct Case { int rows; bool errors; std::string shown; };  // each line up to its first two spaces, bars as ▮
    for (const Case& test : {Case{23, false, "Tallyvane|S|W1|▮|r|W2|▮|r|W3|▮|r|W4|▮|r|▮|TOKENS DÉCLARÉS PAR CODEX|F|Total historique|▮|● R|M1|M2"},
                             Case{16, true, "Tallyvane|S|W1|▮|r|W2|▮|r|W3|▮|r|… 1 fenêtre de plus|E|B|● R|M2"},
                             Case{7, false, "Tallyvane|S|W1|▮|r|… 3 fenêtres de plus|● R"}, Case{6, true, "Tallyvane|S|W1"}}) {
        PanelLines panel;
        panel.subtitle = "S", panel.tokenFigure = "F", panel.reading = "R", panel.messages = {"M1", "M2"};
        for (const char* name : {"W1", "W2", "W3", "W4"}) panel.windows.push_back({name, 75, "75 % utilisés", "r", {}, {}});
        if (test.errors) panel.error = "E", panel.accountLine = "A", panel.limitBlock = "B";
        std::string shown;
        for (const std::string& line : terminalLines(panel, 80, test.rows, true)) {
            const std::string row = std::regex_replace(plain(line), std::regex("(█|░|┃|─)+"), "▮");
            shown += (shown.empty() ? "" : "|") + row.substr(0, row.find("  "));
        }
        EXPECT_EQ(shown, test.shown) << test.rows;
    }
}

// Demo data in colour, then Codex without colour sending hostile names: escape sequences (title,
// clear, clipboard), line breaks, bidi controls, wide and zero-width characters. Then the screen
// narrows under pyte, which keeps its lines as they are (like xterm), and tmux, which wraps them.
TEST(TerminalView, DrawsInertTextAlignedInCellsAndNarrowingErasesNoLineAbove) {
    const std::string hostile = R"({"account/rateLimits/read": [{"result": {"rateLimitsByLimitId": {"codex": {"primary":
        {"usedPercent": 42, "windowDurationMins": 300, "resetsAt": 1796600000}}, "z": {"limitName":
        "\u001b]0;PIRATE\u0007\u001b[2J\u202e漢字🚀e\u0301\u001b]52;c;aGk=\u0007 nom\nsuite\r\nfin", "primary": {"usedPercent": 91,
        "windowDurationMins": 60}, "secondary": {"usedPercent": 80, "windowDurationMins": 10080}}}}}], "account/usage/read":
        [{"result": {"dailyUsageBuckets": [{"startDate": "\u001b[2J\u202e\n2026", "tokens": 7}]}}]})";
    struct Case { std::string variables, mode, script; std::vector<std::string> texts, rows; };  // rows: pyte's, from cell 39
    for (Case test : {Case{"", "--demo-data", "{}", {"Démo · données fictives", "38 % utilisés", "62 % restants", "23,4 k",
                                                     "3 octobre 2026", "1,2 M", "données de démonstration.", "Forfait Plus · 12,5 crédits"}, {"s|5 heures ", "s|Semaine "}},
                      Case{"NO_COLOR=1", "", hostile, {"Limites du compte connecté à Codex", "91 % utilisés", "80 % utilisés", "2026",
                                                       "status.json reste tenu", "jour."},
                           {"s|5 heures ", "s|漢字🚀é nom s… · 1 heures ", "s|漢字🚀é nom su… · Semaine ", "6|7  "}}}) {
        SCOPED_TRACE(test.variables + test.mode);
        const bool colour = test.variables.empty(), live = test.mode.empty();
        const std::string command = "printf 'ligne 1\\nligne 2\\nligne 3\\n'; exec " + program(test.variables, test.script) + " " +
                                    test.mode + " 2>/dev/null";
        Pty terminal(command);
        test.texts.insert(test.texts.end(), {"█", "░", "↻ ", "Total historique", "L’historique peut", "Relevé à", "Toutes les 30 s"});
        ASSERT_TRUE(terminal.drawn(test.texts)) << terminal.out;
        const std::string& out = terminal.out;
        EXPECT_TRUE(std::regex_search(out, styling) == colour && (out.find("\x1b[38;5;74m█") != std::string::npos) == colour) << out;
        EXPECT_EQ(out.find("Connexion à ton compte…") != std::string::npos, live) << "until Codex answers";
        for (const char* sequence : {"\x1b]", "\x1b[2J", "\u202e", "PIRATE"}) EXPECT_EQ(out.find(sequence), std::string::npos) << sequence;
        std::string shown;
        for (const std::string& row : pyteScreen(out, 0, 80)) shown += row + "\n";
        EXPECT_TRUE(shown.starts_with("\n") && shown.find("[2J") == std::string::npos) << "no title set, no sequence shown\n" << shown;
        for (const std::string& row : test.rows) EXPECT_NE(shown.find("\n" + row), std::string::npos) << row << "\n" << shown;

        const winsize narrow{50, 30, 0, 0};
        ioctl(terminal.master, TIOCSWINSZ, &narrow);  // the kernel sends SIGWINCH
        ASSERT_TRUE(terminal.drawn({"fonctionnement s…"}));
        // The screen narrowed before the first drawing laid out for it, which begins by going up.
        const std::size_t narrowed = out.rfind("\r\x1b[", out.find("fonctionnement s…"));
        int status = -1;
        kill(terminal.pid, SIGTERM), waitpid(terminal.pid, &status, 0);  // and one copy per account at a time
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(std::filesystem::exists(home() + "/Library/Application Support/Tallyvane/status.json"), live) << "as the notice says";
        const auto tmux = [](const std::string& arguments) { return outputLines("tmux -S " TEST_HOME "-tmux -f /dev/null " + arguments); };
        const std::shared_ptr<void> stopsTmux(nullptr, [&](void*) { tmux("kill-server 2>/dev/null"); });  // even on a failure
        const auto tmuxShows = [&](const std::string& pattern) {
            for (int tries = 0; tries < 200; ++tries, usleep(100'000))
                for (const std::string& row : tmux("capture-pane -p"))
                    if (std::regex_match(row, std::regex(pattern))) return true;
            return false;
        };
        tmux("new-session -d -x 80 -y 50 \"" + command + "\"");
        ASSERT_TRUE(tmuxShows("● .*Toutes les 30 s"));
        tmux("resize-window -x 30");
        ASSERT_TRUE(tmuxShows("● .*…"));
        for (const auto& rows : {pyteScreen(out, narrowed, 30), tmux("capture-pane -p -S -100")}) {
            shown.clear();
            for (const std::string& row : rows) shown += row.substr(row.find('|') + 1) + "\n";
            EXPECT_NE(shown.find("ligne 1\nligne 2\nligne 3\n"), std::string::npos) << shown;
            EXPECT_TRUE(std::regex_search(shown.substr(shown.rfind("Tallyvane\n")), std::regex("^Tallyvane\n(Limites|Démo)(.|\n)*"
                                          "5 heures(.|\n)*Semaine(.|\n)*TOKENS DÉCLARÉS PAR CODEX(.|\n)*● "))) << shown;
        }
        // Each redraw goes up over exactly the lines drawn before it.
        std::size_t start = out.find("ligne 3\r\n") + 9;
        const std::regex redraw("\r\x1b\\[([0-9]+)A\x1b\\[J");
        for (std::sregex_iterator up(out.begin(), out.end(), redraw), end; up != end; ++up) {
            EXPECT_EQ(std::stol((*up)[1]), std::count(out.begin() + static_cast<long>(start), out.begin() + up->position(), '\n'));
            start = static_cast<std::size_t>(up->position() + up->length());
        }
    }
}

TEST(TerminalView, InTheBackgroundWritesNothingAndIsNeverStoppedWithTostop) {
    for (const bool demo : {false, true}) {
        Pty terminal("stty tostop; set -m; " + program() +
                         (demo ? " --demo-data & wait $!; echo \"FIN $?\"" : " & sleep 3; echo \"ÉTAT $! $(ps -o stat= -p $!)\"; fg"));
        std::smatch job;
        ASSERT_TRUE(terminal.readUntil([&] { return std::regex_search(terminal.out, job, std::regex("(ÉTAT|FIN) ([0-9]+) ?(\\S*)\r\n")); }));
        const std::string before = job.prefix(), pid = job[2], state = job[3];  // a demo prints its plain text once
        EXPECT_EQ(std::tuple(before.find('\x1b'), std::regex_search(before, std::regex("Tallyvane(.|\n)*Tallyvane"))),
                  std::tuple(std::string::npos, false)) << before;
        EXPECT_EQ(before.find("Toutes les 30 s") != std::string::npos, demo) << before;
        if (demo) {
            EXPECT_EQ(pid, "0");  // its exit status
            continue;
        }
        EXPECT_EQ(state.find('T'), std::string::npos) << "stopped by SIGTTOU: " << terminal.out;
        const std::size_t brought = terminal.out.size();  // `fg`: drawn again
        ASSERT_TRUE(terminal.readUntil([&] { return terminal.out.find("Toutes les 30 s", brought) != std::string::npos; }));
        int status = -1;
        kill(std::stoi(pid), SIGTERM), waitpid(terminal.pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

}  // namespace
