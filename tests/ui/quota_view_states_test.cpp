// What the panel shows for each state of the model, text for text and in order.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "model/run_flags.h"
#include "tests/ui/view_rig.h"
#include "ui/spinner.h"
#include "ui/status_line.h"
#include "ui/system_colors.h"
#include "ui/usage_bar.h"

namespace tallyvane::testing {
namespace {

class QuotaViewStates : public ::testing::Test {
protected:
    void TearDown() override { setDemo(false); }

    static QString rowText(QWidget* row, const char* name) {
        return row->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    static bool rowShows(QWidget* row, const char* name) {
        return row->findChild<QWidget*>(QString::fromLatin1(name))->isVisibleTo(row);
    }
    QColor color(SystemColor which) const { return systemColor(which, view.view->palette()); }
    QColor dotColor() const { return view.find<StatusDot>("statusDot")->color(); }
    bool enabled(const char* button) const { return view.find<QPushButton>(button)->isEnabled(); }

    ViewRig view;
};

const std::vector<std::string> sectionsAfterRows{"divider", "tokenSection", "divider", "statusLine", "footer"};

std::vector<std::string> order(std::vector<std::string> head) {
    head.insert(head.end(), sectionsAfterRows.begin(), sectionsAfterRows.end());
    return head;
}

TEST_F(QuotaViewStates, BeforeAnythingArrivesTheNoticeAndPlaceholdersShow) {
    EXPECT_EQ(view.columnOrder(), order({"header", "connectingNotice"}));
    EXPECT_EQ(view.text("title"), "Tallyvane");
    EXPECT_EQ(view.text("subtitle"), "Limites du compte connecté à Codex");
    EXPECT_EQ(view.text("connectingNotice"), "Connexion à ton compte…");
    EXPECT_FALSE(view.shown("spinner"));
    EXPECT_EQ(view.text("tokenHeading"), "TOKENS DÉCLARÉS PAR CODEX");
    EXPECT_EQ(view.text("tokenFigure"), "—");
    EXPECT_EQ(view.text("tokenDay"), "Date indisponible");
    EXPECT_EQ(view.text("lifetimeCaption"), "Total historique");
    EXPECT_EQ(view.text("lifetimeValue"), "Indisponible");
    EXPECT_EQ(view.text("tokenNote"),
              "L’historique peut arriver en retard. Il ne représente pas un compteur de toutes les conversations "
              "ChatGPT.");
    EXPECT_FALSE(view.shown("tokenError"));
    EXPECT_EQ(view.text("readingTime"), "En attente de données");
    EXPECT_EQ(view.text("refreshPeriod"), "Toutes les 30 s");
    EXPECT_EQ(dotColor(), color(SystemColor::Orange));
    EXPECT_EQ(view.find<QPushButton>("refreshButton")->text(), "Actualiser");
    EXPECT_EQ(view.find<QPushButton>("openCodexButton")->text(), "Ouvrir Codex");
    EXPECT_TRUE(view.find<QPushButton>("quitButton")->text().isEmpty());
    EXPECT_EQ(view.find<QPushButton>("quitButton")->toolTip(), "Quitter Tallyvane");
    EXPECT_TRUE(enabled("refreshButton"));
    EXPECT_TRUE(enabled("openCodexButton"));
    EXPECT_TRUE(enabled("quitButton"));
    view.savePng("never-read");
}

TEST_F(QuotaViewStates, ConnectingShowsTheSpinnerAndDisablesRefresh) {
    view.rig.startReady();
    view.settle();
    ASSERT_TRUE(view.rig.model->refreshing());
    EXPECT_EQ(view.columnOrder(), order({"header", "connectingNotice"}));
    EXPECT_TRUE(view.shown("spinner"));
    EXPECT_TRUE(view.find<Spinner>("spinner")->isSpinning());
    EXPECT_FALSE(enabled("refreshButton"));
    EXPECT_TRUE(enabled("openCodexButton"));
    view.savePng("connecting");
}

TEST_F(QuotaViewStates, AnErrorWithoutWindowsReplacesTheNotice) {
    view.rig.startReady();
    view.rig.answerError(view.rig.pendingId("quota"), "Unauthorized");
    view.settle();
    EXPECT_EQ(view.columnOrder(), order({"header", "quotaError"}));
    EXPECT_EQ(view.text("quotaErrorText"), "Reconnecte ton compte ChatGPT dans Codex.");
    EXPECT_FALSE(view.find<QLabel>("quotaErrorIcon")->pixmap().isNull());
    EXPECT_EQ(view.find<QLabel>("quotaErrorText")->palette().color(QPalette::WindowText), color(SystemColor::Orange));
    EXPECT_EQ(view.text("readingTime"), "En attente de données");
    EXPECT_EQ(dotColor(), color(SystemColor::Orange));
    view.savePng("error-without-windows");
}

TEST_F(QuotaViewStates, WindowsShowOneRowEachInModelOrder) {
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.rig.answerTokens(tokenResult);
    view.settle();
    ASSERT_FALSE(view.rig.model->refreshing());
    EXPECT_EQ(view.columnOrder(), order({"header", "quotaRow", "quotaRow"}));
    const auto rows = view.rows();
    EXPECT_EQ(rowText(rows[0], "quotaName"), "5 heures");
    EXPECT_EQ(rowText(rows[0], "quotaUsed"), "42 % utilisés");
    EXPECT_EQ(rowText(rows[0], "quotaRemaining"), "58 % restants");
    EXPECT_EQ(rowText(rows[0], "quotaReset"), "↻ 6 déc., 23:33");
    EXPECT_EQ(rowText(rows[1], "quotaName"), "Semaine");
    EXPECT_EQ(rowText(rows[1], "quotaUsed"), "5 % utilisés");
    EXPECT_EQ(rowText(rows[1], "quotaRemaining"), "95 % restants");
    EXPECT_EQ(rowText(rows[1], "quotaReset"), "↻ 11 déc., 14:40");
    EXPECT_EQ(view.text("tokenFigure"), "1,5 M");
    EXPECT_EQ(view.text("tokenDay"), "5 décembre 2026");
    EXPECT_EQ(view.text("lifetimeValue"), "123,5 M");
    EXPECT_EQ(view.text("readingTime"), "Relevé à 00:53:20");
    EXPECT_EQ(dotColor(), color(SystemColor::Green));
    EXPECT_FALSE(view.shown("spinner"));
    EXPECT_FALSE(view.find<Spinner>("spinner")->isSpinning());
    EXPECT_TRUE(enabled("refreshButton"));
    view.savePng("windows");
}

TEST_F(QuotaViewStates, ALaterFailureKeepsTheRowsAboveTheErrorAndTheLastReadingTime) {
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.rig.answerTokens(tokenResult);
    view.rig.clock->advance(std::chrono::seconds(90));
    view.rig.child().exit();
    view.rig.loop->drain();
    view.settle();
    EXPECT_EQ(view.columnOrder(), order({"header", "quotaRow", "quotaRow", "quotaError"}));
    EXPECT_EQ(view.text("quotaErrorText"), "Connexion interrompue. Nouvel essai automatique.");
    EXPECT_EQ(view.text("readingTime"), "Relevé à 00:53:20");
    EXPECT_EQ(dotColor(), color(SystemColor::Orange));
    EXPECT_TRUE(enabled("refreshButton"));
    view.savePng("windows-and-error");
}

TEST_F(QuotaViewStates, ATokenErrorShowsBelowTheNoteAndLeavesTheDotGreen) {
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.rig.answerError(view.rig.pendingId("tokens"), "rate limited");
    view.settle();
    EXPECT_EQ(view.text("tokenError"), "Données temporairement indisponibles. Nouvel essai automatique.");
    EXPECT_TRUE(view.shown("tokenError"));
    EXPECT_GT(view.find("tokenError")->y(), view.find("tokenNote")->geometry().bottom());
    EXPECT_EQ(view.text("tokenFigure"), "—");
    EXPECT_EQ(view.text("lifetimeValue"), "Indisponible");
    EXPECT_FALSE(view.shown("quotaError"));
    EXPECT_EQ(dotColor(), color(SystemColor::Green));
    view.savePng("token-error");
}

TEST_F(QuotaViewStates, DemoShowsTheSampleDataWithBothTextButtonsDisabled) {
    setDemo(true);
    view.rig.model->start();
    view.settle();
    EXPECT_EQ(view.text("subtitle"), "Démo · données fictives");
    EXPECT_EQ(view.columnOrder(), order({"header", "quotaRow", "quotaRow"}));
    const auto rows = view.rows();
    EXPECT_EQ(rowText(rows[0], "quotaName"), "5 heures");
    EXPECT_EQ(rowText(rows[0], "quotaUsed"), "38 % utilisés");
    EXPECT_EQ(rowText(rows[0], "quotaRemaining"), "62 % restants");
    EXPECT_EQ(rowText(rows[0], "quotaReset"), "↻ 30 nov., 02:53");
    EXPECT_EQ(rowText(rows[1], "quotaName"), "Semaine");
    EXPECT_EQ(rowText(rows[1], "quotaUsed"), "62 % utilisés");
    EXPECT_EQ(rowText(rows[1], "quotaRemaining"), "38 % restants");
    EXPECT_EQ(rowText(rows[1], "quotaReset"), "↻ 2 déc., 00:53");
    for (QWidget* row : rows)
        EXPECT_EQ(row->findChild<UsageBar*>(QStringLiteral("quotaBar"))->fill(), color(SystemColor::Teal));
    EXPECT_EQ(view.text("tokenFigure"), "23,4 k");
    EXPECT_EQ(view.text("tokenDay"), "3 octobre 2026");
    EXPECT_EQ(view.text("lifetimeValue"), "1,2 M");
    EXPECT_EQ(view.text("readingTime"), "Relevé à 00:53:20");
    EXPECT_EQ(dotColor(), color(SystemColor::Green));
    EXPECT_FALSE(enabled("refreshButton"));
    EXPECT_FALSE(enabled("openCodexButton"));
    EXPECT_TRUE(enabled("quitButton"));
    QTest::mouseClick(view.find<QPushButton>("quitButton"), Qt::LeftButton);
    EXPECT_EQ(view.quits, 1);
    view.savePng("demo");
}

TEST_F(QuotaViewStates, DemoSubtitleDoesNotDependOnTheModel) {
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.settle();
    setDemo(true);  // the next redraw of this live model happens with the flag set
    view.rig.answerTokens(tokenResult);
    view.settle();
    EXPECT_EQ(view.text("subtitle"), "Démo · données fictives");
    EXPECT_FALSE(enabled("refreshButton"));
    EXPECT_FALSE(enabled("openCodexButton"));
}

struct Threshold {
    double used;
    const char* usedText;
    const char* remainingText;
    SystemColor tint;
};

TEST_F(QuotaViewStates, RowsColourTheirBarOnTheUnroundedValue) {
    const std::vector<Threshold> table{
        {0, "0 % utilisés", "100 % restants", SystemColor::Teal},
        {37.5, "38 % utilisés", "63 % restants", SystemColor::Teal},
        {74.6, "75 % utilisés", "25 % restants", SystemColor::Teal},
        {75, "75 % utilisés", "25 % restants", SystemColor::Orange},
        {89.9, "90 % utilisés", "10 % restants", SystemColor::Orange},
        {90, "90 % utilisés", "10 % restants", SystemColor::Red},
        {100, "100 % utilisés", "0 % restants", SystemColor::Red},
    };
    std::vector<double> percentages;
    for (const auto& row : table) percentages.push_back(row.used);
    view.rig.startReady();
    view.rig.answerQuota(windowsAt(percentages));
    view.settle();
    const auto rows = view.rows();
    ASSERT_EQ(rows.size(), table.size());
    for (std::size_t index = 0; index < table.size(); ++index) {
        SCOPED_TRACE(table[index].used);
        EXPECT_EQ(rowText(rows[index], "quotaName"), QStringLiteral("Palier %1 · 5 heures").arg(index + 1));
        EXPECT_EQ(rowText(rows[index], "quotaUsed"), QString::fromUtf8(table[index].usedText));
        EXPECT_EQ(rowText(rows[index], "quotaRemaining"), QString::fromUtf8(table[index].remainingText));
        auto* bar = rows[index]->findChild<UsageBar*>(QStringLiteral("quotaBar"));
        EXPECT_DOUBLE_EQ(bar->fraction(), table[index].used / 100);
        EXPECT_EQ(bar->fill(), color(table[index].tint));
        EXPECT_EQ(bar->fill(), view.view->tint(table[index].used));
    }
    // Only the first window has a reset time; the others have no right-hand text.
    EXPECT_TRUE(rowShows(rows[0], "quotaReset"));
    for (std::size_t index = 1; index < rows.size(); ++index) EXPECT_FALSE(rowShows(rows[index], "quotaReset"));
    view.savePng("thresholds");
}

TEST_F(QuotaViewStates, RefreshingTogglesTheSpinnerAndTheRefreshButton) {
    view.rig.startReady();
    view.rig.answerQuota(twoWindows);
    view.rig.answerTokens(tokenResult);
    view.settle();
    const QRect headerBefore = view.find("header")->geometry();
    EXPECT_TRUE(enabled("refreshButton"));

    QTest::mouseClick(view.find<QPushButton>("refreshButton"), Qt::LeftButton);
    view.settle();
    EXPECT_TRUE(view.rig.model->refreshing());
    EXPECT_NE(view.rig.pendingId("quota"), -1);
    EXPECT_TRUE(view.shown("spinner"));
    EXPECT_TRUE(view.find<Spinner>("spinner")->isSpinning());
    EXPECT_FALSE(enabled("refreshButton"));
    EXPECT_EQ(view.find("header")->geometry(), headerBefore);

    view.rig.answerQuota(twoWindows);
    view.rig.answerTokens(tokenResult);
    view.settle();
    EXPECT_FALSE(view.shown("spinner"));
    EXPECT_FALSE(view.find<Spinner>("spinner")->isSpinning());
    EXPECT_TRUE(enabled("refreshButton"));
}

TEST_F(QuotaViewStates, TheSpinnerStopsWhileThePanelIsHidden) {
    view.rig.startReady();
    view.settle();
    ASSERT_TRUE(view.find<Spinner>("spinner")->isSpinning());
    view.view->hide();
    EXPECT_FALSE(view.find<Spinner>("spinner")->isSpinning());
    view.view->show();
    EXPECT_TRUE(view.find<Spinner>("spinner")->isSpinning());
}

TEST_F(QuotaViewStates, FooterButtonsRunTheirActions) {
    QTest::mouseClick(view.find<QPushButton>("openCodexButton"), Qt::LeftButton);
    EXPECT_EQ(view.codexOpenings, 1);
    EXPECT_EQ(view.quits, 0);
    QTest::mouseClick(view.find<QPushButton>("quitButton"), Qt::LeftButton);
    EXPECT_EQ(view.quits, 1);
    EXPECT_EQ(view.codexOpenings, 1);
    // A refresh before any child runs launches one.
    QTest::mouseClick(view.find<QPushButton>("refreshButton"), Qt::LeftButton);
    EXPECT_EQ(view.rig.launcher->children.size(), 1u);
}

}  // namespace
}  // namespace tallyvane::testing
