#include "app/desktop/app_delegate.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <cstdio>

#include "app/desktop/missing_tray_notice.h"
#include "app/desktop/placement.h"
#include "app/history/alert_sender.h"
#include "app/history/history_recorder.h"
#include "app/desktop/quota_panel.h"
#include "app/desktop/title_text.h"
#include "app/desktop/tray_icon_art.h"
#include "app/single_copy.h"
#include "model/demo_history.h"
#include "model/discovery.h"
#include "model/open_codex.h"
#include "model/run_flags.h"
#include "model/usage_model.h"
#include "platform/qt/compositor.h"
#include "platform/qt/screen_watcher.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/sleep_watcher.h"
#include "platform/notifier.h"
#include "platform/qt/tray_item.h"
#include "ui/quota_view.h"

namespace tallyvane {
namespace {

constexpr auto autoOpenDelay = std::chrono::seconds(1);
constexpr auto childGrace = std::chrono::milliseconds(2000);
constexpr auto historyGrace = std::chrono::milliseconds(1000);

QList<ScreenArea> screenAreas() {
    QList<ScreenArea> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append({screen->geometry(), screen->availableGeometry(), screen == primary});
    return throughXWayland() ? withGuessedTopBars(areas) : areas;
}

}  // namespace

AppDelegate::AppDelegate(DesktopServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)), model_(services_.model) {}

AppDelegate::~AppDelegate() {
    if (services_.notifier) services_.notifier->onActivated = nullptr;
    if (menuObservation_) model_->willChange().disconnect(menuObservation_);
    terminate();
    model_->onChange = nullptr;
    delete panel_;
}

bool AppDelegate::launch() {
    if (!isDemo()) {
        instance_ = new SingleInstance(services_.instanceDirectory.toStdString(), this);
        const SingleInstance::Claim claim = instance_->claim();
        if (claim == SingleInstance::Claim::silent)
            std::fprintf(stderr, "%s\n", silentHolderText(instance_->holder()).c_str());
        if (claim == SingleInstance::Claim::notHanded)
            std::fprintf(stderr, "%s\n", notHandedOverText(instance_->holder()).c_str());
        if (claim != SingleInstance::Claim::run) return false;
        connect(instance_, &SingleInstance::openRequested, this, &AppDelegate::reopen);
    }
    // An accessory: no main window, and hiding the panel never ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    tray_ = new TrayItem(services_.sessionBus, this);
    tray_->setLabel(QString::fromUtf8(initialStatusTitle), QString::fromStdString(statusTitleGuide(isDemo())));
    connect(tray_, &TrayItem::activated, this, [this](const QRect& anchor) { toggle(anchor); });
    connect(tray_, &TrayItem::hostChanged, this, &AppDelegate::updateIcon);
    connect(tray_, &TrayItem::menuTriggered, this, &AppDelegate::menuTriggered);
    updateMenu();
    // Told before each change: the menu follows once the change is done (refreshing included).
    menuObservation_ = model_->willChange().connect([this] {
        if (std::exchange(menuQueued_, true)) return;
        QMetaObject::invokeMethod(this, [this] { menuQueued_ = false, updateMenu(); }, Qt::QueuedConnection);
    });

    const auto& recorder = services_.recorder;
    auto history = recorder ? recorder->history()
                            : std::make_shared<const HistorySnapshot>(isDemo() ? demoHistory(model_->now())
                                                                               : HistorySnapshot{});
    if (recorder && services_.notifier && services_.settings.alerts && !isDemo())
        alerts_ = std::make_unique<AlertSender>(model_, recorder, services_.notifier);
    if (services_.notifier) services_.notifier->onActivated = [this] { reopen(); };
    new MissingTrayNotice([tray = tray_] { return tray->hostPresent(); }, services_.notifier, services_.trayPatience,
                          isDemo(), this);
    auto* view = new QuotaView(
        model_, std::move(history), [] { QCoreApplication::quit(); },
        [this] { openCodex(services_.home, *services_.files, *services_.opener); });
    panel_ = new QuotaPanel(view);
    updateIcon();

    // Qt closes the popup on clicks outside it; this covers the focus going elsewhere. A state change
    // before the panel ever had the focus (a busy X server, a window shown without it) is not that.
    outsideMonitor_ = connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                              [this](Qt::ApplicationState state) {
                                  if (state != Qt::ApplicationActive && panel_->hadFocus()) panel_->dismiss();
                              });

    screens_ = new ScreenWatcher(this);
    connect(screens_, &ScreenWatcher::changed, this, [this] {
        if (panel_->isVisible()) positionPanel();
    });
    model_->onChange = [self = QPointer<AppDelegate>(this)] {
        if (self) self->modelChanged();
    };
    sleep_ = new SleepWatcher(services_.systemBus, this);
    connect(sleep_, &SleepWatcher::resumed, this, [this] { model_->refresh(); });

    model_->start();
    if (recorder) {
        recorder->start([self = QPointer<AppDelegate>(this), view] {
            if (!self) return;
            view->historyChanged();
            if (self->alerts_) self->alerts_->check();
        });
    }

    if (!isDemo()) {
        QSettings settings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane"));
        if (settings.value(QLatin1String(autoOpenKey), false).toBool()) return true;
        settings.setValue(QLatin1String(autoOpenKey), true);
    }
    QTimer::singleShot(autoOpenDelay, this, &AppDelegate::reopen);
    return true;
}

