// The real program on a virtual X server: tray item, panel, one copy per user and quitting.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>

#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/qt/sni_types.h"
#include "tests/desktop/support/private_bus.h"
#include "tests/desktop/support/qt_wait.h"
#include "tests/desktop/support/sni_reader.h"
#include "tests/desktop/support/test_watcher.h"
#include "tests/desktop/support/x_server.h"

namespace tallyvane {
namespace {

using testing::missingProgram;
using testing::PrivateBus;
using testing::SniReader;
using testing::spin;
using testing::TestWatcher;
using testing::waitUntil;
using testing::XServer;

const QSize screenSize(1280, 800);

QString artifact(const QString& name) {
    QDir().mkpath(QStringLiteral(SHELL_ARTIFACTS));
    return QDir(QStringLiteral(SHELL_ARTIFACTS)).filePath(name);
}

bool alive(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    const QByteArray stat = status.readAll();
    const char state = stat.mid(stat.lastIndexOf(')') + 2, 1).at(0);
    return state != 'Z' && state != 'X';
}

// Lines of `ps` for processes still running whose arguments contain `marker`.
QStringList runningWith(const QString& marker) {
    QProcess ps;
    ps.start(QStringLiteral("ps"), {QStringLiteral("-eo"), QStringLiteral("pid=,stat=,args=")});
    ps.waitForFinished(10000);
    QStringList found;
    for (const QString& line : QString::fromUtf8(ps.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.simplified().split(u' ');
        if (line.contains(marker) && !fields.value(1).startsWith(u'Z') && !line.contains(QLatin1String("ps -eo")))
            found.append(line.simplified());
    }
    return found;
}

class DesktopProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString missing = missingProgram({QStringLiteral("Xvfb"), QStringLiteral("xdotool"),
                                                    QStringLiteral("import"), QStringLiteral("dbus-daemon")});
            !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is not installed";
        if (!x.unavailable().isEmpty()) GTEST_SKIP() << x.unavailable().toStdString();
        if (!bus.unavailable().isEmpty()) GTEST_SKIP() << bus.unavailable().toStdString();
        registerSniTypes();
        QDir(home.path()).mkpath(QStringLiteral(".config"));
        QDir(home.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    void TearDown() override {
        for (auto& process : programs) stop(*process, SIGTERM);
        if (tray) {
            tray->kill();
            tray->waitForFinished(3000);
        }
        for (const QString& name : names) QDBusConnection::disconnectFromBus(name);
    }
    QString runtimeDir() const { return QDir(home.path()).filePath(QStringLiteral("run")); }
    QDBusConnection connection(const char* name) {
        QDBusConnection c = bus.connect(QString::fromLatin1(name) + QString::number(names.size()));
        names.append(c.name());
        return c;
    }
    void skipAutoOpen() {
        QDir(home.path()).mkpath(QStringLiteral(".config/Tallyvane"));
        QFile conf(QDir(home.path()).filePath(QStringLiteral(".config/Tallyvane/Tallyvane.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nhasShownCompactMaskV5=true\n");
    }
    QString path(const char* inHome) const { return QDir(home.path()).filePath(QString::fromUtf8(inHome)); }
    // Without a display, the program runs headless.
    QProcess& launch(const QStringList& arguments, const QString& desktop = QStringLiteral("KDE"), bool display = true) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(home.path()).filePath(QStringLiteral(".config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
        if (display) environment.insert(QStringLiteral("DISPLAY"), x.display());
        environment.insert(QStringLiteral("FAKE_CODEX_SCRIPT"), path("peer.json"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("fr_FR.UTF-8"));
        process->setProcessEnvironment(environment);
        testing::endWithThisProcess(*process);
        process->start(QStringLiteral(TALLYVANE_BINARY), arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        programs.push_back(std::move(process));
        return *programs.back();
    }
    // Signals the program and waits for its exit; its exit code, or -1 when it had to be killed.
    static int stop(QProcess& program, int signal) {
        if (program.state() == QProcess::NotRunning) return program.exitCode();
        ::kill(pid_t(program.processId()), signal);
        if (program.waitForFinished(15000)) return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        program.kill();
        program.waitForFinished(3000);
        return -1;
    }
    // The scripted peer as the user's codex, logging a "#launch <pid>" line at each start.
    void useFakeCodex() {
        QDir(home.path()).mkpath(QStringLiteral(".local/bin"));
        ASSERT_TRUE(QFile::link(QStringLiteral(FAKE_CODEX_PATH), path(".local/bin/codex")));
        QFile script(path("peer.json"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QJsonDocument(QJsonObject{{QStringLiteral("log"), path("peer.log")}}).toJson());
    }
    QList<qint64> codexLaunches() const {
        QFile log(path("peer.log"));
        QList<qint64> pids;
        if (log.open(QIODevice::ReadOnly))
            for (const QByteArray& line : log.readAll().split('\n'))
                if (line.startsWith("#launch ")) pids.append(line.mid(8).toLongLong());
        return pids;
    }
    qint64 lockHolder() const {
        QFile lock(QDir(runtimeDir()).filePath(QStringLiteral("tallyvane.lock")));
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
    }
    qint64 statusPid() const {
        QFile status(path("Library/Application Support/Tallyvane/status.json"));
        if (!status.open(QIODevice::ReadOnly)) return 0;
        return QJsonDocument::fromJson(status.readAll()).object().value(QStringLiteral("pid")).toInteger();
    }
    bool ended(const QProcess& program, int limitMs) {
        return eventually([&] { return program.state() == QProcess::NotRunning; }, limitMs);
    }
    QRect panel() const { return x.visibleWindow(QStringLiteral("Tallyvane")); }
    bool panelShown() const { return !panel().isNull(); }
    // Waits without spinning faster than the X tools can answer.
    bool eventually(const std::function<bool()>& condition, int limitMs = 15000) {
        return waitUntil(
            [&] {
                if (condition()) return true;
                spin(100);
                return false;
            },
            limitMs);
    }

    XServer x{screenSize};
    PrivateBus bus;
    QTemporaryDir home;
    QStringList names;
    std::vector<std::unique_ptr<QProcess>> programs;
    std::unique_ptr<QProcess> tray;
};

TEST_F(DesktopProgram, DemoPanelOpensFromTheStatusNotifierItem) {
    TestWatcher watcher(connection("watcher"));
    ASSERT_TRUE(watcher.serving());
    QElapsedTimer sinceLaunch;
    sinceLaunch.start();
    QProcess& program = launch({QStringLiteral("--demo-data")});
    ASSERT_TRUE(waitUntil([&] { return !watcher.items().isEmpty(); }, 20000)) << "registers with the watcher";
    std::cout << "[ measure  ] launch to tray item registered: " << sinceLaunch.elapsed() << " ms\n";
    const SniReader item(connection("host"), watcher.items().front());
    ASSERT_TRUE(waitUntil([&] { return item.text(QStringLiteral("XAyatanaLabel")) == QStringLiteral(" DÉMO GPT 62 %"); }));
    EXPECT_EQ(item.toolTip().text, QStringLiteral("Démo · données fictives · aucune connexion"));
    // On this host the figure is drawn into the icon.
    const SniPixmaps icon = item.icon();
    ASSERT_FALSE(icon.isEmpty());
    const QImage largest = sniImage(icon.back());
    EXPECT_TRUE(largest.save(artifact(QStringLiteral("tray-icon-demo.png"))));

    // The demo opens its panel by itself a second after launch; a click on the item closes it.
    ASSERT_TRUE(eventually([&] { return panelShown(); }));
    EXPECT_TRUE(item.activate(1200, 12));
    ASSERT_TRUE(eventually([&] { return !panelShown(); }));
    spin(500);

    // A click on an item in a bottom bar opens the panel above it, inside the screen.
    EXPECT_TRUE(item.activate(1200, 790));
    ASSERT_TRUE(eventually([&] { return panelShown(); }));
    spin(300);
    const QRect frame = panel();
    EXPECT_TRUE(QRect(QPoint(0, 0), screenSize).contains(frame)) << frame.x() << "," << frame.y();
    EXPECT_EQ(frame.size(), QSize(360, 400));
    EXPECT_EQ(frame.right() + 1, 1201) << "right-aligned with the click";
    EXPECT_EQ(frame.bottom() + 1, 800 - 8);

    const QString shot = artifact(QStringLiteral("panel-demo-sni.png"));
    ASSERT_TRUE(x.screenshot(shot));
    const QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    EXPECT_NE(screen.pixelColor(frame.center()), QColor(Qt::black)) << "the panel is drawn";
    EXPECT_EQ(screen.pixelColor(10, 10), QColor(Qt::black)) << "and nothing else";

    EXPECT_EQ(stop(program, SIGTERM), 0);
}

TEST_F(DesktopProgram, XEmbedTrayShowsTheFigureAndItsClicksToggleThePanel) {
    if (!missingProgram({QStringLiteral("trayer")}).isEmpty()) GTEST_SKIP() << "trayer is not installed";
    tray = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    tray->setProcessEnvironment(environment);
    testing::endWithThisProcess(*tray);
    tray->start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                           QStringLiteral("right"), QStringLiteral("--widthtype"),
                                           QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("24"),
                                           QStringLiteral("--transparent"), QStringLiteral("false"),
                                           QStringLiteral("--tint"), QStringLiteral("0x303030")});
    ASSERT_TRUE(tray->waitForStarted(5000));
    spin(1000);

    // No watcher on the bus: the program falls back to the XEmbed tray.
    QProcess& program = launch({QStringLiteral("--demo-data")}, QStringLiteral("GNOME"));
    ASSERT_TRUE(eventually([&] { return panelShown(); })) << "opens by itself";
    const QRect icon(screenSize.width() - 24, 0, 24, 24);  // the tray's only item, top right
    x.click(icon.center());
    ASSERT_TRUE(eventually([&] { return !panelShown(); })) << "a click outside closes it";
    spin(600);

    x.click(icon.center());
    ASSERT_TRUE(eventually([&] { return panelShown(); })) << "a click on the item opens it";
    spin(300);
    const QRect frame = panel();
    EXPECT_TRUE(QRect(QPoint(0, 0), screenSize).contains(frame));
    EXPECT_GE(frame.top(), icon.bottom()) << "below the item";
    EXPECT_LE(frame.right(), icon.right());
    const QString shot = artifact(QStringLiteral("panel-demo-xembed.png"));
    ASSERT_TRUE(x.screenshot(shot));
    // The tray item shows 62 in teal.
    const QImage screen(shot);
    int teal = 0;
    for (int py = icon.top(); py <= icon.bottom(); ++py)
        for (int px = icon.left(); px <= icon.right(); ++px) {
            const QColor c = screen.pixelColor(px, py);
            teal += std::abs(c.red() - 0x22) < 24 && std::abs(c.green() - 0x84) < 24 && std::abs(c.blue() - 0x96) < 24;
        }
    EXPECT_GT(teal, 20);

    x.click(QPoint(200, 600));
    EXPECT_TRUE(eventually([&] { return !panelShown(); }));
    EXPECT_EQ(stop(program, SIGTERM), 0);
}

// Two live copies in each order (desktop or not): the second steps back, a desktop one asking
// a desktop first to open its panel; a desktop copy after a headless one takes over instead.
class TwoCopies : public DesktopProgram, public ::testing::WithParamInterface<std::pair<bool, bool>> {};

TEST_P(TwoCopies, NeverRunSideBySide) {
    const auto [firstDesktop, secondDesktop] = GetParam();
    skipAutoOpen();
    useFakeCodex();
    QProcess& first = launch({}, QStringLiteral("KDE"), firstDesktop);
    ASSERT_TRUE(eventually([&] { return statusPid() == first.processId() && codexLaunches().size() == 1; }));
    QProcess& second = launch({}, QStringLiteral("KDE"), secondDesktop);
    if (!firstDesktop && secondDesktop) {
        EXPECT_TRUE(eventually([&] { return lockHolder() == second.processId(); }, 5000)) << "takes over within 3 s";
        ASSERT_TRUE(ended(first, 1000));
        EXPECT_EQ(first.exitCode(), 0);
        EXPECT_FALSE(alive(codexLaunches().value(0))) << "the headless copy stopped its Codex";
        EXPECT_TRUE(eventually([&] { return statusPid() == second.processId(); })) << "and the desktop copy runs";
        EXPECT_EQ(codexLaunches().size(), 2);
        EXPECT_EQ(stop(second, SIGTERM), 0);
        return;
    }
    ASSERT_TRUE(ended(second, secondDesktop ? 10000 : 2500));
    EXPECT_EQ(second.exitCode(), 0);
    const QString said = QString::fromUtf8(second.readAllStandardError());
    EXPECT_EQ(said.contains(QStringLiteral("Tallyvane tourne déjà (pid %1).").arg(first.processId())), !secondDesktop);
    EXPECT_EQ(eventually([&] { return panelShown(); }, 2000), firstDesktop && secondDesktop);
    EXPECT_EQ(codexLaunches().size(), 1) << "the second copy never launched Codex";
    EXPECT_EQ(statusPid(), first.processId()) << "nor wrote status.json";
    EXPECT_EQ(stop(first, SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(EachOrder, TwoCopies,
                         ::testing::Values(std::pair(false, false), std::pair(false, true), std::pair(true, true),
                                           std::pair(true, false)));

TEST_F(DesktopProgram, GivesUpOnAHolderThatDoesNotAnswer) {
    skipAutoOpen();
    const QByteArray lockPath = QFile::encodeName(QDir(runtimeDir()).filePath(QStringLiteral("tallyvane.lock")));
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + "\n";
    ASSERT_EQ(::write(lock, pid.data(), size_t(pid.size())), pid.size());
    QLocalServer mute;  // hears, never answers
    ASSERT_TRUE(mute.listen(QDir(runtimeDir()).filePath(QStringLiteral("tallyvane.socket"))));
    QProcess& second = launch({});
    ASSERT_TRUE(ended(second, 6000)) << "2 s of patience, and the start";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("(pid " + pid.trimmed() + ") mais ne répond pas"));
    ::close(lock);
}

class QuitSignal : public DesktopProgram, public ::testing::WithParamInterface<int> {};

TEST_P(QuitSignal, EndsTheProgramAndItsCodexChild) {
    skipAutoOpen();
    // A stand-in codex that only sits there; it tells us its process id. Its argument marks it
    // apart from the stand-ins of tests running beside this one.
    const QString marker = QStringLiteral("sleep %1").arg(80000 + QCoreApplication::applicationPid() % 10000);
    QDir(home.path()).mkpath(QStringLiteral(".local/bin"));
    const QString codex = QDir(home.path()).filePath(QStringLiteral(".local/bin/codex"));
    const QString pidFile = QDir(home.path()).filePath(QStringLiteral("codex.pid"));
    {
        QFile script(codex);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho $$ > \"$HOME/codex.pid\"\nexec " + marker.toUtf8() + "\n");
    }
    QFile::setPermissions(codex, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcess& program = launch({});
    ASSERT_TRUE(eventually([&] { return QFile::exists(pidFile); }));
    QFile pidText(pidFile);
    ASSERT_TRUE(waitUntil([&] {
        pidText.open(QIODevice::ReadOnly);
        const bool ready = pidText.size() > 0;
        pidText.close();
        return ready;
    }));
    ASSERT_TRUE(pidText.open(QIODevice::ReadOnly));
    const qint64 childPid = pidText.readAll().trimmed().toLongLong();
    ASSERT_GT(childPid, 0);
    ASSERT_TRUE(eventually([&] { return !runningWith(marker).isEmpty(); }));

    EXPECT_EQ(stop(program, GetParam()), 0);
    EXPECT_TRUE(waitUntil([&] { return !alive(childPid); }, 5000));
    EXPECT_EQ(runningWith(marker), QStringList()) << "no codex left behind";
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, QuitSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

}  // namespace
}  // namespace tallyvane
