#include "model/safe_text.h"

#include <cstdint>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace tallyvane {

namespace {

constexpr char32_t esc = 0x1B;

bool isBidiControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isLineBreakOrTab(char32_t c) { return c == '\n' || c == '\r' || c == '\t' || c == 0x2028 || c == 0x2029; }

void appendUtf8(std::string& out, char32_t c) {
    char bytes[U8_MAX_LENGTH];
    std::int32_t length = 0;
    UBool failed = false;
    U8_APPEND(bytes, length, U8_MAX_LENGTH, static_cast<UChar32>(c), failed);
    if (!failed) out.append(bytes, static_cast<std::size_t>(length));
}

// Reads code points, invalid bytes as U+FFFD.
class CodePoints {
public:
    explicit CodePoints(std::string_view text) : text_(text) {}
    bool done() const { return offset_ >= static_cast<std::int32_t>(text_.size()); }
    char32_t peek() const {
        std::int32_t at = offset_;
        return read(at);
    }
    char32_t next() { return read(offset_); }

private:
    char32_t read(std::int32_t& at) const {
        UChar32 c = 0;
        U8_NEXT_OR_FFFD(text_.data(), at, static_cast<std::int32_t>(text_.size()), c);
        return static_cast<char32_t>(c);
    }
    std::string_view text_;
    std::int32_t offset_ = 0;
};

// A control string (OSC, DCS, SOS, PM, APC) runs to BEL (OSC's own end), ST as ESC \, or C1 ST.
void skipControlString(CodePoints& in) {
    while (!in.done()) {
        const char32_t c = in.next();
        if (c == 0x07 || c == 0x9C) return;
        if (c == esc) {
            if (!in.done() && in.peek() == '\\') in.next();
            return;
        }
    }
}

// Parameters and intermediates, then one final byte, as a terminal reads a CSI.
void skipControlSequence(CodePoints& in) {
    while (!in.done() && in.peek() >= 0x20 && in.peek() <= 0x3F) in.next();
    if (!in.done() && in.peek() >= 0x40 && in.peek() <= 0x7E) in.next();
}

// What follows an ESC: the sequence it introduces, whatever its kind.
void skipEscape(CodePoints& in) {
    if (in.done()) return;
    const char32_t c = in.peek();
    if (c == '[') {
        in.next();
        skipControlSequence(in);
    } else if (c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_') {
        in.next();
        skipControlString(in);
    } else {
        while (!in.done() && in.peek() >= 0x20 && in.peek() <= 0x2F) in.next();
        if (!in.done() && in.peek() >= 0x30 && in.peek() <= 0x7E) in.next();
    }
}

}  // namespace

std::string safeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    CodePoints in(text);
    while (!in.done()) {
        const char32_t c = in.next();
        if (c == esc) {
            skipEscape(in);
        } else if (c == 0x9B) {
            skipControlSequence(in);
        } else if (c == 0x90 || c == 0x98 || c == 0x9D || c == 0x9E || c == 0x9F) {
            skipControlString(in);
        } else if (isLineBreakOrTab(c)) {
            if (c == '\r' && !in.done() && in.peek() == '\n') in.next();
            out.push_back(' ');
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || isBidiControl(c)) {
            continue;
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

int codePointCells(char32_t c) {
    const auto u = static_cast<UChar32>(c);
    if (u_iscntrl(u)) return 0;
    const auto type = u_charType(u);
    if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR) return 0;
    const auto width = u_getIntPropertyValue(u, UCHAR_EAST_ASIAN_WIDTH);
    return (width == U_EA_WIDE || width == U_EA_FULLWIDTH) ? 2 : 1;
}

int terminalCells(std::string_view utf8) {
    int cells = 0;
    CodePoints in(utf8);
    while (!in.done()) cells += codePointCells(in.next());
    return cells;
}

}  // namespace tallyvane
