#include "app/desktop/desktop_app.h"

#include <QApplication>
#include <QSessionManager>
#include <cstdio>

#include "app/desktop/app_delegate.h"
#include "app/history/live_history.h"
#include "app/live_services.h"
#include "model/run_flags.h"
#include "model/usage_model.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/user_environment.h"
#include "platform/qt/dbus_notifier.h"
#include "platform/qt/qt_main_loop.h"
#include "platform/qt/qt_url_opener.h"
#include "platform/qt/termination_signals.h"

namespace tallyvane {

int runDesktopApp(int argc, char** argv) {
    QApplication app(argc, argv);  // on the platform the module's probe chose
    QCoreApplication::setOrganizationName(QStringLiteral("Tallyvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tallyvane"));

    // Every way out goes through quit, then aboutToQuit, then the delegate's terminate.
    TerminationSignals quitSignals;
    QObject::connect(&quitSignals, &TerminationSignals::received, &app, &QCoreApplication::quit);
    // Started by the session's autostart, not restored by the session manager.
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
                     [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); });

    const ProcessEnvironment environment = thisProcess();
    auto loop = std::make_shared<QtMainLoop>();
    auto model = UsageModel::create(liveServices(loop, environment));
    const UserSettings settings =
        readUserSettings(userSettingsPath(environment.home, environment.value("XDG_CONFIG_HOME")));
    std::shared_ptr<HistoryRecorder> recorder;
    // The demo needs it too: to say that there is no tray.
    auto notifier = std::make_shared<DbusNotifier>(QDBusConnection::sessionBus());
    if (!isDemo()) {
        recorder = liveHistory(model, loop, settings, environment,
                               [](const std::string& notice) { std::fprintf(stderr, "%s\n", notice.c_str()); });
    }
    DesktopServices services{model,
                             std::make_shared<PosixFileSystem>(),
                             std::make_shared<QtUrlOpener>(),
                             homeDirectory(),
                             QDBusConnection::sessionBus(),
                             QDBusConnection::systemBus(),
                             QString::fromStdString(instanceDirectory(
                                 qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString(), model->support())),
                             recorder,
                             notifier,
                             settings};
    AppDelegate delegate(std::move(services));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::terminate);
    if (delegate.launch()) QApplication::exec();
    delegate.terminate();
    return 0;
}

}  // namespace tallyvane
