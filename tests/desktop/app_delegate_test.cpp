// The desktop delegate on a hand-driven model and a private bus (standing in for the session and the system bus):
// the tray item as a host sees it, the panel its clicks toggle, Codex opened, waking up, and quota alerts shown by
// a stand-in notification service, with the history in a real SQLite file.
#include "app/desktop/app_delegate.h"

#include <QApplication>
#include <QDBusVirtualObject>
#include <QKeyEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "app/desktop/missing_tray_notice.h"
#include "app/desktop/quota_panel.h"
#include "app/desktop/tray_icon_art.h"
#include "app/history/history_recorder.h"
#include "model/open_codex.h"
#include "model/panel_texts.h"
#include "platform/qt/dbus_notifier.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/status_notifier_item.h"
#include "platform/qt/tray_item.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "tests/desktop/support/daemons.h"
#include "tests/desktop/support/tray_host.h"
#include "tests/support/fakes.h"

namespace tallyvane::testing {
namespace {

using namespace std::chrono_literals;

std::string quotaAt(double used, std::int64_t reset = 1'796'600'000) {
    return R"({"rateLimits":{"primary":{"usedPercent":)" + std::to_string(used) +
           R"(,"windowDurationMins":300,"resetsAt":)" + std::to_string(reset) + "}}}";
}

// What the protocol puts on the wire for the tray's second icon size: ARGB32 pixels in network byte order.
QByteArray wire(std::optional<double> highest, bool error) {
    QByteArray bytes;
    const QImage argb = trayIcons(highest, error, true).value(1).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            for (int shift : {24, 16, 8, 0}) bytes.append(char(argb.pixel(x, y) >> shift));
    return bytes;
}

// Answers Notify with a new id and remembers what it was asked to show; fails the first `failing` calls, as
// a service not up yet at login.
class NotificationService final : public QDBusVirtualObject {
public:
    std::vector<std::tuple<uint, QString, QString>> shown;  // the id it replaces, summary, body
    int failing = 0;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Notify")) return false;
        if (failing > 0) return --failing, connection.send(message.createErrorReply(QDBusError::NoReply, "starting"));
        const QList<QVariant> a = message.arguments();
        shown.emplace_back(a.value(1).toUInt(), a.value(3).toString(), a.value(4).toString());
        connection.send(message.createReply(QVariant::fromValue(uint(shown.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

class Delegate : public ::testing::Test {
protected:
    void SetUp() override {
        if (bus.line.isEmpty()) GTEST_SKIP() << "dbus-daemon did not start";
        QSettings("Tallyvane", "Tallyvane").setValue(AppDelegate::autoOpenKey, true);
        server.registerVirtualObject("/org/freedesktop/Notifications", &notifications);
        server.registerService("org.freedesktop.Notifications");
    }
    // A fresh run of the desktop shell in the same folder (instance lock, history file).
    bool launch(bool history = false, UserSettings settings = {}) {
        delegate.reset();
        rig = std::make_unique<ModelRig>();
        auto store = std::make_shared<SqliteHistoryStore>(folder.filePath("history.sqlite3").toStdString(), [](const std::string&) {});
        delegate = std::make_unique<AppDelegate>(DesktopServices{
            rig->model, rig->files, opener, "/home/tester", bus.connect("session"), bus.connect("system"), folder.path(),
            history ? HistoryRecorder::create(rig->model, rig->loop, store, std::make_shared<InlineExecutor>()) : nullptr,
            std::make_shared<DbusNotifier>(bus.connect("notifier")), settings, trayPatience});
        return delegate->launch() && (rig->receive(R"({"id":1,"result":{}})"), true);  // Codex answers the handshake
    }
    // Codex answers the reads, or a minute later those of a refresh: the quota, then the tokens.
    void answer(double used, std::int64_t reset = 1'796'600'000) {
        if (rig->pendingId("quota") < 0) rig->clock->advance(60s), rig->model->refresh();
        rig->answerQuota(quotaAt(used, reset));
        rig->answerTokens("{}");
    }
    bool reading() const { return rig->pendingId("quota") >= 0; }
    QuotaPanel* panel() const { return delegate->panel(); }

    PrivateBus bus;  // goes last: the delegate and every connection before it
    QDBusConnection server = bus.connect("server");
    NotificationService notifications;
    QTemporaryDir folder;
    std::unique_ptr<ModelRig> rig;
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    std::unique_ptr<AppDelegate> delegate;
    std::chrono::milliseconds trayPatience = 1h;
};

// The item registers with a watcher that starts later, learns which program hosts it and follows it going; a host
// hears one signal per change, none when only the tokens fail.
TEST_F(Delegate, TrayFollowsTheModelAndTheWatcherAsAHostSeesThem) {
    ASSERT_TRUE(launch());
    const TrayItem& tray = *delegate->tray();
    EXPECT_FALSE(tray.usesStatusNotifier());
    {
        TestWatcher watcher(bus.connect("watcher"));
        ASSERT_TRUE(waitUntil([&] { return watcher.items() == QStringList{tray.statusNotifier().serviceName()}; }));
        EXPECT_EQ(tray.statusNotifier().hostProgram(), QCoreApplication::applicationName()) << "this test's own program";
        EXPECT_FALSE(tray.showsLabel()) << "a host not known to draw the label: the figure is in the icon";
        SniReader item(bus.connect("host"), tray.statusNotifier().serviceName());
        EXPECT_FALSE(item.property("ItemIsMenu").toBool()) << "a click activates, the menu is for the right click";
        const auto shows = [&](const char* label, const QString& tip, const char* status, std::optional<double> highest) {
            EXPECT_EQ(std::tuple(item.text("XAyatanaLabel"), item.toolTip().text, item.toolTip().title, item.text("Status")),
                      std::tuple(QString(label), tip, QString(tip.isEmpty() ? "" : "Tallyvane"), QString(status)));
            EXPECT_EQ(item.icon().value(1).argb, wire(highest, status == std::string("NeedsAttention")));
        };
        shows(" GPT …", "", "Active", std::nullopt);  // no tooltip before the first change
        item.heard.clear();
        rig->answerQuota(quotaAt(62));
        shows(" GPT 62 %", "Quota Codex consommé · Actualisation toutes les 30 secondes", "Active", 62);
        rig->answerError(rig->pendingId("tokens"), "ignored by the tray");
        rig->model->refresh();
        rig->answerError(rig->pendingId("quota"), "Codex a refusé la lecture");
        shows(" GPT 62 % !", "Quota Codex consommé · " + QString::fromStdString(rig->model->error().value_or("")),
              "NeedsAttention", 62);
        spin(200);
        EXPECT_EQ(item.heard, QStringList({"XAyatanaNewLabel", "NewToolTip", "NewIcon", "XAyatanaNewLabel",
                                           "NewToolTip", "NewStatus", "NewIcon"}));
    }
    EXPECT_TRUE(waitUntil([&] { return !tray.usesStatusNotifier(); }));
    for (const auto& [host, draws] : {std::pair("gnome-shell", true), {"ayatana-indicator-application-service", true},
                                      {"indicator-application-service", true}, {"plasmashell", false},
                                      {"gnome-shell-x", false}, {"", false}})
        EXPECT_EQ(hostDrawsLabel(host), draws) << host;
}

// A click opens the panel beside it (8 away, above a bottom bar), asks for fresh data and records where it went.
// Only the press that closed the panel is ignored: its own Activate, which the host sends after it. Anything else
// asked a moment after a close opens the panel again.
TEST_F(Delegate, ClicksToggleThePanelAndOnlyTheClosingPressIsIgnored) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 800, 800)) << "offscreen's screen";
    ASSERT_TRUE(launch());
    answer(62);
    SniReader item(bus.connect("host"), delegate->tray()->statusNotifier().serviceName());
    enum Close { pressOnTray, escape, activate };
    const struct { const char* name; QPoint at; QRect frame; const char* record; Close close; int thenMs; bool secondCopy, opens; } table[] = {
        {"the closing press's own Activate", {790, 5}, {431, 14, 360, 400}, "{{431, 386}, {360, 400}}", pressOnTray, 250, false, false},
        {"Activate after Escape, bottom bar", {300, 790}, {8, 392, 360, 400}, "{{8, 8}, {360, 400}}", escape, 50, false, true},
        {"Activate after an Activate closed it", {790, 5}, {431, 14, 360, 400}, "{{431, 386}, {360, 400}}", activate, 50, false, true},
        {"a second copy after Escape", {790, 5}, {431, 14, 360, 400}, "{{431, 386}, {360, 400}}", escape, 50, true, true}};
    for (const auto& c : table) {
        SCOPED_TRACE(c.name);
        if (rig->pendingId("quota") >= 0) rig->answerQuota(quotaAt(62));  // the last opening's read
        ASSERT_TRUE(item.activate(c.at.x(), c.at.y()));
        ASSERT_TRUE(waitUntil([&] { return panel()->isVisible(); }));
        EXPECT_EQ(panel()->geometry(), c.frame);
        EXPECT_TRUE(reading()) << "opening asks for fresh data";
        rig->answerQuota(quotaAt(62));
        const auto writes = rig->files->writes;
        ASSERT_EQ(writes.back().first, "/home/tester/Library/Application Support/Tallyvane/placement.json");
        const auto record = nlohmann::json::parse(writes.back().second);  // in the panel's coordinates
        EXPECT_EQ(std::tuple(record["panel"], record["screenVisible"], record["contained"]),
                  std::tuple(c.record, "{{0, 0}, {800, 800}}", true));
        QMouseEvent press(QEvent::MouseButtonPress, panel()->mapFromGlobal(QPointF(c.at)), QPointF(c.at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        if (c.close == activate) EXPECT_TRUE(item.activate(c.at.x(), c.at.y()));
        else QApplication::sendEvent(panel(), c.close == escape ? static_cast<QEvent*>(&key) : &press);
        ASSERT_TRUE(waitUntil([&] { return !panel()->isVisible(); }));
        EXPECT_EQ(std::pair(reading(), rig->files->writes), std::pair(false, writes)) << "closing does neither";
        spin(c.thenMs);
        if (c.secondCopy) {  // on a thread of its own, as this loop has to answer it
            auto second = std::async(std::launch::async, [dir = folder.path().toStdString()] { return SingleInstance(dir).claim(); });
            EXPECT_TRUE(waitUntil([&] { return second.wait_for(0s) == std::future_status::ready; }));
            EXPECT_EQ(second.get(), SingleInstance::Claim::opened);
        } else {
            EXPECT_TRUE(item.activate(c.at.x(), c.at.y()));
        }
        spin(300);
        EXPECT_EQ(panel()->isVisible(), c.opens);
        panel()->hide();
    }
}

// The item's menu as a host reads it: one disabled line per window with the panel's own figures (a name from Codex
// made inert, its underscores doubled), then the panel's actions with its buttons' states. The revision moves only
// when windows come or go; other changes reach the host as property updates. Its entries act as the buttons do.
TEST_F(Delegate, MenuFollowsTheModelAndItsEntriesAct) {
    ASSERT_TRUE(launch());
    const QString service = delegate->tray()->statusNotifier().serviceName();
    EXPECT_EQ(SniReader(bus.connect("host"), service).property("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
    SniReader menu(bus.connect("host"), service, "/MenuBar", "com.canonical.dbusmenu");
    EXPECT_EQ(menu.property("Version").toUInt(), 3u);
    const QStringList actions = {"Afficher le panneau", "Actualiser", "Ouvrir Codex", "Quitter Tallyvane"};
    const auto [first, startEntries] = menu.menu();
    EXPECT_EQ(startEntries, QStringList(actions).replaceInStrings("Actualiser", "Actualiser (off)")) << "while reading";
    const std::int64_t reset = 1'796'600'000;
    const QString at = QString::fromStdString(resetText(Instant(std::chrono::seconds(reset))));
    const auto window = [&](const char* id, const char* name, int used, const char* slot, int minutes) {
        return QString(R"("%1":{"limitName":"%2","%3":{"usedPercent":%4,"windowDurationMins":%5,"resetsAt":%6}})")
            .arg(id, name, slot).arg(used).arg(minutes).arg(reset);
    };
    const struct { QString windows; QStringList lines; uint revision; const char* heard; } table[] = {
        {window("codex", "", 38, "primary", 300) + "," + window("gpt_5", R"(GPT_5\u001b[31m\nmini)", 7, "secondary", 10080),
         {"5 heures : 38 % · " + at + " (off)", "GPT__5 mini · Semaine : 7 % · " + at + " (off)"}, first + 1, "LayoutUpdated"},
        {window("codex", "", 62, "primary", 300) + "," + window("gpt_5", "GPT_5", 7, "secondary", 10080),
         {"5 heures : 62 % · " + at + " (off)", "GPT__5 · Semaine : 7 % · " + at + " (off)"}, first + 1, "ItemsPropertiesUpdated"},
        {window("codex", "", 62, "primary", 300), {"5 heures : 62 % · " + at + " (off)"}, first + 2, "LayoutUpdated"}};
    for (const auto& c : table) {
        menu.heard.clear();
        rig->clock->advance(60s), rig->model->refresh();
        rig->answerQuota(("{\"rateLimitsByLimitId\":{" + c.windows + "}}").toStdString());
        rig->answerTokens("{}");
        ASSERT_TRUE(waitUntil([&] { return !menu.heard.isEmpty(); })) << c.windows.toStdString();
        spin(100);
        EXPECT_EQ(menu.menu(), std::pair(c.revision, c.lines + QStringList{"--"} + actions));
        EXPECT_TRUE(menu.heard.contains(c.heard)) << menu.heard.join(" ").toStdString();
        EXPECT_EQ(menu.heard.contains("LayoutUpdated"), QString(c.heard) == "LayoutUpdated");
    }
    menu.click(0);  // a quota line does nothing
    menu.click(3);  // « Actualiser »
    ASSERT_TRUE(waitUntil([&] { return reading(); }));
    answer(62);
    menu.click(2);  // « Afficher le panneau », where the guess puts it
    ASSERT_TRUE(waitUntil([&] { return panel()->isVisible(); }));
    EXPECT_EQ(panel()->geometry(), QRect(432, 8, 360, 400));
    const DbusMenuEvents unknown = {{99, "clicked", QDBusVariant(QVariant(0)), 0}};
    EXPECT_EQ(qdbus_cast<QList<int>>(menu.call("EventGroup", {QVariant::fromValue(unknown)}).value(0)), QList<int>{99});
}

// Without any tray the notifier says so, once per user: not again at the next run without one, again once a run
// had one and it left for good, not for a host that comes back in time. A click on it opens the panel.
TEST_F(Delegate, SaysOnceThatThereIsNoTrayAndAgainOnlyAfterARunWithOne) {
    trayPatience = 300ms;
    QSettings("Tallyvane", "Tallyvane").remove(MissingTrayNotice::shownKey);
    enum Watcher { none, stays, leaves, restarts };
    const std::pair<Watcher, std::size_t> runs[] = {{none, 1}, {none, 1}, {stays, 1}, {restarts, 1}, {leaves, 2}};
    for (const auto& [watcher, notices] : runs) {
        auto host = watcher == none ? nullptr : std::make_unique<TestWatcher>(bus.connect("watcher"));
        ASSERT_TRUE(launch());
        spin(500);
        if (watcher == leaves || watcher == restarts) host.reset(), spin(watcher == restarts ? 100 : 700);
        if (watcher == restarts) host = std::make_unique<TestWatcher>(bus.connect("watcher"));
        spin(500);
        EXPECT_EQ(notifications.shown.size(), notices) << watcher;
    }
    EXPECT_EQ(notifications.shown[1], std::tuple(0u, QString("Tallyvane tourne sans icône"),
                                                 QString("Aucune zone de notification n’est disponible. Relance Tallyvane "
                                                         "depuis le menu des applications pour voir le panneau. Sur GNOME, "
                                                         "l’extension AppIndicator affiche le quota dans la barre du haut.")));
    server.send(QDBusMessage::createSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                           "ActionInvoked") << 2u << QStringLiteral("default"));
    EXPECT_TRUE(waitUntil([&] { return panel()->isVisible(); }));
}

TEST_F(Delegate, OpensByItselfOnlyOnTheFirstLiveLaunch) {
    QSettings("Tallyvane", "Tallyvane").remove(AppDelegate::autoOpenKey);
    for (bool first : {true, false}) {
        ASSERT_TRUE(launch());
        EXPECT_FALSE(panel()->isVisible());
        EXPECT_EQ(waitUntil([&] { return panel()->isVisible(); }, first ? 5000 : 1500), first);
    }
}

TEST_F(Delegate, WakingUpRefreshesFallingAsleepDoesNot) {
    QDBusConnection logind = bus.connect("logind");
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    ASSERT_TRUE(launch());
    answer(62);
    for (bool sleeping : {true, false}) {
        logind.send(QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                               "PrepareForSleep") << sleeping);
        EXPECT_EQ(waitUntil([&] { return reading(); }, sleeping ? 300 : 10000), !sleeping);
    }
}

// The first bundle carrying the executable, else the documentation: command-line installs outside bundles do not
// count, nor does a bundle with the executable elsewhere.
TEST_F(Delegate, OuvrirCodexOpensTheFirstBundleCarryingTheExecutableElseTheDocumentation) {
    ASSERT_TRUE(launch());
    const std::pair<std::vector<std::string>, const char*> table[] = {
        {{"/home/tester/Applications/Codex.app/Contents/Resources/codex",
          "/Applications/ChatGPT.app/Contents/Resources/codex-cli/bin/codex"}, "/Applications/ChatGPT.app"},
        {{"/home/tester/Applications/ChatGPT.app/Contents/Resources/codex-cli/CodexCLI.app/Contents/MacOS/codex"},
         "/home/tester/Applications/ChatGPT.app"},
        {{"/usr/local/bin/codex", "/home/tester/.local/bin/codex", "/Applications/Codex.app/codex"}, codexDocumentationUrl}};
    for (const auto& [executables, opened] : table) {
        rig->files->executables = executables;
        panel()->findChild<QPushButton*>("openCodexButton")->click();
        EXPECT_EQ(opener->opened.back(), opened);
    }
}

// Each kind of alert once per period of the window, asked again until the service showed it (the recorder's tests
// cover restarts); a click on one opens the panel; none when the settings file turns them off.
TEST_F(Delegate, AlertsComeOncePerPeriodOnceShownAndAClickOpensThePanel) {
    auto& shown = notifications.shown;
    const std::int64_t reset = 1'796'010'000;
    ASSERT_TRUE(launch(true));
    notifications.failing = 1;
    answer(95, reset);
    ASSERT_TRUE(waitUntil([&] { return notifications.failing == 0; }));
    for (int check = 0; check < 50 && shown.empty(); ++check) answer(95, reset), spin(100);  // asked again once failed
    ASSERT_EQ(shown.size(), 1u);
    answer(100, reset + 10);  // the reset drifts a little: still the same period
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 2; }));
    answer(10, reset + 5 * 3600);
    ASSERT_TRUE(waitUntil([&] { return shown.size() >= 3; }));
    spin(200);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(std::get<1>(shown[0]), "Quota 5 heures : 95 % utilisés");
    // The window's 100 % alert and the account's limit are due together: only the limit shows, in the 90 % one's place.
    EXPECT_EQ(std::pair(std::get<0>(shown[1]), std::get<1>(shown[1])), std::pair(1u, QString("Limite Codex atteinte")));
    for (int i : {0, 1}) EXPECT_TRUE(std::get<2>(shown[i]).startsWith("Réinitialisation : ")) << i;
    EXPECT_EQ(shown[2], std::tuple(0u, QString("Quota 5 heures réinitialisé"), QString("10 % utilisés.")));
    server.send(QDBusMessage::createSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                           "ActionInvoked") << 3u << QStringLiteral("default"));
    EXPECT_TRUE(waitUntil([&] { return panel()->isVisible(); }));
    const std::string settings = folder.filePath("Tallyvane.conf").toStdString();
    std::ofstream(settings) << "[General]\nalerts=false\n";
    ASSERT_TRUE(launch(true, readUserSettings(settings)));
    answer(100, reset + 10 * 3600);
    spin(300);
    EXPECT_EQ(shown.size(), 3u);
}

}  // namespace
}  // namespace tallyvane::testing
