#include "app/desktop/tray_icon_art.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
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

// Whole pixels for each size, so that every edge lands on the grid. Shapes sit inside an outline
// and a halo; the digits, whose counters are too small for both, have a light edge above and to
// the left and a dark one below and to the right, `edge` px wide. `digits`: the number's height
// from its baseline to the top of a 7, at least 60 % of the side, so that a host that shrinks a
// large image still gets large digits; `badge`: the side of the problem badge, none below 32 px.
struct Metrics {
    int outline, halo, edge, digits, badge;
    int ring() const { return outline + halo; }
};
constexpr Metrics metricsBySize[] = {
    {1, 1, 1, 11, 0},  // 16
    {1, 1, 1, 16, 0},  // 22
    {1, 1, 1, 18, 0},  // 24
    {1, 1, 1, 23, 5},  // 32
    {2, 1, 2, 33, 8},  // 48
    {2, 1, 2, 46, 10}, // 64
};
static_assert(std::size(metricsBySize) == std::size(trayIconSizes));

// DejaVu Sans Bold, which the package depends on, loaded from its file so that the desktop's
// font settings never change the icon; the desktop's bold sans when the file is missing.
QFont digitFont() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"));
        return QFontDatabase::applicationFontFamilies(id).value(0, QStringLiteral("DejaVu Sans"));
    }();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(200);
    return font;
}

QPainterPath glyphPath(const QFont& font, QChar digit) {
    QPainterPath path;
    path.addText(0, 0, font, QString(digit));
    return path;
}

// The number `height` px tall from its baseline at y = height, its digits `gap` apart from x = 0,
// condensed when wider than `maxWidth`; rather than narrower than 60 % of their width, the digits
// are drawn smaller, centred in that height. Each digit spans whole columns, so that its stems
// stay sharp.
QPainterPath numberPath(const QString& text, int height, int gap, int maxWidth) {
    const QFont font = digitFont();
    const double unit = 1 / -glyphPath(font, u'7').boundingRect().top();  // font units to a 1 px tall number
    double inkWidth = 0;
    for (QChar digit : text) inkWidth += glyphPath(font, digit).boundingRect().width() * unit;
    const double room = maxWidth - gap * (text.size() - 1);
    const int drawn = std::min(height, int(room / (inkWidth * 0.6)));
    const double scale = drawn * unit, condensed = std::min(1.0, room / (inkWidth * drawn));
    const int baseline = height - (height - drawn) / 2;
    QPainterPath number;
    int x = 0;
    for (QChar digit : text) {
        const QPainterPath glyph = glyphPath(font, digit);
        const QRectF ink = glyph.boundingRect();
        const int width = std::max(1, int(std::lround(ink.width() * scale * condensed)));
        QTransform place;
        place.translate(x, baseline).scale(width / ink.width(), scale).translate(-ink.left(), 0);
        number.addPath(place.map(glyph));
        x += width + gap;
    }
    return number;
}

struct Shape {
    QPainterPath path;
    QColor color;
};

// All halos, then all outlines, then the fills: touching shapes merge into one silhouette.
void paintTwoTone(QPainter& painter, const QList<Shape>& shapes, const Metrics& m, const QColor& halo = haloLight) {
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Shape& shape : shapes)
        painter.strokePath(shape.path, QPen(halo, 2 * m.ring(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const Shape& shape : shapes)
        painter.strokePath(shape.path, QPen(outlineInk, 2 * m.outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const Shape& shape : shapes) painter.fillPath(shape.path, shape.color);
}

QPainterPath rectPath(const QRect& rect) {
    QPainterPath path;
    path.addRect(rect);
    return path;
}

// A square badge in the problem colour with a white exclamation mark, painted over what lies
// beneath it (its outline and halo cut it out).
void paintBadge(QPainter& painter, const QRect& body, const Metrics& m) {
    paintTwoTone(painter, {{rectPath(body), stateColor(SystemColor::Orange)}}, m);
    const int side = body.width();
    const int width = std::max(1, (side + 2) / 5);
    const int pad = side / 6;
    const int dot = std::max(1, width / 2);
    const int left = body.left() + (side - width) / 2;
    painter.fillRect(QRect(left, body.top() + pad, width, side - 2 * pad - 2 * dot), Qt::white);
    painter.fillRect(QRect(left, body.bottom() - pad - dot + 1, width, dot), Qt::white);
}

bool badged(int size) { return size >= 32; }

// Below 32 px there is no room for the badge: a problem turns the chart's halo orange, and
// draws an orange line under the number.
QColor haloFor(int size, bool error) { return error && !badged(size) ? stateColor(SystemColor::Orange) : haloLight; }
int problemLine(int size) { return std::max(1, size / 11); }

// The light edge, the dark one, then the digits over them.
void paintEmbossed(QPainter& painter, const QPainterPath& number, const QColor& color, int edge) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(number.translated(-edge, -edge), haloLight);
    painter.fillPath(number.translated(edge, edge), outlineInk);
    painter.fillPath(number, color);
}

QImage blank(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage chartIcon(int size, const Metrics& m, const QColor& color, bool error) {
    QImage image = blank(size);
    QPainter painter(&image);
    const int spacing = m.outline;
    const int inner = size - 2 * m.ring();
    const int barWidth = (inner - 2 * spacing) / 3;
    const int left = m.ring() + (inner - 3 * barWidth - 2 * spacing) / 2;
    const int bottom = size - m.ring();
    QList<Shape> bars;
    for (int bar = 0; bar < 3; ++bar) {
        const int height = (inner * (3 + 2 * bar) + 3) / 7;
        bars.append({rectPath(QRect(left + bar * (barWidth + spacing), bottom - height, barWidth, height)), color});
    }
    paintTwoTone(painter, bars, m, haloFor(size, error));
    // Above the shortest bar, where it hides least.
    const int side = m.badge;
    if (error && badged(size)) paintBadge(painter, QRect(0, 0, side, side), m);
    return image;
}

QImage percentIcon(int size, const Metrics& m, double used, bool error) {
    QImage image = blank(size);
    QPainter painter(&image);
    const QColor color = stateColor(usageTint(used));
    const double shown = std::isnan(used) ? 0 : std::clamp(used, 0.0, 100.0);
    const QString text = QString::number(roundedPercent(shown));

    // From the top: light edge, digits, dark edge; the problem's mark under them.
    QPainterPath number = numberPath(text, m.digits, m.edge, size - 2 * m.edge);
    number.translate(std::round((size - number.boundingRect().width()) / 2), m.edge);
    const int side = m.badge, line = problemLine(size);
    if (error && badged(size)) paintBadge(painter, QRect(size - m.halo - side, size - m.halo - side, side, side), m);
    else if (error) painter.fillRect(QRect(m.edge, size - line, size - 2 * m.edge, line), stateColor(SystemColor::Orange));
    // Last, so that nothing covers the digits.
    paintEmbossed(painter, number, color, m.edge);
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
