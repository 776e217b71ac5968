#include "platform/qt/status_notifier_item.h"

#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "platform/qt/tray_item.h"
#include "tests/desktop/support/private_bus.h"
#include "tests/desktop/support/qt_wait.h"
#include "tests/desktop/support/signal_recorder.h"
#include "tests/desktop/support/sni_reader.h"
#include "tests/desktop/support/test_watcher.h"

namespace tallyvane {
namespace {

using testing::PrivateBus;
using testing::SignalRecorder;
using testing::SniReader;
using testing::TestWatcher;
using testing::waitUntil;

class StatusNotifier : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.unavailable().isEmpty()) GTEST_SKIP() << bus.unavailable().toStdString();
        registerSniTypes();
    }
    QDBusConnection connection(const char* name) {
        QDBusConnection c = bus.connect(QString::fromLatin1(name) + QString::number(++connections));
        names.append(c.name());
        return c;
    }
    void TearDown() override {
        for (const QString& name : names) QDBusConnection::disconnectFromBus(name);
    }
    PrivateBus bus;
    int connections = 0;
    QStringList names;
};

TEST_F(StatusNotifier, RegistersWithTheWatcherAndPublishesItsProperties) {
    TestWatcher watcher(connection("watcher"));
    ASSERT_TRUE(watcher.serving());
    StatusNotifierItem item(connection("item"), QStringLiteral("Tallyvane"));
    EXPECT_TRUE(item.watcherPresent());
    ASSERT_TRUE(waitUntil([&] { return watcher.items().contains(item.serviceName()); }));

    QImage image(22, 22, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30, 128));
    image.setPixelColor(3, 4, QColor(255, 0, 0));
    item.setLabel(QStringLiteral(" GPT 62 %"), QStringLiteral(" GPT 100 % !"));
    item.setToolTip(QStringLiteral("Tallyvane"), QStringLiteral("Quota Codex consommé · x"));
    item.setIcon({image});

    const SniReader host(connection("host"), item.serviceName());
    EXPECT_EQ(host.text(QStringLiteral("XAyatanaLabel")), QStringLiteral(" GPT 62 %"));
    EXPECT_EQ(host.text(QStringLiteral("XAyatanaLabelGuide")), QStringLiteral(" GPT 100 % !"));
    EXPECT_EQ(host.text(QStringLiteral("Status")), QStringLiteral("Active"));
    EXPECT_EQ(host.text(QStringLiteral("Id")), QStringLiteral("Tallyvane"));
    EXPECT_EQ(host.text(QStringLiteral("Category")), QStringLiteral("ApplicationStatus"));
    EXPECT_FALSE(host.property(QStringLiteral("ItemIsMenu")).toBool());
    const SniToolTip toolTip = host.toolTip();
    EXPECT_EQ(toolTip.title, QStringLiteral("Tallyvane"));
    EXPECT_EQ(toolTip.text, QStringLiteral("Quota Codex consommé · x"));
    const SniPixmaps icon = host.icon();
    ASSERT_EQ(icon.size(), 1);
    EXPECT_EQ(sniImage(icon.front()), image.convertToFormat(QImage::Format_ARGB32));
    // Network byte order: alpha first.
    const QColor corner = image.pixelColor(0, 0);
    EXPECT_EQ(quint8(icon.front().argb[0]), corner.alpha());
    EXPECT_EQ(quint8(icon.front().argb[2]), corner.green());

    item.setNeedsAttention(true);
    EXPECT_EQ(host.text(QStringLiteral("Status")), QStringLiteral("NeedsAttention"));
}

TEST_F(StatusNotifier, TellsHostsOfEachChange) {
    TestWatcher watcher(connection("watcher"));
    StatusNotifierItem item(connection("item"), QStringLiteral("Tallyvane"));
    SignalRecorder recorder;
    QDBusConnection host = connection("host");
    ASSERT_TRUE(host.connect(item.serviceName(), QStringLiteral("/StatusNotifierItem"),
                             QStringLiteral("org.kde.StatusNotifierItem"), QString(), &recorder,
                             SLOT(record(QDBusMessage))));
    item.setLabel(QStringLiteral(" GPT 5 %"), QStringLiteral(" GPT 100 % !"));
    item.setLabel(QStringLiteral(" GPT 5 %"), QStringLiteral(" GPT 100 % !"));  // unchanged: no signal
    item.setToolTip(QStringLiteral("Tallyvane"), QStringLiteral("a"));
    item.setIcon({QImage(16, 16, QImage::Format_ARGB32)});
    item.setNeedsAttention(true);
    ASSERT_TRUE(waitUntil([&] { return recorder.received.size() >= 4; }));
    testing::spin(100);
    EXPECT_EQ(recorder.names(), (QStringList{QStringLiteral("XAyatanaNewLabel"), QStringLiteral("NewToolTip"),
                                             QStringLiteral("NewIcon"), QStringLiteral("NewStatus")}));
    EXPECT_EQ(recorder.received.front().arguments().value(0).toString(), QStringLiteral(" GPT 5 %"));
    EXPECT_EQ(recorder.received.back().arguments().value(0).toString(), QStringLiteral("NeedsAttention"));
}

