// Quota alerts end to end: the delegate on a hand-driven model, the history in a real SQLite file,
// and the notifications on a private bus, shown by a stand-in notification service of our own.
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

#include "app/desktop/app_delegate.h"
#include "app/desktop/quota_panel.h"
#include "app/history/history_recorder.h"
#include "model/run_flags.h"
#include "platform/qt/dbus_notifier.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "tests/desktop/support/private_bus.h"
#include "tests/desktop/support/qt_wait.h"
#include "tests/support/fakes.h"

namespace tallyvane {
namespace {

using namespace std::chrono_literals;
using testing::ModelRig;
using testing::waitUntil;

// Answers Notify with a new id and remembers what it was asked to show.
class NotificationService final : public QDBusVirtualObject {
public:
    struct Shown {
        uint replaces;
        QString summary;
        QString body;
    };
    std::vector<Shown> shown;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Notify")) return false;
        const QList<QVariant> a = message.arguments();
        shown.push_back({a.value(1).toUInt(), a.value(3).toString(), a.value(4).toString()});
        connection.send(message.createReply(QVariant::fromValue(uint(shown.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

std::string quotaAt(int used, std::int64_t reset) {
    return R"({"rateLimits":{"primary":{"usedPercent":)" + std::to_string(used) +
           R"(,"windowDurationMins":300,"resetsAt":)" + std::to_string(reset) + "}}}";
}

class Alerts : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.unavailable().isEmpty()) GTEST_SKIP() << bus.unavailable().toStdString();
        QSettings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane")).setValue(AppDelegate::autoOpenKey, true);
        QDBusConnection server = connect("server");
        server.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &service);
        server.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    QDBusConnection connect(const char* name) {
        names.append(QString::fromLatin1(name) + QString::number(names.size()));
        return bus.connect(names.back());
    }
    // A fresh run of the program on the same history file.
    AppDelegate& launch(const UserSettings& settings = {}) {
        delegate.reset();
        rig = std::make_unique<ModelRig>();
        auto store = std::make_shared<SqliteHistoryStore>(folder.filePath("history.sqlite3").toStdString(),
                                                          [](const std::string&) {});
        auto recorder = HistoryRecorder::create(rig->model, rig->loop, store,
                                                std::make_shared<testing::InlineExecutor>());
        delegate = std::make_unique<AppDelegate>(DesktopServices{
            rig->model, rig->files, std::make_shared<testing::RecordingOpener>(), "/home/tester", connect("session"),
            connect("system"), folder.path(), recorder, std::make_shared<DbusNotifier>(connect("notifier")), settings});
        EXPECT_TRUE(delegate->launch());
        rig->receive(R"({"id":1,"result":{}})");
        return *delegate;
    }
    void answer(int used, std::int64_t reset) {
        rig->clock->advance(60s);
        rig->model->refresh();
        rig->answerQuota(quotaAt(used, reset));
        rig->answerTokens("{}");
    }
    void TearDown() override {
        delegate.reset();
        rig.reset();
        for (const QString& name : names) QDBusConnection::disconnectFromBus(name);
    }

    testing::PrivateBus bus;
    QStringList names;
    NotificationService service;
    QTemporaryDir folder;
    std::unique_ptr<ModelRig> rig;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(Alerts, EachKindOncePerPeriodEvenAcrossRestartsAndAClickOpensThePanel) {
    const std::int64_t reset = 1'796'010'000;
    launch();
    answer(95, reset);
    ASSERT_TRUE(waitUntil([&] { return service.shown.size() == 1; }));
    EXPECT_EQ(service.shown[0].summary, QStringLiteral("Quota 5 heures : 95 % utilisés"));
    EXPECT_TRUE(service.shown[0].body.startsWith(QStringLiteral("Réinitialisation : ")));
    answer(100, reset + 10);  // the reset drifts a little: still the same period
    ASSERT_TRUE(waitUntil([&] { return service.shown.size() == 2; }));
    EXPECT_EQ(service.shown[1].summary, QStringLiteral("Quota 5 heures épuisé"));
    EXPECT_EQ(service.shown[1].replaces, 1u) << "the 100 % alert takes the place of the 90 % one";
    answer(100, reset);

    launch();  // a restart remembers what was shown in this period
    answer(100, reset);
    answer(10, reset + 5 * 3600);
    ASSERT_TRUE(waitUntil([&] { return service.shown.size() >= 3; }));
    testing::spin(200);
    ASSERT_EQ(service.shown.size(), 3u);
    EXPECT_EQ(service.shown[2].summary, QStringLiteral("Quota 5 heures réinitialisé"));
    EXPECT_EQ(service.shown[2].body, QStringLiteral("10 % utilisés."));

    QDBusMessage click = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                    QStringLiteral("org.freedesktop.Notifications"),
                                                    QStringLiteral("ActionInvoked"));
    click << 3u << QStringLiteral("default");
    QDBusConnection::connectToBus(bus.address(), names.front()).send(click);
    EXPECT_TRUE(waitUntil([&] { return delegate->panel()->isVisible(); }));
}

TEST_F(Alerts, TurnedOffInTheSettingsFileShowNothing) {
    const std::string path = folder.filePath("Tallyvane.conf").toStdString();
    std::ofstream(path) << "[General]\nhasShownCompactMaskV5=true\nalerts=false\n";
    launch(readUserSettings(path));
    answer(100, 1'796'010'000);
    testing::spin(300);
    EXPECT_TRUE(service.shown.empty());
}

}  // namespace
}  // namespace tallyvane
