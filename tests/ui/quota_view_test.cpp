// The panel's content in each state of the model, its fit in each font and scale, and the history: each row's pace
// tick and forecast, and the charts that open under a row or the token figure.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <map>

#include "model/demo_history.h"
#include "model/run_flags.h"
#include "tests/support/fakes.h"
#include "ui/quota_view.h"
#include "ui/spinner.h"
#include "ui/status_line.h"
#include "ui/system_colors.h"
#include "ui/usage_bar.h"
#include "ui/usage_chart.h"

// Failures show texts, not bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tallyvane::testing {
namespace {

// A QuotaView shown offscreen over a model driven by the fakes, with helpers to read what it shows.
struct ViewRig {
    ModelRig rig;
    std::shared_ptr<HistorySnapshot> history = std::make_shared<HistorySnapshot>();
    int quits = 0, codexOpenings = 0;
    std::unique_ptr<QuotaView> view =
        std::make_unique<QuotaView>(rig.model, history, [this] { ++quits; }, [this] { ++codexOpenings; });

    ViewRig() { view->resize(360, 400), view->show(), settle(); }
    // Delivers the view's queued redraw and lays everything out.
    void settle() { for (int round = 0; round < 4; ++round) QCoreApplication::sendPostedEvents(), qApp->processEvents(); }
    template <typename T = QWidget>
    T* find(const char* name, const QWidget* in = nullptr) const { return (in ? in : view.get())->findChild<T*>(name); }
    bool shown(const char* name) const { return find(name)->isVisibleTo(view.get()); }
    // The names of the column's widgets that take room, top to bottom, and its quota rows.
    std::pair<QString, std::vector<QWidget*>> column() const {
        QStringList names;
        std::vector<QWidget*> rows;
        QLayout* layout = find("column")->layout();
        for (int i = 0; i < layout->count(); ++i)
            if (QWidget* w = layout->itemAt(i)->widget(); w && !w->isHidden()) {
                names.append(w->objectName());
                if (w->objectName() == "quotaRow") rows.push_back(w);
            }
        return {names.join(u' '), rows};
    }
    std::vector<QWidget*> rows() const { return column().second; }
    // A row as one line: its texts (the reset time when shown), its bar's colour and length in percent.
    QString rowLine(const QWidget* row) const {
        const QLabel* reset = find<QLabel>("quotaReset", row);
        const auto* bar = find<UsageBar>("quotaBar", row);
        const char* tint = "?";
        for (auto [name, color] : {std::pair("teal", SystemColor::Teal), {"orange", SystemColor::Orange}, {"red", SystemColor::Red}})
            if (bar->fill() == systemColor(color, view->palette())) tint = name;
        return QStringList{find<QLabel>("quotaName", row)->text(), find<QLabel>("quotaUsed", row)->text(),
                           find<QLabel>("quotaRemaining", row)->text(), reset->isVisibleTo(row) ? reset->text() : "",
                           QStringLiteral("%1 %2").arg(QLatin1String(tint)).arg(bar->fraction() * 100)}.join(u'|');
    }
    // Moves the model and the view, one word a step.
    void reach(const QString& steps) {
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
            if (step == "start") rig.startReady();
            if (step == "quota") rig.answerQuota(twoWindowsAnswer);
            if (step == "tokens") rig.answerTokens(tokensAnswer);
            if (step == "refused") rig.answerError(rig.pendingId("quota"), "Unauthorized");
            if (step == "limited") rig.answerError(rig.pendingId("quota"), "rate limited");
            if (step == "tokenError") rig.answerError(rig.pendingId("tokens"), "rate limited");
            if (step == "limit") rig.answerQuota(atTheLimitAnswer(true));
            if (step == "levels") rig.answerQuota(windowsAt({0, 37.5, 74.6, 75, 89.9, 90, 100}));
            if (step == "demo") setDemo(true);
            if (step == "demoStart") rig.model->start();
            if (step == "refresh") QTest::mouseClick(find<QPushButton>("refreshButton"), Qt::LeftButton);
            if (step == "dark") view->setPalette(QPalette(QColor(0x2B, 0x2B, 0x2E)));
            if (step == "exit") rig.clock->advance(std::chrono::seconds(90)), rig.child().exit(), rig.loop->drain();
            settle();
        }
    }
    // For a person to look at.
    void savePng(const QString& name) const { view->grab().save(QStringLiteral(TALLYVANE_UI_PNG_DIR "/%1.png").arg(name)); }
};

