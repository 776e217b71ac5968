// The panel's frame: widths, margins and spacings, rows kept across updates, scrolling, and a
// transparent background.
#include <gtest/gtest.h>

#include <QLayout>
#include <QLocale>
#include <QScrollArea>
#include <QScrollBar>

#include "tests/ui/view_rig.h"

namespace tallyvane::testing {
namespace {

// Vertical gaps between consecutive widgets, in the order given.
std::vector<int> gaps(const std::vector<QWidget*>& widgets) {
    std::vector<int> result;
    for (std::size_t index = 1; index < widgets.size(); ++index)
        result.push_back(widgets[index]->geometry().top() - widgets[index - 1]->geometry().bottom() - 1);
    return result;
}

// The widgets of a layout, top to bottom: its own widgets, and for nested lines their first widget's line.
std::vector<QRect> itemRects(QLayout* layout) {
    std::vector<QRect> rects;
    for (int index = 0; index < layout->count(); ++index)
        if (!layout->itemAt(index)->isEmpty()) rects.push_back(layout->itemAt(index)->geometry());
    return rects;
}

std::vector<int> gaps(const std::vector<QRect>& rects) {
    std::vector<int> result;
    for (std::size_t index = 1; index < rects.size(); ++index)
        result.push_back(rects[index].top() - rects[index - 1].bottom() - 1);
    return result;
}

TEST(QuotaViewLayout, ColumnIs320WideInside20MarginsWith17BetweenChildren) {
    ViewRig view;
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.rig.answerError(view.rig.pendingId("tokens"), "rate limited");
    view.rig.child().exit();
    view.rig.loop->drain();
    view.settle();

    EXPECT_EQ(view.view->width(), 360);
    QWidget* column = view.find("column");
    EXPECT_EQ(column->width(), 360);
    const auto children = view.columnWidgets();
    ASSERT_EQ(children.size(), 9u);  // header, two rows, error, divider, tokens, divider, status, footer
    for (QWidget* child : children) {
        SCOPED_TRACE(child->objectName().toStdString());
        EXPECT_EQ(child->x(), 20);
        EXPECT_EQ(child->width(), 320);
    }
    EXPECT_EQ(children.front()->y(), 20);
    EXPECT_EQ(column->height() - children.back()->geometry().bottom() - 1, 20);
    for (int gap : gaps(children)) EXPECT_EQ(gap, 17);
}

TEST(QuotaViewLayout, SectionsKeepTheirInnerSpacing) {
    ViewRig view;
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.rig.answerError(view.rig.pendingId("tokens"), "rate limited");
    view.settle();

    for (QWidget* row : view.rows())
        for (int gap : gaps(itemRects(row->layout()))) EXPECT_EQ(gap, 7);
    const auto tokenLines = itemRects(view.find("tokenSection")->layout());
    EXPECT_EQ(tokenLines.size(), 5u);  // heading, figure, lifetime, note, error
    for (int gap : gaps(tokenLines)) EXPECT_EQ(gap, 9);
    EXPECT_EQ(view.find("subtitle")->geometry().top() - view.find("title")->geometry().bottom() - 1, 3);
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
