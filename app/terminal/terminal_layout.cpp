#include "app/terminal/terminal_layout.h"

#include <algorithm>
#include <cmath>

#include "model/panel_texts.h"
#include "model/safe_text.h"

namespace tallyvane {
namespace {

enum class Paint { Plain, Bold, Dim, Teal, Orange, Red, Green };

// The 256-colour entries nearest the panel's accents: #30B0C7, #FF9500, #FF3B30, #34C759.
const char* sgr(Paint paint) {
    switch (paint) {
    case Paint::Plain: return "0";
    case Paint::Bold: return "1";
    case Paint::Dim: return "2";
    case Paint::Teal: return "38;5;74";
    case Paint::Orange: return "38;5;208";
    case Paint::Red: return "38;5;203";
    case Paint::Green: return "38;5;77";
    }
    return "0";
}

Paint tint(double used) {
    switch (usageLevel(used)) {
    case UsageLevel::Critical: return Paint::Red;
    case UsageLevel::Warning: return Paint::Orange;
    case UsageLevel::Normal: return Paint::Teal;
    }
    return Paint::Teal;
}

struct Span {
    std::string text;
    Paint paint = Paint::Plain;
};
using Line = std::vector<Span>;

// What a group of rows shows. On a short screen the groups give way in this order, from the
// blank lines to the latest notice; the others stay.
enum class Part { Blank, TokenNote, OlderMessage, Lifetime, Tokens, Window, More, LatestMessage, Kept, FirstWindow, Header };

struct Block {
    Part part;
    std::vector<Line> rows;
};

int lineWidth(const Line& line) {
    int cells = 0;
    for (const Span& span : line) cells += displayWidth(span.text);
    return cells;
}

std::string repeated(std::string_view cell, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += cell;
    return text;
}

// The longest start of `text` that takes at most `cells` cells; a wide character that would
// pass the limit is left out whole.
std::string_view prefix(std::string_view text, int cells) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t next = end + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
        cells -= terminalCells(text.substr(end, next - end));
        if (cells < 0) break;
        end = next;
    }
    return text.substr(0, end);
}

Line cut(const Line& line, int cells) {
    cells = std::max(cells, 1);
    if (lineWidth(line) <= cells) return line;
    Line kept;
    int left = cells - 1;  // one for the ellipsis
    for (const Span& span : line) {
        const int spanWidth = displayWidth(span.text);
        if (spanWidth < left) {
            kept.push_back(span);
            left -= spanWidth;
            continue;
        }
        kept.push_back({std::string(prefix(span.text, left)) + "…", span.paint});
        break;
    }
    return kept;
}

// Left and right texts at the two ends of a row, or two spaces apart when the row is too narrow.
Line justified(Line left, const Line& right, int row) {
    const int gap = std::max(2, row - lineWidth(left) - lineWidth(right));
    left.push_back({std::string(static_cast<std::size_t>(gap), ' ')});
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::vector<std::string> wrapped(const std::string& text, int cells) {
    std::vector<std::string> rows{std::string()};
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        std::string& row = rows.back();
        if (row.empty()) row = word;
        else if (displayWidth(row) + 1 + displayWidth(word) <= cells) row += " " + word;
        else rows.push_back(word);
        start = end + 1;
    }
    return rows;
}

Line bar(const WindowLines& window, int cells) {
    const double fraction = std::isnan(window.used) ? 0 : std::clamp(window.used / 100, 0.0, 1.0);
    // Like the panel's bar, any use at all shows.
    const int filled = fraction > 0 ? std::max(1, static_cast<int>(std::lround(fraction * cells))) : 0;
    std::vector<Span> cellSpans(static_cast<std::size_t>(cells), Span{"░", Paint::Dim});
    std::fill_n(cellSpans.begin(), filled, Span{"█", tint(window.used)});
    if (window.markerPercent && !std::isnan(*window.markerPercent)) {
        const int cell = std::clamp(static_cast<int>(*window.markerPercent / 100 * cells), 0, cells - 1);
        cellSpans[static_cast<std::size_t>(cell)] = Span{"┃", Paint::Bold};
    }
    Line line;
    for (const Span& cell : cellSpans) {
        if (!line.empty() && line.back().paint == cell.paint) line.back().text += cell.text;
        else line.push_back(cell);
    }
    return line;
}

// A name cut to `cells`, before its last « · » part (the window's length) when it has one, so
// that the windows of one limit stay told apart.
Line cutName(const std::string& name, int cells) {
    const std::size_t last = name.rfind(" · ");
    if (last == std::string::npos || displayWidth(name) <= cells) return cut({{name}}, cells);
    Line kept = cut({{name.substr(0, last)}}, cells - displayWidth(name.substr(last)));
    kept.push_back({name.substr(last)});
    return kept;
}

std::vector<Line> windowRows(const WindowLines& window, int column) {
    const Line used{{window.usedText, Paint::Bold}};
    // The use stays at the column's right edge.
    std::vector<Line> rows{justified(cutName(window.name, column - 2 - lineWidth(used)), used, column),
                           bar(window, column)};
    const Line detail{{window.remainingText, window.exhaustionShown ? Paint::Orange : Paint::Dim}};
    const Line reset = window.resetText ? Line{{*window.resetText, Paint::Dim}} : Line{};
    if (lineWidth(detail) + 2 + lineWidth(reset) <= column) {
        rows.push_back(justified(detail, reset, column));
    } else {  // a forecast leaves no room beside it: the reset goes under, at the right
        rows.push_back(detail);
        rows.push_back(justified({}, reset, column));
    }
    return rows;
}