const std::vector<QString> two{"5 heures|42 % utilisés|58 % restants|↻ 6 déc., 23:33|teal 42", "Semaine|5 % utilisés|95 % restants|↻ 11 déc., 14:40|teal 5"};
const SystemColor orange = SystemColor::Orange, green = SystemColor::Green;
const QString retry = "Données temporairement indisponibles. Nouvel essai automatique.";

// Every text, the column's order, the rows with their bars' colours, the status dot, the spinner, which buttons work,
// in each desktop font at each scale. The usual content fits the 360 × 400 panel without scrolling; the symbols are
// drawn for the screen's scale (a view moved off the first screen draws them again), each in one colour; nothing is
// painted behind the content, for the panel's translucent backdrop.
TEST(QuotaView, EachStateShowsItsTextsAndControlsInEachFontAndScale) {
    const QFont desktop = QApplication::font();
    const std::shared_ptr<void> restore(nullptr, [&](void*) { setDemo(false), QApplication::setFont(desktop); });
    ASSERT_EQ(QGuiApplication::screens().size(), 2);  // from two_screens.json
    const struct State {
        const char* name;
        QString steps, column;  // the column up to the token section
        std::vector<QString> rows;
        std::map<const char*, QString> texts;
        SystemColor dot;
        bool spinning, refreshes, live = true, fits = false;  // the refresh button enabled; "Ouvrir Codex" works
    } table[] = {
        {"never-read", "", "connectingNotice", {},
         {{"subtitle", "Limites du compte connecté à Codex"}, {"connectingNotice", "Connexion à ton compte…"}, {"tokenFigure", "—"},
          {"tokenDay", "Date indisponible"}, {"lifetimeValue", "Indisponible"}, {"readingTime", "En attente de données"},
          {"quitButton", ""}}, orange, false, true},
        {"connecting", "start", "connectingNotice", {}, {}, orange, true, false},
        {"error-without-windows", "start refused", "quotaError", {},
         {{"quotaErrorText", "Reconnecte ton compte ChatGPT dans Codex."}, {"readingTime", "En attente de données"}},
         orange, true, false},
        {"windows-dark", "start quota tokens dark", "quotaRow quotaRow", two,
         {{"tokenFigure", "1,5 M"}, {"tokenDay", "5 décembre 2026"}, {"lifetimeValue", "123,5 M"},
          {"readingTime", "Relevé à 00:53:20"}},
         green, false, true},
        {"windows-and-error", "start quota tokens exit", "quotaRow quotaRow quotaError", two,
         {{"quotaErrorText", "Connexion interrompue. Nouvel essai automatique."}, {"readingTime", "Relevé à 00:53:20"}},
         orange, false, true},
        {"token-error", "start quota tokenError", "quotaRow quotaRow", two,
         {{"tokenError", retry}, {"tokenFigure", "—"}, {"lifetimeValue", "Indisponible"}}, green, false, true},
        {"refreshing", "start quota tokens refresh", "quotaRow quotaRow", two, {}, green, true, false, true, true},
        {"demo", "demo demoStart", "quotaRow quotaRow accountSection",
         {"5 heures|38 % utilisés|62 % restants|↻ 30 nov., 02:53|teal 38",
          "Semaine|62 % utilisés|38 % restants|↻ 2 déc., 00:53|teal 62"},
         {{"subtitle", "Démo · données fictives"}, {"tokenFigure", "23,4 k"}, {"tokenDay", "3 octobre 2026"},
          {"lifetimeValue", "1,2 M"}, {"readingTime", "Relevé à 00:53:20"}, {"accountLine", "Forfait Plus · 12,5 crédits"}},
         green, false, false, false, true},
        // The subtitle and the buttons follow the flag, not the model.
        {"demo-on-a-live-model", "start quota demo tokens", "quotaRow quotaRow", two,
         {{"subtitle", "Démo · données fictives"}}, green, false, false, false},
        // At the limit the account line and its block show under the windows, and still fit.
        {"at-the-limit", "start limit tokens", "quotaRow quotaRow accountSection",
         {"5 heures|100 % utilisés|0 % restants|↻ 6 déc., 23:33|red 100", "Semaine|64 % utilisés|36 % restants|↻ 11 déc., 14:40|teal 64"},
         {{"accountLine", "Forfait Plus · 5,39 crédits · 1 réinitialisation disponible"},
          {"limitBlockText", "Limite atteinte · les crédits prennent le relais (5,39 restants)"}}, green, false, true, true, true},
        // Colours change at 75 and 90 of the unrounded value; more rows than fit scroll; a long error wraps.
        {"levels-and-error", "start levels tokens refresh limited",
         "quotaRow quotaRow quotaRow quotaRow quotaRow quotaRow quotaRow quotaError accountSection",
         {"Palier 1 · 5 heures|0 % utilisés|100 % restants|↻ 6 déc., 23:33|teal 0",
          "Palier 2 · 5 heures|38 % utilisés|63 % restants||teal 37.5", "Palier 3 · 5 heures|75 % utilisés|25 % restants||teal 74.6",
          "Palier 4 · 5 heures|75 % utilisés|25 % restants||orange 75", "Palier 5 · 5 heures|90 % utilisés|10 % restants||orange 89.9",
          "Palier 6 · 5 heures|90 % utilisés|10 % restants||red 90", "Palier 7 · 5 heures|100 % utilisés|0 % restants||red 100"},
         {{"quotaErrorText", retry}}, orange, true, false},
    };
    const QString families[] = {"DejaVu Sans", "Noto Sans", "Cantarell"};
    for (int run = 0; run < 6; ++run)
        for (const State& state : table) {
            QScreen* screen = QGuiApplication::screens()[run % 2];
            const qreal ratio = screen->devicePixelRatio();
            const QString name = QStringLiteral("%1-%2-x%3").arg(state.name, QString(families[run / 2]).remove(u' ')).arg(ratio);
            SCOPED_TRACE(name.toStdString());
            ASSERT_EQ(QFontInfo(QFont(families[run / 2])).family(), families[run / 2]);
            QApplication::setFont(QFont(families[run / 2], 10));
            ViewRig view;
            view.view->setScreen(screen), view.settle();
            view.reach(state.steps);
            setDemo(false);
            const QPalette palette = view.view->palette();
            EXPECT_EQ(view.column().first, "header " + state.column + " divider tokenSection divider statusLine footer");
            std::vector<QString> rows;
            for (QWidget* row : view.rows()) rows.push_back(view.rowLine(row));
            EXPECT_EQ(rows, state.rows);
            for (const auto& [name, text] : state.texts) EXPECT_EQ(view.find(name)->property("text"), text) << name;
            EXPECT_EQ(view.shown("tokenError"), state.texts.count("tokenError") == 1);
            EXPECT_TRUE(!view.shown("tokenError") || view.find("tokenError")->y() > view.find("tokenNote")->y()) << "below";
            for (const char* block : {"quotaError", "limitBlock"})
                if (auto* text = view.find<QLabel>((std::string(block) + "Text").c_str()); view.shown(block)) {
                    EXPECT_EQ(text->palette().color(QPalette::WindowText), systemColor(orange, palette));
                    EXPECT_EQ(text->height(), text->heightForWidth(text->width())) << "never cut off";
                }
            auto* scroll = view.find<QScrollArea>("scroll");  // content taller than the panel scrolls, never widens it
            const bool taller = view.find("column")->height() > scroll->viewport()->height();
            EXPECT_TRUE(scroll->verticalScrollBar()->isVisible() == taller && !(taller && state.fits));
            EXPECT_EQ(view.find("column")->width(), 360);
            EXPECT_EQ(view.find<StatusDot>("statusDot")->color(), systemColor(state.dot, palette));
            auto* spinner = view.find<Spinner>("spinner");
            EXPECT_EQ(std::pair(view.shown("spinner"), spinner->isSpinning()), std::pair(state.spinning, state.spinning));
            EXPECT_EQ(view.find("refreshButton")->isEnabled(), state.refreshes);
            auto* quit = view.find<QPushButton>("quitButton");
            EXPECT_EQ(quit->icon().availableSizes().value(0), quit->iconSize() * ratio);
            for (const QPixmap& symbol : {view.find<QLabel>("headerIcon")->pixmap(),
                                          view.find<QLabel>("quotaErrorIcon")->pixmap(), view.find<QLabel>("limitBlockIcon")->pixmap(), quit->icon().pixmap(quit->iconSize(), ratio)}) {
                EXPECT_EQ(symbol.devicePixelRatio(), ratio);
                const QImage image = symbol.toImage().convertToFormat(QImage::Format_ARGB32);
                QSet<QRgb> colours;  // of the opaque pixels
                for (int i = 0; i < image.width() * image.height(); ++i)
                    if (QRgb p = image.pixel(i % image.width(), i / image.width()); qAlpha(p) == 255) colours << p;
                EXPECT_EQ(colours.size(), 1);
            }
            QImage backdrop(view.view->size(), QImage::Format_ARGB32_Premultiplied);
            backdrop.fill(Qt::transparent);
            view.view->render(&backdrop, QPoint(), QRegion(), QWidget::DrawChildren);
            EXPECT_EQ(qAlpha(backdrop.pixel(4, 4)) + (taller ? 0 : qAlpha(backdrop.pixel(355, 395))), 0) << "corners see through";
            QTest::mouseClick(view.find<QPushButton>("openCodexButton"), Qt::LeftButton);
            QTest::mouseClick(quit, Qt::LeftButton);
            EXPECT_EQ(std::pair(view.codexOpenings, view.quits), std::pair(int(state.live), 1));
            view.savePng(name);
            view.view->hide();
            EXPECT_FALSE(spinner->isSpinning()) << "no animation for a hidden panel";
        }
}

