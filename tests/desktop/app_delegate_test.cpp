#include "app/desktop/app_delegate.h"

#include <QApplication>
#include <QDBusMessage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>

#include <nlohmann/json.hpp>

#include "app/desktop/quota_panel.h"
#include "app/desktop/tray_icon_art.h"
#include "model/run_flags.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/status_notifier_item.h"
#include "platform/url_opener.h"
#include "platform/qt/tray_item.h"
#include "tests/desktop/support/private_bus.h"
#include "tests/desktop/support/qt_wait.h"
#include "tests/desktop/support/sni_reader.h"
#include "tests/desktop/support/test_watcher.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

using testing::ModelRig;
using testing::RecordingOpener;
using testing::PrivateBus;
using testing::SniReader;
using testing::spin;
using testing::TestWatcher;
using testing::waitUntil;

// The tray host's view of an icon against what the renderer draws.
bool sameImage(const QImage& fromHost, const QImage& drawn) {
    return fromHost == drawn.convertToFormat(QImage::Format_ARGB32);
}

const std::string quotaAt38And62 =
    R"({"rateLimits":{"primary":{"usedPercent":38,"windowDurationMins":300,"resetsAt":1796600000},)"
    R"("secondary":{"usedPercent":62,"windowDurationMins":10080,"resetsAt":1797000000}}})";

// The delegate on a model driven by hand, a private session bus with a watcher of our own, and
// the same bus standing in for the system bus (where a test may play logind).
class Delegate : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.unavailable().isEmpty()) GTEST_SKIP() << bus.unavailable().toStdString();
        registerSniTypes();
        watcher = std::make_unique<TestWatcher>(connection("watcher"));
        QSettings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane")).setValue(AppDelegate::autoOpenKey, true);
    }
    void TearDown() override {
        delegates.clear();
        watcher.reset();
        for (const QString& name : names) QDBusConnection::disconnectFromBus(name);
        setDemo(false);
    }
    QDBusConnection connection(const char* name) {
        QDBusConnection c = bus.connect(QString::fromLatin1(name) + QString::number(names.size()));
        names.append(c.name());
        return c;
    }
    AppDelegate& delegate(ModelRig* on = nullptr) {
        ModelRig& r = on ? *on : rig;
        delegates.push_back(std::make_unique<AppDelegate>(DesktopServices{
            r.model, r.files, opener, "/home/tester", connection("session"), connection("system"), instanceDir.path(),
            nullptr, nullptr, {}}));
        return *delegates.back();
    }
    SniReader host(const AppDelegate& d) {
        return SniReader(connection("host"), d.tray()->statusNotifier().serviceName());
    }
    // The child has answered: no read is pending, so the next refresh sends new ones.
    void settle(ModelRig& r) {
        r.receive(R"({"id":1,"result":{}})");
        r.answerQuota(quotaAt38And62);
        r.answerError(r.pendingId("tokens"), "pas de jetons");
    }
    int quotaReads(ModelRig& r) {
        int reads = 0;
        for (const std::string& line : r.child().writtenLines())
            reads += line.find("account/rateLimits/read") != std::string::npos;
        return reads;
    }

    PrivateBus bus;
    QStringList names;
    std::unique_ptr<TestWatcher> watcher;
    ModelRig rig;
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    QTemporaryDir instanceDir;
    std::vector<std::unique_ptr<AppDelegate>> delegates;
};