TEST_F(StatusNotifier, ActivateAndContextMenuReportTheClickPosition) {
    TestWatcher watcher(connection("watcher"));
    StatusNotifierItem item(connection("item"), QStringLiteral("Tallyvane"));
    QList<QPoint> clicks;
    QObject::connect(&item, &StatusNotifierItem::activated, [&](QPoint at) { clicks.append(at); });
    const SniReader host(connection("host"), item.serviceName());
    EXPECT_TRUE(host.activate(1200, 12));
    ASSERT_TRUE(waitUntil([&] { return clicks.size() == 1; }));
    EXPECT_EQ(clicks.front(), QPoint(1200, 12));
}

TEST_F(StatusNotifier, FollowsTheWatcherComingAndGoing) {
    StatusNotifierItem item(connection("item"), QStringLiteral("Tallyvane"));
    EXPECT_FALSE(item.watcherPresent());
    {
        TestWatcher watcher(connection("watcher"));
        ASSERT_TRUE(waitUntil([&] { return watcher.items().contains(item.serviceName()); }))
            << "registers with a watcher that starts later";
        EXPECT_TRUE(item.watcherPresent());
    }
    EXPECT_TRUE(waitUntil([&] { return !item.watcherPresent(); }));
}

TEST(HostDrawsLabel, OnlyGnomeShellAndTheAyatanaService) {
    const std::pair<const char*, bool> hosts[] = {
        {"gnome-shell", true},  {"ayatana-indicator-application-service", true},
        {"indicator-application-service", true}, {"kded5", false}, {"kded6", false}, {"plasmashell", false},
        {"xfce4-panel", false}, {"wrapper-2.0", false}, {"panel-6-systray", false}, {"waybar", false},
        {"xapp-sn-watcher", false}, {"gnome-shell-x", false}, {"", false}};
    for (const auto& [program, label] : hosts) EXPECT_EQ(hostDrawsLabel(QString::fromLatin1(program)), label) << program;
}

// Started by the test below under the name of a label host: queues for the watcher's name.
TEST(HostStandIn, DISABLED_QueuesForTheWatcher) {
    QDBusConnection bus = QDBusConnection::connectToBus(qEnvironmentVariable("STAND_IN_BUS"), QStringLiteral("in"));
    bus.interface()->registerService(QString::fromLatin1(StatusNotifierItem::watcherService),
                                     QDBusConnectionInterface::QueueService);
    testing::spin(30000);
}

TEST_F(StatusNotifier, TrayDecidesFromTheProcessOwningTheWatcher) {
    EXPECT_FALSE(TrayItem(connection("tray")).showsLabel()) << "no watcher: the XEmbed tray has no room for text";
    auto watcher = std::make_unique<TestWatcher>(connection("watcher"));
    TrayItem tray(connection("tray"));
    EXPECT_EQ(tray.statusNotifier().hostProgram(), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_FALSE(tray.showsLabel()) << "a host not known to draw the label";

    // The same test program, linked as gnome-shell, queues for the name and gets it straight from us.
    const QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/host-XXXXXX"));
    const QString gnomeShell = dir.filePath(QStringLiteral("gnome-shell"));
    ASSERT_EQ(::link(qPrintable(QCoreApplication::applicationFilePath()), qPrintable(gnomeShell)), 0);
    qputenv("STAND_IN_BUS", bus.address().toUtf8());
    QProcess host;
    host.start(gnomeShell,
               {QStringLiteral("--gtest_also_run_disabled_tests"), QStringLiteral("--gtest_filter=HostStandIn.*")});
    QDBusConnectionInterface* daemon = connection("probe").interface();
    const QString name = QString::fromLatin1(StatusNotifierItem::watcherService);
    ASSERT_TRUE(waitUntil(
        [&] { return daemon->call(QStringLiteral("ListQueuedOwners"), name).arguments().value(0).toStringList().size() == 2; }));
    int changes = 0;
    QObject::connect(&tray, &TrayItem::hostChanged, [&] { ++changes; });
    watcher.reset();
    ASSERT_TRUE(waitUntil([&] { return changes > 0; }));
    EXPECT_EQ(tray.statusNotifier().hostProgram(), QStringLiteral("gnome-shell"));
    EXPECT_TRUE(tray.showsLabel());
    host.close();
}

}  // namespace
}  // namespace tallyvane
