// Named text styles on the desktop's font, and digits that keep their width.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>

#include "tests/ui/view_rig.h"
#include "ui/text_styles.h"

namespace tallyvane {
namespace {

TEST(TextStyles, UseTheDesktopFontAtTheReferenceSizes) {
    struct Expected {
        TextStyle style;
        int size;
        QFont::Weight weight;
    };
    const Expected table[] = {
        {TextStyle::Title2, 17, QFont::Normal},  {TextStyle::Headline, 13, QFont::Bold},
        {TextStyle::Body, 13, QFont::Normal},    {TextStyle::Subheadline, 11, QFont::Normal},
        {TextStyle::Caption, 10, QFont::Normal}, {TextStyle::Caption2, 10, QFont::Medium},
    };
    for (const auto& row : table) {
        const QFont font = textFont(row.style);
        SCOPED_TRACE(row.size);
        EXPECT_EQ(font.family(), QApplication::font().family());
        EXPECT_EQ(font.pixelSize(), row.size);
        EXPECT_EQ(font.weight(), row.weight);
    }
}

TEST(TextStyles, TabularDigitsHaveOneAdvance) {
    for (const QFont& font : {withTabularDigits(systemFont(27, QFont::DemiBold)),
                              withTabularDigits(textFont(TextStyle::Caption)),
                              withTabularDigits(withWeight(textFont(TextStyle::Subheadline), QFont::DemiBold))}) {
        const QFontMetricsF metrics(font);
        for (char digit = '1'; digit <= '9'; ++digit)
            EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(digit)), metrics.horizontalAdvance(QLatin1Char('0')))
                << font.family().toStdString() << " " << digit;
    }
}

TEST(TextStyles, ChangingFiguresDoNotJitterInThePanel) {
    testing::ViewRig view;
    for (const char* name : {"tokenFigure", "lifetimeValue"}) {
        auto* label = view.find<QLabel>(name);
        const QFontMetricsF metrics(label->font());
        EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("1,1 M")), metrics.horizontalAdvance(QStringLiteral("8,8 M")))
            << name;
    }
}

}  // namespace
}  // namespace tallyvane
