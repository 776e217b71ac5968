// The real program on a virtual X server and a private bus: tray item, panel, one copy per user and quitting.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <QDBusConnectionInterface>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/posix/instance_lock.h"
#include "tests/desktop/support/daemons.h"
#include "tests/desktop/support/ocr.h"
#include "tests/desktop/support/tray_host.h"

namespace tallyvane::testing {
namespace {

bool alive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : "";
    return !text.isEmpty() && !QByteArray("ZX").contains(text.at(text.lastIndexOf(')') + 2));
}

// Runs an X client to its end; its standard output.
QString xRun(const QString& program, const QStringList& arguments) {
    QProcess client;
    client.start(program, arguments);
    if (!client.waitForFinished(15000)) client.kill(), client.waitForFinished(3000);
    return QString::fromUtf8(client.readAllStandardOutput());
}

void click(QPoint at) { xRun("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}); }

// The largest viewable window named Tallyvane: the panel; null when none shows.
QRect panel() {
    static const QRegularExpression geometry(QStringLiteral("X=(-?\\d+)\nY=(-?\\d+)\nWIDTH=(\\d+)\nHEIGHT=(\\d+)"));
    QRect largest;
    for (const auto& m : geometry.globalMatch(xRun("xdotool", {"search", "--onlyvisible", "--name", "^Tallyvane$",
                                                              "getwindowgeometry", "--shell", "%@"})))
        if (const QRect r(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
            r.width() * r.height() > largest.width() * largest.height())
            largest = r;
    return largest;
}

// Waits for the panel to show or to go, without asking the X tools faster than they answer.
bool panelShows(bool shows, int limitMs = 15000) {
    return waitUntil([&] { return panel().isValid() == shows || (spin(100), false); }, limitMs);
}

class DesktopProgram : public ::testing::Test {
protected:
    // A live copy opens its panel by itself only once: these runs are past that (the demo always does). Codex is
    // the scripted peer, logging "#launch <pid>" at each start.
    void SetUp() override {
        for (const char* tool : {"xdotool", "import", "trayer", "Xvfb", "dbus-daemon"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
        ASSERT_FALSE(x.line.isEmpty() || bus.line.isEmpty()) << "Xvfb or dbus-daemon did not start";
        qputenv("DISPLAY", display().toUtf8());  // for the X tools this test runs
        ASSERT_EQ(::mkdir(qPrintable(path("run")), 0700), 0);
        ASSERT_TRUE(QDir(home.path()).mkpath(".config/Tallyvane") && QDir(home.path()).mkpath(".local/bin"));
        std::ofstream(path(".config/Tallyvane/Tallyvane.conf").toStdString()) << "[General]\nhasShownCompactMaskV5=true\n";
        ASSERT_TRUE(QFile::link(QStringLiteral(FAKE_CODEX_PATH), path(".local/bin/codex")));
        std::ofstream(path("peer.json").toStdString()) << R"({"log": ")" << path("peer.log").toStdString() << R"("})";
    }
    void TearDown() override { for (auto& program : programs) stop(*program, SIGTERM); }
    QString display() const { return ":" + x.line; }
    QString path(const char* inHome) const { return QDir(home.path()).filePath(QString::fromUtf8(inHome)); }
    QByteArray read(const char* inHome) const {
        QFile file(path(inHome));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Without a display, the program runs headless. `wrapper` runs it, with the program's path as last argument.
    QProcess& launch(const QStringList& arguments, const char* desktop = "KDE", bool withDisplay = true,
                     const QStringList& wrapper = {}) {
        auto& process = *programs.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment environment;
        for (const auto& [name, value] : std::initializer_list<std::pair<const char*, QString>>{
                 {"PATH", qEnvironmentVariable("PATH")}, {"HOME", home.path()}, {"XDG_CONFIG_HOME", path(".config")},
                 {"XDG_RUNTIME_DIR", path("run")}, {"XDG_CURRENT_DESKTOP", desktop}, {"LANG", "fr_FR.UTF-8"},
                 {"FAKE_CODEX_SCRIPT", path("peer.json")}, {"DBUS_SESSION_BUS_ADDRESS", bus.line},
                 {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus"}, {"DISPLAY", withDisplay ? display() : ""}})
            if (!value.isEmpty()) environment.insert(QString::fromLatin1(name), value);
        environment.insert(extraEnvironment);
        process.setProcessEnvironment(environment);
        endWithThisProcess(process);
        if (wrapper.isEmpty()) process.start(QStringLiteral(TALLYVANE_BINARY), arguments);
        else process.start(wrapper.front(), wrapper.mid(1) + QStringList{TALLYVANE_BINARY} + arguments);
        EXPECT_TRUE(process.waitForStarted(5000));
        return process;
    }
    // Signals the program and waits for its exit; its exit code, or -1 when it had to be killed.
    static int stop(QProcess& program, int signal) {
        if (program.state() == QProcess::NotRunning) return program.exitCode();
        ::kill(pid_t(program.processId()), signal);
        if (program.waitForFinished(15000)) return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        program.kill(), program.waitForFinished(3000);
        return -1;
    }

    Daemon x{"Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-ac"}};
    PrivateBus bus;
    QTemporaryDir home;
    std::vector<std::unique_ptr<QProcess>> programs;
    QProcessEnvironment extraEnvironment;
};

// The demo on either kind of tray: an item registered with a watcher (clicked in a bottom bar), or, with no watcher,
// an XEmbed icon in a tray at the top right. It opens by itself, a click on the item closes it, another opens it
// beside the item, one outside closes it; nothing else is drawn, nor written.
class DemoTray : public DesktopProgram, public ::testing::WithParamInterface<bool> {};

TEST_P(DemoTray, ShowsTheFigureAndItsClicksToggleThePanel) {
    const bool xembed = GetParam();
    std::unique_ptr<TestWatcher> watcher;
    std::unique_ptr<SniReader> item;
    if (xembed) {
        QProcess& tray = *programs.emplace_back(std::make_unique<QProcess>());
        endWithThisProcess(tray);
        tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                              "--transparent", "false", "--tint", "0x303030"});
        ASSERT_TRUE(tray.waitForStarted(5000));
        spin(1000);
    } else {
        watcher = std::make_unique<TestWatcher>(bus.connect("watcher"));
    }
    QProcess& program = launch({"--demo-data"}, xembed ? "GNOME" : "KDE");
    if (!xembed) {
        ASSERT_TRUE(waitUntil([&] { return !watcher->items().isEmpty(); }, 20000)) << "registers with the watcher";
        item = std::make_unique<SniReader>(bus.connect("host"), watcher->items().front());
        ASSERT_TRUE(waitUntil([&] { return item->text("XAyatanaLabel") == QStringLiteral(" DÉMO GPT 62 %"); }));
        EXPECT_EQ(item->toolTip().text, QStringLiteral("Démo · données fictives · aucune connexion"));
        EXPECT_TRUE(sniImage(item->icon().value(0)).save(QStringLiteral(DESKTOP_ARTIFACTS "/tray-icon-demo.png")));
    }
    const QRect icon(1280 - 24, 0, 24, 24);  // the XEmbed tray's only item
    const auto clickItem = [&] { return xembed ? (click(icon.center()), true) : item->activate(1200, 790); };
    ASSERT_TRUE(panelShows(true)) << "opens by itself";
    ASSERT_TRUE(clickItem());
    ASSERT_TRUE(panelShows(false)) << "a click on the item closes it";
    spin(600);
    ASSERT_TRUE(clickItem());
    ASSERT_TRUE(panelShows(true)) << "and opens it again";
    spin(300);
    const QRect frame = panel();
    EXPECT_EQ(frame, xembed ? QRect(1280 - 8 - 360, icon.bottom() + 8, 360, 400) : QRect(1201 - 360, 800 - 8 - 400, 360, 400));
    const QString shot = QStringLiteral(DESKTOP_ARTIFACTS "/panel-demo-%1.png").arg(xembed ? "xembed" : "sni");
    xRun("import", {"-window", "root", shot});
    const QImage screen(shot);
    EXPECT_NE(screen.pixelColor(frame.center()), QColor(Qt::black)) << "the panel is drawn";
    EXPECT_EQ(screen.pixelColor(10, 10), QColor(Qt::black)) << "and nothing else";
    int teal = 0;  // the XEmbed item shows 62 in teal
    for (int i = 0; i < 24 * 24; ++i)
        if (const QColor c = screen.pixelColor(icon.topLeft() + QPoint(i % 24, i / 24)); std::abs(c.red() - 0x22) < 24)
            teal += std::abs(c.green() - 0x84) < 24 && std::abs(c.blue() - 0x96) < 24;
    EXPECT_EQ(teal > 20, xembed);
    click(QPoint(200, 600));
    EXPECT_TRUE(panelShows(false)) << "a click outside closes it";
    EXPECT_FALSE(QFile::exists(path("Library/Application Support/Tallyvane/placement.json"))) << "nor written in demo";
    EXPECT_EQ(stop(program, SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(SniOrXEmbed, DemoTray, ::testing::Bool());

// Xfce's own panel, dark, 24 or 30 px tall, at the top with only its notification area: the demo's item shows there,
// its digits at least half as tall as the bar, and tesseract reads its number from a screenshot. The panel's settings
// come from its channel file, served by an xfconfd of the test's own on the private bus.
class XfcePanel : public DesktopProgram, public ::testing::WithParamInterface<int> {};

TEST_P(XfcePanel, ShowsTheNumberReadably) {
    for (const char* tool : {"xfce4-panel", "tesseract"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    const int height = GetParam();
    ASSERT_TRUE(QDir(home.path()).mkpath(".config/xfce4/xfconf/xfce-perchannel-xml"));
    std::ofstream(path(".config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml").toStdString()) << R"(<?xml version="1.0"?>
<channel name="xfce4-panel" version="1.0"><property name="configver" type="int" value="2"/><property name="panels"
 type="array"><value type="int" value="1"/><property name="panel-1" type="empty"><property name="position" type="string"
 value="p=6;x=0;y=0"/><property name="length" type="uint" value="100"/><property name="size" type="uint" value=")"
 << height << R"("/><property name="background-style" type="uint" value="1"/><property name="background-rgba" type="array">
 <value type="double" value="0.118"/><value type="double" value="0.118"/><value type="double" value="0.118"/><value
 type="double" value="1"/></property><property name="plugin-ids" type="array"><value type="int" value="1"/></property>
 </property></property><property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/>
</property></channel>)";
    // The bus would start xfconfd itself, but with the bus's own settings folder.
    QFile service("/usr/share/dbus-1/services/org.xfce.Xfconf.service");
    ASSERT_TRUE(service.open(QIODevice::ReadOnly)) << "xfconf is not installed";
    const QString xfconfd = QString::fromUtf8(service.readAll()).section("Exec=", 1).section('\n', 0, 0).trimmed();
    QDBusConnection probe = bus.connect("probe");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : {std::pair("HOME", home.path()), {"XDG_CONFIG_HOME", path(".config")},
                                      {"DBUS_SESSION_BUS_ADDRESS", bus.line}})
        environment.insert(name, value);
    for (const auto& [program, arguments, name] : {std::tuple(xfconfd, QStringList(), "org.xfce.Xfconf"),
                                                   {"xfce4-panel", {"--disable-wm-check"}, "org.kde.StatusNotifierWatcher"}}) {
        QProcess& process = *programs.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(environment);
        endWithThisProcess(process);
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted(5000)) << qPrintable(program);
        ASSERT_TRUE(waitUntil([&] { return probe.interface()->isServiceRegistered(name).value(); }, 20000)) << name;
    }
    launch({"--demo-data"}, "XFCE");
    const QString shot = QStringLiteral(DESKTOP_ARTIFACTS "/xfce-panel-%1.png").arg(height);
    QRect item;  // what is coloured in the panel's strip: the item
    ASSERT_TRUE(waitUntil([&] {
        spin(500);
        xRun("import", {"-window", "root", "-crop", QString("1280x%1+0+0").arg(height), shot});
        const QImage strip(shot);
        item = QRect();
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 0; x < strip.width(); ++x)
                if (strip.pixelColor(x, y).hsvSaturation() > 90) item |= QRect(x, y, 1, 1);
        return item.width() > 8;
    }, 30000)) << "the item shows in the tray";
    const QImage crop = QImage(shot).copy(item.adjusted(-6, -6, 6, 6) & QRect(0, 0, 1280, height));
    EXPECT_TRUE(crop.scaled(crop.size() * 8).save(QStringLiteral(DESKTOP_ARTIFACTS "/xfce-item-%1.png").arg(height)));
    EXPECT_EQ(testing::ocrDigits({crop}), QStringList("62"));
    EXPECT_GE(2 * item.height(), height) << "digits at least half as tall as the bar: " << item.height() << " px";
}

INSTANTIATE_TEST_SUITE_P(DarkBar, XfcePanel, ::testing::Values(24, 30));

// Two live copies in each order (with a display or not): the second steps back, a desktop one asking a desktop
// first to open its panel; a desktop copy after a headless one takes over instead. Each quit signal then ends the
// copy left and its Codex.
class TwoCopies : public DesktopProgram, public ::testing::WithParamInterface<std::tuple<bool, bool, int>> {};

TEST_P(TwoCopies, NeverRunSideBySideAndQuitWithTheirCodex) {
    const auto [firstDesktop, secondDesktop, quitSignal] = GetParam();
    const auto codexLaunches = [&] {
        QList<qint64> pids;
        for (const QByteArray& line : read("peer.log").split('\n'))
            if (line.startsWith("#launch ")) pids.append(line.mid(8).toLongLong());
        return pids;
    };
    const auto statusPid = [&] {
        return QJsonDocument::fromJson(read("Library/Application Support/Tallyvane/status.json")).object()["pid"].toInteger();
    };
    QProcess& first = launch({}, "KDE", firstDesktop);
    ASSERT_TRUE(waitUntil([&] { return statusPid() == first.processId() && codexLaunches().size() == 1; }, 15000));
    QProcess& second = launch({}, "KDE", secondDesktop);
    const bool takesOver = !firstDesktop && secondDesktop;
    QProcess& stepsBack = takesOver ? first : second;
    ASSERT_TRUE(waitUntil([&] { return stepsBack.state() == QProcess::NotRunning; }, secondDesktop ? 5000 : 2500));
    EXPECT_EQ(stepsBack.exitCode(), 0);
    if (takesOver) {
        EXPECT_FALSE(alive(codexLaunches().value(0))) << "the headless copy stopped its Codex";
        EXPECT_TRUE(waitUntil([&] { return statusPid() == second.processId(); }, 15000)) << "and the desktop copy runs";
        EXPECT_EQ(codexLaunches().size(), 2);
    } else {
        EXPECT_EQ(second.readAllStandardError().contains("Tallyvane tourne déjà (pid " +
                                                         QByteArray::number(first.processId()) + ")."),
                  !secondDesktop);
        EXPECT_EQ(panelShows(true, 2000), firstDesktop && secondDesktop);
        EXPECT_EQ(codexLaunches().size(), 1) << "the second copy never launched Codex";
        EXPECT_EQ(statusPid(), first.processId()) << "nor wrote status.json";
    }
    const qint64 codex = codexLaunches().value(takesOver ? 1 : 0);
    ASSERT_TRUE(alive(codex));
    EXPECT_EQ(stop(takesOver ? second : first, quitSignal), 0);
    EXPECT_TRUE(waitUntil([&] { return !alive(codex); }, 5000));
}

INSTANTIATE_TEST_SUITE_P(EachOrder, TwoCopies,
                         ::testing::Values(std::tuple(false, false, SIGHUP), std::tuple(false, true, SIGTERM),
                                           std::tuple(true, true, SIGINT), std::tuple(true, false, SIGHUP)));

TEST_F(DesktopProgram, GivesUpOnAHolderThatDoesNotAnswer) {
    InstanceLock lock(path("run").toStdString());
    ASSERT_EQ(lock.take(), InstanceLock::Take::held);
    const int mute = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);  // hears, never answers
    sockaddr_un address{AF_UNIX, {}};
    lock.socketPath().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(mute, reinterpret_cast<sockaddr*>(&address), sizeof address) | ::listen(mute, 4), 0);
    QProcess& second = launch({});
    ASSERT_TRUE(second.waitForFinished(6000)) << "2 s of patience, and the start";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains(
        "(pid " + QByteArray::number(QCoreApplication::applicationPid()) + ") mais ne répond pas"));
    ::close(mute);
}

// sway's XWayland: an X server without a work area, in a Wayland session. The first opening stays below a top bar
// and, a window given the focus rather than a popup, closes on Escape.
TEST_F(DesktopProgram, FirstOpeningUnderSwaysXWaylandStaysBelowTheBarAndClosesOnEscape) {
    extraEnvironment.insert("WAYLAND_DISPLAY", "wayland-1");
    QProcess& program = launch({"--demo-data"}, "sway");
    ASSERT_TRUE(panelShows(true));
    EXPECT_EQ(panel(), QRect(1280 - 8 - 360, 32 + 8, 360, 400));
    xRun("xdotool", {"key", "Escape"});
    EXPECT_TRUE(panelShows(false));
    EXPECT_EQ(stop(program, SIGTERM), 0);
}

// A Wayland session (a live socket, no DISPLAY) where Qt finds no Wayland plugin: its own plugin folder is hidden in a
// mount namespace and it is pointed at one with only the X plugin. The program says so and runs headless.
TEST_F(DesktopProgram, WaylandWithoutQtsPluginRunsHeadless) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0) GTEST_SKIP() << "no user and mount namespaces here";
    const QString system = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms";
    ASSERT_TRUE(QDir(home.path()).mkpath("plugins/platforms") &&
                QFile::copy(system + "/libqxcb.so", path("plugins/platforms/libqxcb.so")));
    const int compositor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    path("run/wayland-7").toStdString().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(compositor, reinterpret_cast<sockaddr*>(&address), sizeof address) | ::listen(compositor, 4), 0);
    for (const auto& [name, value] : {std::pair("WAYLAND_DISPLAY", QString("wayland-7")), {"QT_PLUGIN_PATH", path("plugins")},
                                      {"QT_QPA_PLATFORM_PLUGIN_PATH", path("plugins/platforms")}})
        extraEnvironment.insert(name, value);
    QProcess& program = launch({}, "sway", false, {"unshare", "-rm", "sh", "-c", "mount -t tmpfs none \"$0\" && exec \"$@\"", system});
    ASSERT_TRUE(waitUntil([&] { return read("Library/Application Support/Tallyvane/status.json").contains("\"pid\""); }, 15000));
    EXPECT_EQ(stop(program, SIGTERM), 0) << "alive until then";
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()).split('\n').mid(0, 2),
              QStringList({"Tallyvane : le module Qt de l’affichage « wayland » manque (paquet qt6-wayland) ; Tallyvane "
                           "tourne sans fenêtre.", "Tallyvane : fonctionnement sans interface, status.json reste tenu à jour."}));
    ::close(compositor);
}

}  // namespace
}  // namespace tallyvane::testing
