#include "app/terminal/terminal_layout.h"

#include <algorithm>
#include <cmath>

#include "model/panel_texts.h"

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

int lineWidth(const Line& line) {
    int columns = 0;
    for (const Span& span : line) columns += displayWidth(span.text);
    return columns;
}

std::string repeated(std::string_view cell, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += cell;
    return text;
}

// The first `columns` code points of `text`.
std::string_view prefix(std::string_view text, int columns) {
    std::size_t end = 0;
    for (int seen = 0; end < text.size(); ++end) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
        if (seen++ == columns) break;
    }
    return text.substr(0, end);
}

Line cut(const Line& line, int columns) {
    if (lineWidth(line) <= columns) return line;
    Line kept;
    int left = columns - 1;  // one for the ellipsis
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

std::vector<std::string> wrapped(const std::string& text, int columns) {
    std::vector<std::string> rows{std::string()};
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        std::string& row = rows.back();
        if (row.empty()) row = word;
        else if (displayWidth(row) + 1 + displayWidth(word) <= columns) row += " " + word;
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
    int columns = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b') {
            i = std::min(text.find('m', i), text.size());
            continue;
        }
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++columns;
    }
    return columns;
}

std::vector<std::string> terminalLines(const PanelLines& panel, int width, bool colour) {
    width = std::max(width, 1);
    const int column = std::min(maxBarCells, width);
    std::vector<Line> lines;
    const auto paragraph = [&](const std::string& text, Paint paint) {
        if (width < cuttingWidth) lines.push_back({{text, paint}});
        else
            for (std::string& row : wrapped(text, column)) lines.push_back({{std::move(row), paint}});
    };
    const auto divider = [&] { lines.push_back({{repeated("─", column), Paint::Dim}}); };

    lines.push_back({{titleText, Paint::Bold}});
    lines.push_back({{panel.subtitle, Paint::Dim}});
    if (panel.notice) {
        lines.emplace_back();
        paragraph(*panel.notice, Paint::Dim);
    }
    for (const WindowLines& window : panel.windows) {
        lines.emplace_back();
        lines.push_back(justified({{window.name}}, {{window.usedText, Paint::Bold}}, column));
        lines.push_back(bar(window, column));
        const Line detail{{window.remainingText, window.exhaustionShown ? Paint::Orange : Paint::Dim}};
        const Line reset = window.resetText ? Line{{*window.resetText, Paint::Dim}} : Line{};
        if (lineWidth(detail) + 2 + lineWidth(reset) <= column) {
            lines.push_back(justified(detail, reset, column));
        } else {  // a forecast leaves no room beside it: the reset goes under, at the right
            lines.push_back(detail);
            lines.push_back(justified({}, reset, column));
        }
    }
    if (panel.accountLine || panel.limitBlock) lines.emplace_back();
    if (panel.accountLine) paragraph(*panel.accountLine, Paint::Dim);
    if (panel.limitBlock) paragraph(*panel.limitBlock, Paint::Orange);
    if (panel.error) {
        lines.emplace_back();
        paragraph(*panel.error, Paint::Orange);
    }
    lines.emplace_back();
    divider();
    lines.push_back({{tokenHeadingText, Paint::Dim}});
    lines.push_back(justified({{panel.tokenFigure, Paint::Bold}}, {{panel.tokenDay, Paint::Dim}}, column));
    lines.push_back(justified({{lifetimeCaptionText}}, {{panel.lifetime}}, column));
    paragraph(tokenNoteText, Paint::Dim);
    if (panel.tokenError) paragraph(*panel.tokenError, Paint::Orange);
    divider();
    lines.push_back(justified({{"●", panel.fresh ? Paint::Green : Paint::Orange}, {" " + panel.reading, Paint::Dim}},
                              {{refreshPeriodText, Paint::Dim}}, column));
    if (!panel.messages.empty()) lines.emplace_back();
    for (const std::string& message : panel.messages) paragraph(message, Paint::Dim);

    std::vector<std::string> text;
    text.reserve(lines.size());
    for (const Line& line : lines) text.push_back(rendered(cut(line, width), colour));
    return text;
}

}  // namespace tallyvane
