#include "app/desktop/missing_tray_notice.h"

#include <QSettings>
#include <QTimer>

#include "platform/notifier.h"

namespace tallyvane {
namespace {

constexpr const char* summary = "Tallyvane tourne sans icône";
constexpr const char* noTray = "Aucune zone de notification n’est disponible.";
// Demo copies run side by side with a live one: starting another is no way to the panel.
constexpr const char* relaunch = " Relance Tallyvane depuis le menu des applications pour voir le panneau.";
constexpr const char* gnome = " Sur GNOME, l’extension AppIndicator affiche le quota dans la barre du haut.";

}  // namespace

MissingTrayNotice::MissingTrayNotice(std::function<bool()> hostPresent, std::shared_ptr<Notifier> notifier,
                                     std::chrono::milliseconds patience, bool demo, QObject* parent)
    : QObject(parent),
      hostPresent_(std::move(hostPresent)),
      notifier_(std::move(notifier)),
      patience_(patience),
      demo_(demo),
      timer_(new QTimer(this)) {
    sinceHost_.start();
    // Asking whether a tray is there costs one round trip to the X server or the bus daemon.
    timer_->setInterval(std::max(patience_ / 10, std::chrono::milliseconds(10)));
    connect(timer_, &QTimer::timeout, this, &MissingTrayNotice::check);
    timer_->start();
}

void MissingTrayNotice::check() {
    QSettings memory(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane"));
    if (hostPresent_()) {
        sinceHost_.restart();
        // A run with a tray: a later one without may say it again.
        if (!std::exchange(hadHost_, true) || std::exchange(told_, false)) memory.setValue(QLatin1String(shownKey), false);
        return;
    }
    if (told_ || std::chrono::milliseconds(sinceHost_.elapsed()) < patience_) return;
    told_ = true;
    if (memory.value(QLatin1String(shownKey), false).toBool() || !notifier_) return;
    // Remembered once the desktop showed it: with no notification service yet, the next run says it.
    notifier_->notify(summary, std::string(noTray) + (demo_ ? "" : relaunch) + gnome, "tray", [](std::optional<std::uint32_t> id) {
        if (id) QSettings(QStringLiteral("Tallyvane"), QStringLiteral("Tallyvane")).setValue(QLatin1String(shownKey), true);
    });
}

}  // namespace tallyvane
