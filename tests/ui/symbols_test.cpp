// Every symbol is drawn, in the asked colour, also on a machine without an icon theme.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>

#include "ui/symbols.h"

namespace tallyvane {
namespace {

// Pixels that carry any coverage, and whether all of them are the tint.
struct Coverage {
    int covered = 0;
    bool allTinted = true;
};

Coverage coverage(const QPixmap& pixmap, const QColor& tint) {
    Coverage result;
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 250) continue;
            ++result.covered;
            if (pixel.rgb() != tint.rgb()) result.allTinted = false;
        }
    return result;
}

TEST(Symbols, OwnDrawingsStandInWithoutAnIconTheme) {
    const QString theme = QIcon::themeName();
    const QStringList paths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName(QStringLiteral("no-such-theme"));
    const QColor tint(0x30, 0xB0, 0xC7);
    for (Symbol symbol : {Symbol::BarChart, Symbol::Warning, Symbol::Power}) {
        const QPixmap pixmap = symbolPixmap(symbol, 16, tint, 2.0);
        EXPECT_EQ(pixmap.size(), QSize(32, 32));
        EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
        const Coverage drawn = coverage(pixmap, tint);
        EXPECT_GT(drawn.covered, 32 * 32 / 10) << static_cast<int>(symbol);
        EXPECT_TRUE(drawn.allTinted);
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(theme);
}

TEST(Symbols, ThemeIconsAreTintedToo) {
    const QColor orange(0xFF, 0x95, 0x00);
    const Coverage drawn = coverage(symbolPixmap(Symbol::Warning, 24, orange, 1.0), orange);
    EXPECT_GT(drawn.covered, 0);
    EXPECT_TRUE(drawn.allTinted);
}

}  // namespace
}  // namespace tallyvane