TEST_F(Delegate, TrayFollowsTheModel) {
    AppDelegate& d = delegate();
    ASSERT_TRUE(d.launch());
    const SniReader tray = host(d);
    ASSERT_TRUE(waitUntil([&] { return watcher->items().size() == 1; }));
    EXPECT_EQ(tray.text(QStringLiteral("XAyatanaLabel")), QStringLiteral(" GPT …"));
    EXPECT_EQ(tray.toolTip().text, QString()) << "no tooltip before the first change";
    EXPECT_TRUE(sameImage(sniImage(tray.icon().value(1)), trayIcons(std::nullopt, false, true).value(1)));

    rig.receive(R"({"id":1,"result":{}})");
    rig.answerQuota(quotaAt38And62);
    EXPECT_EQ(tray.text(QStringLiteral("XAyatanaLabel")), QStringLiteral(" GPT 62 %"));
    EXPECT_EQ(tray.toolTip().text, QStringLiteral("Quota Codex consommé · Actualisation toutes les 30 secondes"));
    EXPECT_EQ(tray.text(QStringLiteral("Status")), QStringLiteral("Active"));
    // This host hides the label, so the figure is in the icon.
    EXPECT_TRUE(sameImage(sniImage(tray.icon().value(1)), trayIcons(62, false, true).value(1)));

    rig.answerError(rig.pendingId("tokens"), "ignored by the title");
    EXPECT_EQ(tray.text(QStringLiteral("XAyatanaLabel")), QStringLiteral(" GPT 62 %"));

    rig.model->refresh();
    rig.answerError(rig.pendingId("quota"), "Codex a refusé la lecture");
    EXPECT_EQ(tray.text(QStringLiteral("XAyatanaLabel")), QStringLiteral(" GPT 62 % !"));
    ASSERT_TRUE(rig.model->error().has_value());
    EXPECT_EQ(tray.toolTip().text, QStringLiteral("Quota Codex consommé · ") + QString::fromStdString(*rig.model->error()));
    EXPECT_EQ(tray.text(QStringLiteral("Status")), QStringLiteral("NeedsAttention"));
    EXPECT_TRUE(sameImage(sniImage(tray.icon().value(1)), trayIcons(62, true, true).value(1)));
}

TEST_F(Delegate, ActivateTogglesThePanelAndRecordsWhereItWent) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_EQ(screen->availableGeometry(), QRect(0, 0, 800, 800)) << "the offscreen platform's screen";
    AppDelegate& d = delegate();
    ASSERT_TRUE(d.launch());
    settle(rig);
    const int readsBefore = quotaReads(rig);
    const SniReader tray = host(d);

    EXPECT_TRUE(tray.activate(790, 5));
    ASSERT_TRUE(waitUntil([&] { return d.panel()->isVisible(); }));
    EXPECT_EQ(d.panel()->geometry(), QRect(791 - 360, 6 + 8, 360, 400)) << "8 below the click";
    EXPECT_EQ(quotaReads(rig), readsBefore + 1) << "opening asks for fresh data";
    ASSERT_FALSE(rig.files->writes.empty());
    EXPECT_EQ(rig.files->writes.back().first, "/home/tester/Library/Application Support/Tallyvane/placement.json");
    EXPECT_EQ(nlohmann::json::parse(rig.files->writes.back().second),
              nlohmann::json({{"panel", "{{431, 386}, {360, 400}}"},
                              {"screenVisible", "{{0, 0}, {800, 800}}"},
                              {"contained", true},
                              {"material", "NSVisualEffectView.popover"}}));

    const std::size_t writes = rig.files->writes.size();
    EXPECT_TRUE(tray.activate(790, 5));
    ASSERT_TRUE(waitUntil([&] { return !d.panel()->isVisible(); }));
    EXPECT_EQ(quotaReads(rig), readsBefore + 1) << "closing does not refresh";
    EXPECT_EQ(rig.files->writes.size(), writes);

    // Reopened at a new anchor, then closed with Escape.
    EXPECT_TRUE(tray.activate(300, 790));
    ASSERT_TRUE(waitUntil([&] { return d.panel()->isVisible(); }));
    EXPECT_EQ(d.panel()->geometry(), QRect(8, 800 - 8 - 400, 360, 400)) << "a bottom bar: above the anchor";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(d.panel(), &escape);
    EXPECT_FALSE(d.panel()->isVisible());
}

TEST_F(Delegate, DemoPanelOpensByItselfAndWritesNoPlacement) {
    setDemo(true);
    QSettings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane")).setValue(AppDelegate::autoOpenKey, true);
    AppDelegate& d = delegate();
    ASSERT_TRUE(d.launch());
    EXPECT_EQ(host(d).text(QStringLiteral("XAyatanaLabel")), QStringLiteral(" DÉMO GPT 62 %"));
    EXPECT_EQ(host(d).toolTip().text, QStringLiteral("Démo · données fictives · aucune connexion"));
    ASSERT_TRUE(waitUntil([&] { return d.panel()->isVisible(); }, 5000)) << "opens on every demo launch";
    EXPECT_TRUE(rig.files->writes.empty());
    EXPECT_TRUE(rig.launcher->children.empty());

    // Demo copies do not exclude each other.
    ModelRig other;
    EXPECT_TRUE(delegate(&other).launch());
}