int rowCount(const std::vector<Block>& blocks) {
    int rows = 0;
    for (const Block& block : blocks) rows += static_cast<int>(block.rows.size());
    return rows;
}

std::string moreWindowsText(int hidden) {
    return hidden == 1 ? "… 1 fenêtre de plus" : "… " + std::to_string(hidden) + " fenêtres de plus";
}

// Drops groups of rows, least useful first, until `maxRows` hold the rest.
void fit(std::vector<Block>& blocks, int maxRows) {
    const auto tooTall = [&] { return rowCount(blocks) > maxRows; };
    const auto isPart = [](Part part) { return [part](const Block& block) { return block.part == part; }; };
    const auto drop = [&](Part part) { std::erase_if(blocks, isPart(part)); };
    for (const Part part : {Part::Blank, Part::TokenNote, Part::OlderMessage, Part::Lifetime, Part::Tokens})
        if (tooTall()) drop(part);
    // Windows from the last, counted on one line in their place.
    for (int hidden = 1; tooTall() && std::any_of(blocks.begin(), blocks.end(), isPart(Part::Window)); ++hidden) {
        drop(Part::More);
        *std::find_if(blocks.rbegin(), blocks.rend(), isPart(Part::Window)) =
            Block{Part::More, {{{moreWindowsText(hidden), Paint::Dim}}}};
    }
    if (tooTall()) drop(Part::LatestMessage);
    if (tooTall()) {  // the fewest rows that still say something
        std::erase_if(blocks, [](const Block& block) { return block.part != Part::Header && block.part != Part::FirstWindow; });
        for (Block& block : blocks)
            if (block.part == Part::FirstWindow) block.rows.resize(1);
    }
}

std::string rendered(const Line& line, bool colour) {
    std::string text;
    for (const Span& span : line) {
        if (!colour || span.paint == Paint::Plain) text += span.text;
        else text += "\x1b[" + std::string(sgr(span.paint)) + "m" + span.text + "\x1b[0m";
    }
    return text;
}

}  // namespace

int displayWidth(std::string_view text) {
    int cells = 0;
    while (!text.empty()) {
        const std::size_t escape = text.find('\x1b');
        cells += terminalCells(text.substr(0, escape));
        if (escape == std::string_view::npos) break;
        text.remove_prefix(std::min(text.find('m', escape), text.size() - 1) + 1);
    }
    return cells;
}

std::vector<std::string> terminalLines(const PanelLines& panel, int width, int maxRows, bool colour) {
    width = std::max(width, 1);
    const int column = std::min(maxBarCells, width);
    std::vector<Block> blocks;
    const auto add = [&](Part part, std::vector<Line> rows) { blocks.push_back({part, std::move(rows)}); };
    const auto blank = [&] { add(Part::Blank, {Line{}}); };
    const auto paragraph = [&](Part part, const std::string& text, Paint paint) {
        Block& block = blocks.emplace_back(Block{part, {}});
        // Narrow, texts keep to one line; a problem is said whole all the same, since it says what to do.
        if (width < cuttingWidth && paint != Paint::Orange) block.rows.push_back({{text, paint}});
        else
            for (std::string& row : wrapped(text, column)) block.rows.push_back({{std::move(row), paint}});
    };
    const Line divider{{repeated("─", column), Paint::Dim}};

    add(Part::Header, {{{titleText, Paint::Bold}}, {{panel.subtitle, Paint::Dim}}});
    if (panel.notice) {
        blank();
        paragraph(Part::Kept, *panel.notice, Paint::Dim);
    }
    for (const WindowLines& window : panel.windows) {
        blank();
        add(&window == &panel.windows.front() ? Part::FirstWindow : Part::Window, windowRows(window, column));
    }
    if (panel.error) {
        blank();
        paragraph(Part::Kept, *panel.error, Paint::Orange);
    }
    if (panel.accountLine || panel.limitBlock) blank();
    if (panel.accountLine) paragraph(Part::Tokens, *panel.accountLine, Paint::Dim);
    if (panel.limitBlock) paragraph(Part::Kept, *panel.limitBlock, Paint::Orange);
    blank();
    add(Part::Tokens, {divider, {{tokenHeadingText, Paint::Dim}},
                       justified({{panel.tokenFigure, Paint::Bold}}, {{panel.tokenDay, Paint::Dim}}, column)});
    add(Part::Lifetime, {justified({{lifetimeCaptionText}}, {{panel.lifetime}}, column)});
    paragraph(Part::TokenNote, tokenNoteText, Paint::Dim);
    if (panel.tokenError) paragraph(Part::Tokens, *panel.tokenError, Paint::Orange);
    add(Part::Tokens, {divider});
    add(Part::Kept, {justified({{"●", panel.fresh ? Paint::Green : Paint::Orange}, {" " + panel.reading, Paint::Dim}},
                               {{refreshPeriodText, Paint::Dim}}, column)});
    if (!panel.messages.empty()) blank();
    for (const std::string& message : panel.messages)
        paragraph(&message == &panel.messages.back() ? Part::LatestMessage : Part::OlderMessage, message, Paint::Dim);
    if (maxRows > 0) fit(blocks, maxRows);

    std::vector<std::string> text;
    for (const Block& block : blocks)
        for (const Line& line : block.rows)
            if (maxRows <= 0 || static_cast<int>(text.size()) < maxRows) text.push_back(rendered(cut(line, width), colour));
    return text;
}

}  // namespace tallyvane
