// The history in the panel, on the demo data: each row's pace tick and forecast line, and the charts that
// a click or a key opens under a row or the token figure, one at a time, the panel folding back to its height.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTest>

#include "model/demo_history.h"
#include "model/run_flags.h"
#include "tests/ui/view_rig.h"
#include "ui/system_colors.h"
#include "ui/usage_bar.h"
#include "ui/usage_chart.h"

namespace tallyvane::testing {
namespace {

TEST(HistoryView, RowsShowPaceAndForecastAndChartsOpenOneAtATime) {
    const std::shared_ptr<void> demoOff(nullptr, [](void*) { setDemo(false); });
    ViewRig view;
    setDemo(true);
    *view.history = demoHistory(view.rig.clock->now());
    view.rig.model->start();
    view.settle();
    const int folded = view.find("column")->height();
    const auto rows = view.rows();
    ASSERT_EQ(rows.size(), 2u);
    QWidget* toggles[] = {rows[0]->findChild<QWidget*>("quotaToggle"), rows[1]->findChild<QWidget*>("quotaToggle"),
                          view.find("tokenToggle")};
    const auto chart = [&](int row) { return rows[row]->findChild<UsageChart*>("quotaChart"); };
    const auto open = [&] {  // which charts show, as bits: row 0, row 1, tokens
        QWidget* panel = view.view.get();
        return chart(0)->isVisibleTo(panel) | chart(1)->isVisibleTo(panel) << 1 | view.shown("tokenChart") << 2;
    };

    // 5 heures, 3 of its 5 hours gone, runs out before its reset; Semaine, 120 of its 168 hours gone, does not.
    const QColor orange = systemColor(SystemColor::Orange, view.view->palette());
    const struct { const char* remaining; QColor colour; double pace, used; bool exhausts; } table[] = {
        {"^62 % restants · épuisé vers 30 nov\\., 0[12]:\\d\\d$", orange, 0.6, 0.38, true},
        {"^38 % restants$", secondaryText(view.view->palette()), 120.0 / 168, 0.62, false}};
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        auto* label = rows[index]->findChild<QLabel*>("quotaRemaining");
        EXPECT_TRUE(label->text().contains(QRegularExpression(table[index].remaining))) << label->text().toStdString();
        EXPECT_EQ(label->palette().color(QPalette::WindowText), table[index].colour);
        EXPECT_NEAR(rows[index]->findChild<UsageBar*>("quotaBar")->pace().value_or(-1), table[index].pace, 1e-6);
        // Opening this row's chart folds the other's; its line ends on the current value, under the pace tick.
        QTest::mouseClick(toggles[index], Qt::LeftButton);
        view.settle();
        EXPECT_EQ(open(), 1 << index);
        const ChartData& data = chart(index)->data();
        ASSERT_FALSE(data.line.empty());
        EXPECT_LT(QLineF(data.line.back(), QPointF(table[index].pace, table[index].used)).length(), 1e-6);
        ASSERT_TRUE(data.forecast.has_value());
        EXPECT_EQ(data.exhausts, table[index].exhausts);
        EXPECT_DOUBLE_EQ(table[index].exhausts ? data.forecast->y2() : data.forecast->x2(), 1.0);
    }
    const struct { int target, key, open; } steps[] = {  // no key: a click
        {1, Qt::Key_Space, 0}, {2, 0, 4}, {0, Qt::Key_Return, 1}, {2, 0, 4}, {2, 0, 0}};
    for (const auto& step : steps) {
        if (step.key) QTest::keyClick(toggles[step.target], Qt::Key(step.key));
        else QTest::mouseClick(toggles[step.target], Qt::LeftButton);
        view.settle();
        EXPECT_EQ(open(), step.open) << step.target;
    }
    // The 30 days up to the latest, highlighted: the figure above it, 23,4 k of at most 83,1 k.
    const ChartData& days = view.find<UsageChart>("tokenChart")->data();
    ASSERT_EQ(days.bars.size(), 30u);
    EXPECT_EQ(days.highlighted, 29);
    EXPECT_DOUBLE_EQ(days.bars[29], 23'450.0 / 83'100);
    EXPECT_EQ(view.find("column")->height(), folded);
}

}  // namespace
}  // namespace tallyvane::testing
