#include "app/desktop/tray_icon_art.h"

#include <QPainter>
#include <QRect>
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

#include "model/formatting.h"
#include "ui/system_colors.h"

namespace tallyvane {
namespace {

// Each state colour is a darker teal, orange or red than the panel's, halfway in luminance
// between a dark bar (#1e1e1e) and a light one (#f0f0f0): 3.4:1 to 4.3:1 against either. The
// outline and the halo part the shapes from bars of any other shade.
const QColor outlineInk(0x14, 0x14, 0x14);
const QColor haloLight(0xf4, 0xf4, 0xf4);

QColor stateColor(SystemColor tint) {
    switch (tint) {
    case SystemColor::Orange: return {0xD3, 0x5F, 0x00};
    case SystemColor::Red: return {0xE0, 0x26, 0x2B};
    default: return {0x22, 0x84, 0x96};
    }
}

// Whole pixels for each size, so that every edge is crisp: digit strokes, the hole of a 0, the
// gaps between a digit's rows, the space between digits or chart bars, outline, halo, usage bar.
struct Metrics {
    int stroke, counter, rowGap, spacing, outline, halo, bar;
    int ring() const { return outline + halo; }
};
constexpr Metrics metricsBySize[] = {
    {1, 1, 2, 1, 1, 1, 2},  // 16
    {2, 1, 2, 1, 1, 1, 3},  // 22
    {2, 2, 2, 1, 2, 1, 3},  // 24
    {3, 3, 4, 1, 2, 1, 4},  // 32
    {4, 4, 6, 2, 3, 1, 7},  // 48
    {6, 5, 8, 3, 4, 2, 8},  // 64
};
static_assert(std::size(metricsBySize) == std::size(trayIconSizes));
// Gaps no wider than two outlines fill with outline: no halo inside a digit, nor between a 1's
// stem and the digit before it.
static_assert(std::ranges::all_of(metricsBySize, [](const Metrics& m) {
    return m.rowGap <= 2 * m.outline && m.spacing + m.counter <= 2 * m.outline;
}));

// Digits on a grid of five rows (stroke, gap, stroke, gap, stroke) and three columns (stroke,
// counter, stroke); the 1 is narrower, a counter-wide flag beside its stem.
struct Glyph {
    int columns;
    const char* cells;
};
constexpr std::array<Glyph, 10> digitGlyphs = {{
    {3, "###" "#.#" "#.#" "#.#" "###"},
    {2, "##" ".#" ".#" ".#" ".#"},
    {3, "###" "..#" "###" "#.." "###"},
    {3, "###" "..#" "###" "..#" "###"},
    {3, "#.#" "#.#" "###" "..#" "..#"},
    {3, "###" "#.." "###" "..#" "###"},
    {3, "###" "#.." "###" "#.#" "###"},
    {3, "###" "..#" "..#" "..#" "..#"},
    {3, "###" "#.#" "###" "#.#" "###"},
    {3, "###" "#.#" "###" "..#" "###"},
}};

struct Cell {
    QRect rect;
    QColor color;
};
using Cells = QList<Cell>;

// All halos, then all outlines, then the fills: touching cells merge into one silhouette.
// The halo's corners are cut, which reads rounder at every size.
void paintTwoTone(QPainter& painter, const Cells& cells, const Metrics& m) {
    const int o = m.outline, r = m.ring();
    for (const Cell& cell : cells) {
        painter.fillRect(cell.rect.adjusted(-r, -o, r, o), haloLight);
        painter.fillRect(cell.rect.adjusted(-o, -r, o, r), haloLight);
    }
    for (const Cell& cell : cells) painter.fillRect(cell.rect.adjusted(-o, -o, o, o), outlineInk);
    for (const Cell& cell : cells) painter.fillRect(cell.rect, cell.color);
}

int glyphWidth(const Glyph& glyph, const Metrics& m) {
    return glyph.columns == 3 ? 2 * m.stroke + m.counter : m.counter + m.stroke;
}

int digitHeight(const Metrics& m) { return 3 * m.stroke + 2 * m.rowGap; }

void addGlyph(Cells& cells, const Glyph& glyph, QPoint origin, const Metrics& m, const QColor& color) {
    const int rowHeights[] = {m.stroke, m.rowGap, m.stroke, m.rowGap, m.stroke};
    const int columnWidths3[] = {m.stroke, m.counter, m.stroke};
    const int columnWidths2[] = {m.counter, m.stroke};
    const int* columnWidths = glyph.columns == 3 ? columnWidths3 : columnWidths2;
    int y = origin.y();
    for (int row = 0; row < 5; ++row) {
        int x = origin.x();
        for (int column = 0; column < glyph.columns; ++column) {
            if (glyph.cells[row * glyph.columns + column] == '#')
                cells.append({QRect(x, y, columnWidths[column], rowHeights[row]), color});
            x += columnWidths[column];
        }
        y += rowHeights[row];
    }
}

// A square badge in the problem colour with a white exclamation mark, painted over what lies
// beneath it (its outline and halo cut it out).
void paintBadge(QPainter& painter, const QRect& body, const Metrics& m) {
    paintTwoTone(painter, {{body, stateColor(SystemColor::Orange)}}, m);
    const int side = body.width();
    const int width = std::max(1, (side + 2) / 5);
    const int pad = side / 6;
    const int dot = std::max(1, width / 2);
    const int left = body.left() + (side - width) / 2;
    painter.fillRect(QRect(left, body.top() + pad, width, side - 2 * pad - 2 * dot), Qt::white);
    painter.fillRect(QRect(left, body.bottom() - pad - dot + 1, width, dot), Qt::white);
}

// As tall as the usage bar with its outline, so that in the percentage icon it ends the bar
// and its halo stops short of the digits.
int badgeSide(const Metrics& m) { return 2 * m.outline + m.bar; }

QImage blank(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage chartIcon(int size, const Metrics& m, const QColor& color, bool error) {
    QImage image = blank(size);
    QPainter painter(&image);
    const int inner = size - 2 * m.ring();
    const int barWidth = (inner - 2 * m.spacing) / 3;
    const int left = m.ring() + (inner - 3 * barWidth - 2 * m.spacing) / 2;
    const int bottom = size - m.ring();
    Cells bars;
    for (int bar = 0; bar < 3; ++bar) {
        const int height = (inner * (3 + 2 * bar) + 3) / 7;
        bars.append({QRect(left + bar * (barWidth + m.spacing), bottom - height, barWidth, height), color});
    }
    paintTwoTone(painter, bars, m);
    // Above the shortest bar, where it hides least.
    const int side = badgeSide(m);
    if (error) paintBadge(painter, QRect(0, 0, side, side), m);
    return image;
}

QImage percentIcon(int size, const Metrics& m, double used, bool error) {
    QImage image = blank(size);
    QPainter painter(&image);
    const QColor color = stateColor(usageTint(used));
    const double shown = std::isnan(used) ? 0 : std::clamp(used, 0.0, 100.0);
    const QString text = QString::number(roundedPercent(shown));

    // From the top: ring, digits, outline, halo, outline, usage bar, outline, halo.
    const int block = m.ring() + digitHeight(m) + 3 * m.outline + 2 * m.halo + m.bar;
    const int top = m.ring() + (size - block) / 2;
    int textWidth = m.spacing * (int(text.size()) - 1);
    for (QChar digit : text) textWidth += glyphWidth(digitGlyphs[digit.digitValue()], m);
    Cells digits;
    int x = (size - textWidth) / 2;
    for (QChar digit : text) {
        const Glyph& glyph = digitGlyphs[digit.digitValue()];
        addGlyph(digits, glyph, {x, top}, m, color);
        x += glyphWidth(glyph, m) + m.spacing;
    }
    paintTwoTone(painter, digits, m);

    const int barTop = top + digitHeight(m) + 2 * m.outline + m.halo;
    const int side = badgeSide(m);
    const QRect badge(size - m.halo - side, barTop - m.outline, side, side);
    const int barRight = error ? badge.left() - 2 * m.outline - m.halo : size - m.ring();
    const QRect track(m.ring(), barTop, barRight - m.ring(), m.bar);
    const int filled = int(track.width() * shown / 100 + 0.5);
    paintTwoTone(painter, {{track, outlineInk}, {QRect(track.topLeft(), QSize(filled, m.bar)), color}}, m);
    if (error) paintBadge(painter, badge, m);
    return image;
}

}  // namespace

QList<QImage> trayIcons(std::optional<double> highest, bool error, bool figure) {
    QList<QImage> icons;
    for (std::size_t i = 0; i < std::size(trayIconSizes); ++i) {
        const int size = trayIconSizes[i];
        const Metrics& m = metricsBySize[i];
        icons.append(figure && highest ? percentIcon(size, m, *highest, error)
                                       : chartIcon(size, m, stateColor(usageTint(highest.value_or(0))), error));
    }
    return icons;
}

}  // namespace tallyvane