void AppDelegate::toggle(const QRect& anchor) {
    if (panel_->isVisible()) {
        panel_->hide();
        return;
    }
    if (panel_->takeClosingPress()) return;
    open(anchor);
}

void AppDelegate::reopen() {
    if (!panel_->isVisible()) open({});
}

void AppDelegate::open(const QRect& anchor) {
    if (!anchor.isNull()) anchor_ = anchor;
    positionPanel();
    panel_->present();
    model_->refresh();
}

void AppDelegate::positionPanel() {
    const QRect anchor = anchor_.isNull() ? tray_->iconGeometry() : anchor_;
    const std::optional<Placement> placement = placePanel(anchor, screenAreas());
    if (!placement) return;
    panel_->setGeometry(placement->qtFrame);
    if (isDemo()) return;
    const std::string record = placementRecord(*placement).dump(2) + "\n";
    services_.files->replaceAtomically(joinPath(model_->support(), "placement.json"), record, 0644);
}

void AppDelegate::modelChanged() {
    if (services_.recorder) services_.recorder->modelChanged();
    if (alerts_) alerts_->check();
    updateTitle();
}

void AppDelegate::updateTitle() {
    const bool demo = isDemo();
    tray_->setLabel(QString::fromStdString(statusTitle(model_->windows(), model_->error(), demo)),
                    QString::fromStdString(statusTitleGuide(demo)));
    tray_->setToolTip(QString::fromStdString(statusToolTip(model_->error(), demo)));
    tray_->setNeedsAttention(model_->error().has_value());
    updateIcon();
}

// The figure goes into the icon unless the host draws the label.
void AppDelegate::updateIcon() {
    tray_->setIcon(trayIcons(highestUse(model_->windows()), model_->error().has_value(), !tray_->showsLabel()));
}

// The quota lines, then the panel's actions with its buttons' states.
void AppDelegate::updateMenu() {
    QList<MenuEntry> entries;
    const auto& windows = model_->windows();
    for (std::size_t i = 0; i < windows.size(); ++i)
        entries.append({QStringLiteral("window%1").arg(i), QString::fromStdString(menuWindowLine(windows[i])), false});
    if (!windows.empty()) entries.append(MenuEntry{});  // a separator
    const bool demo = isDemo();
    entries += QList<MenuEntry>{{QStringLiteral("show"), QStringLiteral("Afficher le panneau")},
                                {QStringLiteral("refresh"), QStringLiteral("Actualiser"), !model_->refreshing() && !demo},
                                {QStringLiteral("openCodex"), QStringLiteral("Ouvrir Codex"), !demo},
                                {QStringLiteral("quit"), QStringLiteral("Quitter Tallyvane")}};
    tray_->setMenu(entries);
}

// A menu carries no click position: the panel opens where the last click was, else at the guess.
void AppDelegate::menuTriggered(const QString& key) {
    if (key == QLatin1String("show")) reopen();
    if (key == QLatin1String("refresh")) model_->refresh();
    if (key == QLatin1String("openCodex")) openCodex(services_.home, *services_.files, *services_.opener);
    if (key == QLatin1String("quit")) QCoreApplication::quit();
}

void AppDelegate::terminate() {
    if (terminated_) return;
    terminated_ = true;
    disconnect(outsideMonitor_);
    if (panel_) panel_->hide();
    model_->stop();
    model_->finishStopping(childGrace);
    if (services_.recorder) services_.recorder->finish(historyGrace);
}

}  // namespace tallyvane
