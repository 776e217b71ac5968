#include "ui/symbols.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <array>

namespace tallyvane {
namespace {

struct SymbolSource {
    std::array<const char*, 2> themeNames;  // single-colour theme names first
    const char* fallback;
};

SymbolSource sourceOf(Symbol symbol) {
    switch (symbol) {
    case Symbol::BarChart: return {{"view-statistics-symbolic", "office-chart-bar"}, ":/tallyvane/symbols/bar-chart.svg"};
    case Symbol::Warning: return {{"dialog-warning-symbolic", "dialog-warning"}, ":/tallyvane/symbols/warning.svg"};
    case Symbol::Power: return {{"system-shutdown-symbolic", "system-shutdown"}, ":/tallyvane/symbols/power.svg"};
    }
    return {{"", ""}, ""};
}

QImage shapeOf(Symbol symbol, int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const SymbolSource source = sourceOf(symbol);
    for (const char* name : source.themeNames) {
        const QString themeName = QString::fromLatin1(name);
        if (QIcon::hasThemeIcon(themeName)) {
            QIcon::fromTheme(themeName).paint(&painter, image.rect());
            return image;
        }
    }
    QSvgRenderer(QString::fromLatin1(source.fallback)).render(&painter);
    return image;
}

}  // namespace

QPixmap symbolPixmap(Symbol symbol, int size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qRound(size * devicePixelRatio);
    QImage image = shapeOf(symbol, pixels);
    {
        // Keep the shape's coverage, replace its colours: theme icons follow the panel's accents too.
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(std::move(image));
}

}  // namespace tallyvane
