#pragma once
// Text that comes from Codex (a window's name, a limit id, a day key) is shown on terminals and in
// menus, where control characters would act instead of showing. One filter makes it inert, and
// its width is counted in terminal cells.
#include <string>
#include <string_view>

namespace tallyvane {

// Drops C0 and C1 controls, DEL and the bidirectional controls; a line break or a tab becomes one
// space, so the text stays on one line; an ESC (or a C1 CSI, OSC, DCS…) takes the whole escape
// sequence it starts with it. Invalid UTF-8 becomes U+FFFD.
std::string safeText(std::string_view text);

// Cells one code point takes on a terminal: 2 for East Asian wide and fullwidth characters, 0 for
// combining marks, format characters and controls, 1 for the rest.
int codePointCells(char32_t c);

// Cells a UTF-8 text takes, with no escape sequences in it (see safeText).
int terminalCells(std::string_view utf8);

}  // namespace tallyvane
