#include "model/safe_text.h"

#include <gtest/gtest.h>

namespace tallyvane {
namespace {

// Hostile names on the terminal view itself are pinned through a pseudo-terminal; here the rest of the filter.
TEST(SafeText, KeepsPrintableTextOnOneLineAndDropsWhatATerminalWouldAct) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a\x1b]52;c;aGk=\x1b\\b", "ab"},                             // clipboard write to ST
        {"a\x1bP1$r\x1b\\b\x1b(Bc\x1b" "cd", "abcd"},                  // DCS, charset, reset
        {"a\x1b[38;5;1mb\x1b", "ab"},                                 // SGR; a lone ESC at the end
        {"a\xc2\x9b" "2Jb\xc2\x9d" "0;x\xc2\x9c" "c", "abc"},          // C1 CSI and OSC
        {"l1\nl2\r\nl3\tl4\rl5", "l1 l2 l3 l4 l5"},
        {"\xe2\x80\xa8p\x7f\x01\xc2\x85q", " pq"},                     // U+2028, DEL, C0, NEL
        {"\xe2\x80\xae" "evil\xe2\x81\xa6x\xe2\x80\x8f", "evilx"},        // RLO, LRI, RLM
        {"\xff\xfe", "\xef\xbf\xbd\xef\xbf\xbd"},                     // invalid bytes
    };
    for (const auto& c : cases) EXPECT_EQ(safeText(c.in), c.out) << c.in;
}

TEST(SafeText, CountsTerminalCells) {
    const struct {
        std::string text;
        int cells;
    } cases[] = {
        {"\xef\xbc\xa1", 2},                             // fullwidth A
        {"e\xcc\x81\xe2\x83\x9d", 1},                    // combining acute, enclosing circle
        {"a\xc2\xad" "b", 2},                            // soft hyphen (format)
        {"\xe2\x96\x88\xe2\x96\x91\xe2\x86\xbb", 3},     // bar blocks and ↻
    };
    for (const auto& c : cases) EXPECT_EQ(terminalCells(c.text), c.cells) << c.text;
}

}  // namespace
}  // namespace tallyvane
