#pragma once
// Owns the interface for the life of the process: the usage model, the tray item, the panel and
// the watchers of screens, sleep and other copies. Main thread only.
#include <QDBusConnection>
#include <QMetaObject>
#include <QObject>
#include <QRect>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/user_settings.h"

namespace tallyvane {

class AlertSender;
class FileSystem;
class HistoryRecorder;
class Notifier;
class QuotaPanel;
class ScreenWatcher;
class SingleInstance;
class SleepWatcher;
class TrayItem;
class UrlOpener;
class UsageModel;

struct DesktopServices {
    std::shared_ptr<UsageModel> model;
    std::shared_ptr<FileSystem> files;
    std::shared_ptr<UrlOpener> opener;
    std::string home;
    QDBusConnection sessionBus;
    QDBusConnection systemBus;
    QString instanceDirectory; // where the single-instance lock and socket live
    // Live only: the history of readings (null on demo data, which shows a built-in one).
    std::shared_ptr<HistoryRecorder> recorder;
    // Shows quota alerts, live and unless the settings turn them off.
    std::shared_ptr<Notifier> notifier;
    UserSettings settings;
    // How long the session may be without any tray before the notifier says so.
    std::chrono::milliseconds trayPatience = std::chrono::seconds(10);
};

class AppDelegate final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* autoOpenKey = "hasShownCompactMaskV5";

    explicit AppDelegate(DesktopServices services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Builds everything and starts the model. False when another live copy keeps running: it has
    // been asked to open its panel (or why not was said on standard error), and nothing was built
    // here. A headless copy hands over instead, and this one runs.
    bool launch();
    // The tray item was clicked: the anchor is where, in Qt's global coordinates; null when unknown.
    void toggle(const QRect& anchor = {});
    // Another copy was started, or the first launch: show the panel when hidden.
    void reopen();
    void positionPanel();
    void updateTitle();
    // Stops watching for outside events and ends the model's child. Idempotent.
    void terminate();

    // For tests.
    QuotaPanel* panel() const { return panel_; }
    TrayItem* tray() const { return tray_; }

private:
    void open(const QRect& anchor);
    void modelChanged();
    void updateIcon();
    void updateMenu();
    void menuTriggered(const QString& key);

    DesktopServices services_;
    std::shared_ptr<UsageModel> model_;
    std::unique_ptr<AlertSender> alerts_;
    TrayItem* tray_ = nullptr;
    QuotaPanel* panel_ = nullptr;
    SingleInstance* instance_ = nullptr;
    ScreenWatcher* screens_ = nullptr;
    SleepWatcher* sleep_ = nullptr;
    QMetaObject::Connection outsideMonitor_;
    std::uint64_t menuObservation_ = 0;
    bool menuQueued_ = false;
    QRect anchor_;
    bool terminated_ = false;
};

}  // namespace tallyvane
