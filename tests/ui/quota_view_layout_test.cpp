// The panel's frame: what fits without scrolling at each scale, rows kept across updates,
// scrolling, and a transparent background.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "model/run_flags.h"
#include "tests/ui/view_rig.h"

namespace tallyvane::testing {
namespace {

// The usual content (two windows, tokens, status line, footer) fits the 360 × 400 panel without
// scrolling in the common desktop fonts; on a screen of either scale, the symbols are drawn for that
// scale (a view moved off the first screen must draw them again).
TEST(QuotaViewLayout, TwoWindowsFitAndSymbolsStaySharpInEachDesktopFontAndScale) {
    struct FontRestorer {
        QFont desktop = QApplication::font();
        ~FontRestorer() { QApplication::setFont(desktop); }
    } restorer;
    ASSERT_EQ(QGuiApplication::screens().size(), 2);  // scales 1 and 2, from two_screens.json
    for (const QString family : {"DejaVu Sans", "Noto Sans", "Cantarell"})
        for (QScreen* screen : QGuiApplication::screens())
            for (const bool demo : {true, false}) {
                const qreal ratio = screen->devicePixelRatio();
                const std::string name = QString(family).remove(u' ').toStdString() + "-x" +
                                         std::to_string(qRound(ratio)) + (demo ? "-demo" : "-live");
                SCOPED_TRACE(name);
                ASSERT_EQ(QFontInfo(QFont(family)).family(), family);
                QApplication::setFont(QFont(family, 10));
                ViewRig view;
                view.view->setScreen(screen);
                setDemo(demo);
                if (demo) {
                    view.rig.model->start();
                } else {
                    view.rig.startReady();
                    view.rig.answerQuota(twoWindows);
                    view.rig.answerTokens(tokenResult);
                    view.rig.model->refresh();
                }
                view.settle();
                setDemo(false);
                ASSERT_EQ(view.view->devicePixelRatioF(), ratio);
                EXPECT_EQ(view.rows().size(), 2u);
                EXPECT_EQ(view.shown("spinner"), !demo);
                auto* scroll = view.find<QScrollArea>("scroll");
                EXPECT_LE(view.find("column")->height(), scroll->viewport()->height());
                EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
                for (const char* symbol : {"headerIcon", "quotaErrorIcon"})
                    EXPECT_EQ(view.find<QLabel>(symbol)->pixmap().devicePixelRatio(), ratio) << symbol;
                auto* quit = view.find<QPushButton>("quitButton");
                EXPECT_EQ(quit->icon().availableSizes().value(0), quit->iconSize() * ratio);
                view.savePng("fit-" + name);
            }
}

TEST(QuotaViewLayout, TheFigureAndItsDayShareABaseline) {
    ViewRig view;
    auto* figure = view.find<QLabel>("tokenFigure");
    auto* day = view.find<QLabel>("tokenDay");
    const auto baseline = [](QLabel* label) {
        return label->geometry().bottom() - label->contentsMargins().bottom() - QFontMetrics(label->font()).descent();
    };
    EXPECT_NEAR(baseline(figure), baseline(day), 1);
}

TEST(QuotaViewLayout, RowsAreUpdatedInPlaceAndFollowTheModelOrder) {
    ViewRig view;
    view.rig.startReady();
    view.rig.answerQuota(windowsAt({10, 20}));
    view.settle();
    const auto before = view.rows();
    ASSERT_EQ(before.size(), 2u);

    view.rig.receive(R"({"method":"account/rateLimits/updated","params":)" + windowsAt({30, 40}) + "}");
    view.settle();
    const auto same = view.rows();
    EXPECT_EQ(same, before);
    EXPECT_EQ(same[0]->findChild<QLabel*>(QStringLiteral("quotaUsed"))->text(), "30 % utilisés");
    EXPECT_EQ(same[1]->findChild<QLabel*>(QStringLiteral("quotaUsed"))->text(), "40 % utilisés");

    // A third window joins: the first two rows stay, one new row follows them.
    view.rig.receive(R"({"method":"account/rateLimits/updated","params":)" + windowsAt({1, 2, 3}) + "}");
    view.settle();
    const auto grown = view.rows();
    ASSERT_EQ(grown.size(), 3u);
    EXPECT_EQ(grown[0], before[0]);
    EXPECT_EQ(grown[1], before[1]);
    EXPECT_EQ(grown[2]->findChild<QLabel*>(QStringLiteral("quotaName"))->text(), "Palier 3 · 5 heures");

    // Back to the fallback payload: other ids, so the old rows go and new ones take their place.
    view.rig.receive(R"({"method":"account/rateLimits/updated","params":)" + twoWindows + "}");
    view.settle();
    const auto replaced = view.rows();
    ASSERT_EQ(replaced.size(), 2u);
    EXPECT_EQ(view.view->findChildren<QWidget*>(QStringLiteral("quotaRow")).size(), 2);
    EXPECT_EQ(replaced[0]->findChild<QLabel*>(QStringLiteral("quotaName"))->text(), "5 heures");
    EXPECT_EQ(view.columnOrder().at(1), "quotaRow");
}

TEST(QuotaViewLayout, TallContentScrollsWithoutChangingTheWidth) {
    ViewRig view;
    view.rig.startReady();
    view.rig.answerQuota(windowsAt({5, 15, 25, 35, 45, 55}));
    view.rig.child().exit();
    view.rig.loop->drain();
    view.settle();

    auto* scroll = view.find<QScrollArea>("scroll");
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_EQ(view.view->width(), 360);
    EXPECT_EQ(view.find("column")->width(), 360);
    EXPECT_EQ(view.find("footer")->width(), 320);

    // The error text takes as many lines as its width needs: never cut off.
    auto* error = view.find<QLabel>("quotaErrorText");
    EXPECT_EQ(error->height(), error->heightForWidth(error->width()));
    view.savePng("scrolling");
}

TEST(QuotaViewLayout, AnErrorWiderThanTheColumnWrapsOntoFurtherLines) {
    ViewRig view;
    view.rig.startReady();
    view.rig.answerError(view.rig.pendingId("quota"), "rate limited");
    view.settle();
    auto* error = view.find<QLabel>("quotaErrorText");
    ASSERT_EQ(error->text(), "Données temporairement indisponibles. Nouvel essai automatique.");
    const QFontMetrics metrics(error->font());
    ASSERT_GT(metrics.horizontalAdvance(error->text()), error->width());
    EXPECT_GE(error->height(), 2 * metrics.lineSpacing());
    EXPECT_EQ(error->height(), error->heightForWidth(error->width()));
    view.savePng("error-wrapped");
}

TEST(QuotaViewLayout, NothingIsPaintedBehindTheContent) {
    ViewRig view;
    auto* scroll = view.find<QScrollArea>("scroll");
    EXPECT_FALSE(view.view->autoFillBackground());
    EXPECT_FALSE(scroll->viewport()->autoFillBackground());
    EXPECT_FALSE(view.find("column")->autoFillBackground());
    // Rendered as inside the panel: without the window background that a top-level window gets.
    QImage image(view.view->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    // The margin corners, away from any text or control, stay fully transparent.
    EXPECT_EQ(qAlpha(image.pixel(4, 4)), 0);
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 5, image.height() - 5)), 0);
}

TEST(QuotaViewLayout, TextsTheToolkitFormatsUseFrenchFromFrance) {
    ViewRig view;
    EXPECT_EQ(view.view->locale(), QLocale(QLocale::French, QLocale::France));
}

}  // namespace
}  // namespace tallyvane::testing