TEST_F(Delegate, OpensByItselfOnlyOnTheFirstLiveLaunch) {
    QSettings settings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane"));
    settings.remove(AppDelegate::autoOpenKey);
    settings.sync();
    {
        AppDelegate& first = delegate();
        ASSERT_TRUE(first.launch());
        EXPECT_TRUE(QSettings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane"))
                        .value(AppDelegate::autoOpenKey)
                        .toBool());
        EXPECT_FALSE(first.panel()->isVisible());
        EXPECT_TRUE(waitUntil([&] { return first.panel()->isVisible(); }, 5000));
    }
    delegates.clear();
    ModelRig again;
    AppDelegate& second = delegate(&again);
    ASSERT_TRUE(second.launch());
    spin(1500);
    EXPECT_FALSE(second.panel()->isVisible());
}

// Only the press that closed the panel is ignored: its own Activate, which the host sends after
// it. Anything else asked a moment after a close opens the panel again.
TEST_F(Delegate, OnlyTheClosingPressIsIgnored) {
    AppDelegate& d = delegate();
    ASSERT_TRUE(d.launch());
    const SniReader tray = host(d);
    enum Close { pressOnTray, escape, activate };
    struct Case {
        const char* name;
        Close close;
        int thenMs;
        bool secondCopy;  // else the tray's Activate
        bool opens;
    };
    for (const Case& c : {Case{"the closing press's own Activate", pressOnTray, 250, false, false},
                          Case{"Activate after Escape", escape, 50, false, true},
                          Case{"Activate after an Activate closed it", activate, 50, false, true},
                          Case{"a second copy after Escape", escape, 50, true, true}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tray.activate(790, 5));
        ASSERT_TRUE(waitUntil([&] { return d.panel()->isVisible(); }));
        const QPoint trayItem = d.panel()->mapFromGlobal(QPoint(790, 5));
        QMouseEvent press(QEvent::MouseButtonPress, trayItem, QPoint(790, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        if (c.close == activate) EXPECT_TRUE(tray.activate(790, 5));
        else QApplication::sendEvent(d.panel(), c.close == escape ? static_cast<QEvent*>(&key) : &press);
        ASSERT_TRUE(waitUntil([&] { return !d.panel()->isVisible(); }));
        spin(c.thenMs);
        if (c.secondCopy) {
            // On a thread of its own, as this loop has to answer it.
            auto second = std::async(std::launch::async,
                                     [dir = instanceDir.path().toStdString()] { return SingleInstance(dir).claim(); });
            EXPECT_TRUE(waitUntil([&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
            EXPECT_EQ(second.get(), SingleInstance::Claim::opened);
        } else {
            EXPECT_TRUE(tray.activate(790, 5));
        }
        spin(300);
        EXPECT_EQ(d.panel()->isVisible(), c.opens);
        d.panel()->hide();
    }
}

TEST_F(Delegate, WakingUpRefreshes) {
    QDBusConnection logind = connection("logind");
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    AppDelegate& d = delegate();
    ASSERT_TRUE(d.launch());
    settle(rig);
    const int before = quotaReads(rig);
    auto resumed = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                              QStringLiteral("org.freedesktop.login1.Manager"),
                                              QStringLiteral("PrepareForSleep"));
    resumed << false;
    logind.send(resumed);
    EXPECT_TRUE(waitUntil([&] { return quotaReads(rig) == before + 1; }));
}

TEST_F(Delegate, TerminateStopsTheChildOnce) {
    AppDelegate& d = delegate();
    ASSERT_TRUE(d.launch());
    rig.receive(R"({"id":1,"result":{}})");
    d.terminate();
    EXPECT_TRUE(rig.child().inputClosed);
    EXPECT_GE(rig.child().terminateCount, 1);
    const int terminations = rig.child().terminateCount;
    d.terminate();
    EXPECT_EQ(rig.child().terminateCount, terminations);
    EXPECT_TRUE(rig.model->stopped());
}

}  // namespace
}  // namespace tallyvane
