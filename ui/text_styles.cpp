#include "ui/text_styles.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

namespace tallyvane {

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont textFont(TextStyle style) {
    switch (style) {
    case TextStyle::Title2: return systemFont(17, QFont::Normal);
    case TextStyle::Headline: return systemFont(13, QFont::Bold);
    case TextStyle::Body: return systemFont(13, QFont::Normal);
    case TextStyle::Subheadline: return systemFont(11, QFont::Normal);
    case TextStyle::Caption: return systemFont(10, QFont::Normal);
    case TextStyle::Caption2: return systemFont(10, QFont::Medium);
    }
    return QApplication::font();
}

QFont withWeight(QFont font, QFont::Weight weight) {
    font.setWeight(weight);
    return font;
}

bool hasTabularDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) return false;
    return true;
}

QFont withTabularDigits(QFont font) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    font.setFeature(QFont::Tag("tnum"), 1);
#endif
    if (hasTabularDigits(font)) return font;
    // Proportional digits (Cantarell's) and no way to ask for tabular ones: the generic sans-serif
    // font usually has them (DejaVu Sans, Noto Sans) and looks far closer than a fixed-pitch one.
    QFont sans(QStringLiteral("sans-serif"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QFont* stand : {&sans, &fixed}) {
        stand->setPixelSize(font.pixelSize());
        stand->setWeight(font.weight());
    }
    return hasTabularDigits(sans) ? sans : fixed;
}

}  // namespace tallyvane