// Rows are kept by window id across updates: the same widgets get the new values, new windows follow.
TEST(QuotaView, RowsAreUpdatedInPlaceAndFollowTheModelOrder) {
    ViewRig view;
    view.rig.startReady();
    std::vector<std::vector<QWidget*>> seen;
    QStringList firstRow;
    for (const auto& payload : {windowsAt({10, 20}), windowsAt({30, 40}), windowsAt({1, 2, 3}), twoWindowsAnswer}) {
        view.rig.receive(R"({"method":"account/rateLimits/updated","params":)" + payload + "}");
        view.settle();
        firstRow.append(view.rowLine((seen.emplace_back(view.rows())).front()).section(u'|', 1, 1));
    }
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[2], std::vector({seen[0][0], seen[0][1], seen[2][2]}));
    EXPECT_EQ(firstRow.join(u','), "10 % utilisés,30 % utilisés,1 % utilisés,42 % utilisés");
    EXPECT_EQ(view.view->findChildren<QWidget*>(QStringLiteral("quotaRow")).size(), 2) << "other ids: old rows gone";
}

// On the demo data: 5 heures, 3 of its 5 hours gone, runs out before its reset; Semaine, 120 of its 168 hours gone,
// does not. A click or a key opens one chart at a time; the panel folds back to its height.
TEST(HistoryView, RowsShowPaceAndForecastAndChartsOpenOneAtATime) {
    const std::shared_ptr<void> demoOff(nullptr, [](void*) { setDemo(false); });
    ViewRig view;
    *view.history = demoHistory(view.rig.clock->now());
    view.reach("demo demoStart");
    const int folded = view.find("column")->height();
    const auto rows = view.rows();
    ASSERT_EQ(rows.size(), 2u);
    QWidget* toggles[] = {view.find("quotaToggle", rows[0]), view.find("quotaToggle", rows[1]), view.find("tokenToggle")};
    const auto chart = [&](int row) { return view.find<UsageChart>("quotaChart", rows[row]); };
    const auto open = [&] {  // which charts show, as bits: row 0, row 1, tokens
        return chart(0)->isVisibleTo(view.view.get()) | chart(1)->isVisibleTo(view.view.get()) << 1 | view.shown("tokenChart") << 2;
    };
    const struct { const char* remaining; QColor colour; double pace, used; bool exhausts; } table[] = {
        {"^62 % restants · épuisé vers 30 nov\\., 0[12]:\\d\\d$", systemColor(orange, view.view->palette()), 0.6, 0.38, true},
        {"^38 % restants$", secondaryText(view.view->palette()), 120.0 / 168, 0.62, false}};
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        auto* label = view.find<QLabel>("quotaRemaining", rows[index]);
        EXPECT_TRUE(label->text().contains(QRegularExpression(table[index].remaining))) << label->text().toStdString();
        EXPECT_EQ(label->palette().color(QPalette::WindowText), table[index].colour);
        EXPECT_NEAR(view.find<UsageBar>("quotaBar", rows[index])->pace().value_or(-1), table[index].pace, 1e-6);
        // Opening this row's chart folds the other's; its line ends on the current value, under the pace tick.
        QTest::mouseClick(toggles[index], Qt::LeftButton);
        view.settle();
        EXPECT_EQ(open(), 1 << index);
        const ChartData& data = chart(index)->data();
        ASSERT_TRUE(!data.line.empty() && data.forecast.has_value());
        EXPECT_LT(QLineF(data.line.back(), QPointF(table[index].pace, table[index].used)).length(), 1e-6);
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
